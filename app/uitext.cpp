#include "uitext.h"

#include <afxwin.h>

namespace {

const LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

LANGID s_langUi = kChinese;

// The resource in exactly that language, or NULL; *pcb gets its size.
const void* LockUiResource(LPCSTR pszType, UINT nName, LANGID lang, DWORD* pcb)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hRes = FindResourceExW(hInst, reinterpret_cast<LPCWSTR>(pszType), MAKEINTRESOURCEW(nName), lang);
    HGLOBAL hData = hRes ? LoadResource(hInst, hRes) : NULL;
    *pcb = hData ? SizeofResource(hInst, hRes) : 0;
    return hData ? LockResource(hData) : NULL;
}

// A text the English resources lack is shown in Chinese rather than not at all.
const void* LockUiResource(LPCSTR pszType, UINT nName)
{
    DWORD cb = 0;
    const void* p = LockUiResource(pszType, nName, s_langUi, &cb);
    return p ? p : LockUiResource(pszType, nName, kChinese, &cb);
}

// Strings come in blocks of 16, block n + 1 holding ids 16n to 16n + 15; each
// string is its length followed by that many UTF-16 units, with no NUL.
LPCWSTR FindString(UINT nID, LANGID lang, int* pnLength)
{
    DWORD cb = 0;
    const WCHAR* pBlock = static_cast<const WCHAR*>(LockUiResource(RT_STRING, (nID >> 4) + 1, lang, &cb));
    DWORD nUnits = pBlock ? cb / sizeof(WCHAR) : 0;
    DWORD i = 0;
    for (UINT n = 0; n < (nID & 15) && i < nUnits; ++n)
        i += 1 + pBlock[i];
    if (i >= nUnits || pBlock[i] == 0 || pBlock[i] >= nUnits - i)
        return NULL;
    *pnLength = pBlock[i];
    return pBlock + i + 1;
}

}  // namespace

void UiSelectLanguage(UiLanguageSetting setting)
{
    if (setting == UI_LANGUAGE_AUTO)
        s_langUi = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? kChinese : kEnglish;
    else
        s_langUi = setting == UI_LANGUAGE_ZH ? kChinese : kEnglish;
}

int UiLoadString(UINT nID, LPWSTR pszBuffer, int cchBuffer)
{
    if (cchBuffer <= 0)
        return 0;
    int nLength = 0;
    LPCWSTR pch = FindString(nID, s_langUi, &nLength);
    if (!pch)
        pch = FindString(nID, kChinese, &nLength);
    if (!pch)
        nLength = 0;
    else if (nLength > cchBuffer - 1)
        nLength = cchBuffer - 1;
    if (nLength > 0)
        CopyMemory(pszBuffer, pch, nLength * sizeof(WCHAR));
    pszBuffer[nLength] = L'\0';
    return nLength;
}

std::wstring UiText(UINT nID)
{
    WCHAR sz[512];
    UiLoadString(nID, sz, ARRAYSIZE(sz));
    return sz;
}

std::wstring UiFormat(UINT nID, const std::wstring& str1, const std::wstring& str2)
{
    WCHAR sz[1024];
    wsprintfW(sz, UiText(nID).c_str(), str1.c_str(), str2.c_str());
    return sz;
}

std::wstring UiSystemText(DWORD dwError)
{
    WCHAR sz[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError, 0, sz,
                   ARRAYSIZE(sz), NULL);
    std::wstring str = sz;
    while (!str.empty() && (str.back() == L'\r' || str.back() == L'\n'))
        str.pop_back();
    return str;
}

HMENU UiLoadMenu(UINT nID)
{
    const void* pTemplate = LockUiResource(RT_MENU, nID);
    return pTemplate ? LoadMenuIndirectW(pTemplate) : NULL;
}

LPCDLGTEMPLATEW UiLoadDialog(UINT nID)
{
    return static_cast<LPCDLGTEMPLATEW>(LockUiResource(RT_DIALOG, nID));
}
