#include "escapes.h"

#include <stdio.h>
#include <string.h>

#include "typedtext.h"

namespace {

// {U+XXXX}: one to six hex digits naming a character (not a surrogate half,
// not NUL); the length of the escape, 0 when there is none at p.
int CodePointEscape(const char* p, std::wstring& strOut)
{
    if (p[0] != '{' || (p[1] != 'U' && p[1] != 'u') || p[2] != '+')
        return 0;
    unsigned long ch = 0;
    int nDigits = 0;
    const char* q = p + 3;
    for (; isxdigit((unsigned char)*q) && nDigits < 7; ++q, ++nDigits)
        ch = ch * 16 + (isdigit((unsigned char)*q) ? *q - '0' : (tolower(*q) - 'a' + 10));
    if (*q != '}' || nDigits == 0 || nDigits > 6 || ch == 0 || ch > 0x10FFFF ||
        (ch >= 0xD800 && ch <= 0xDFFF) || IsNoncharacter((wchar_t)ch))
        return 0;
    if (ch >= 0x10000) {
        strOut += (wchar_t)(0xD800 + ((ch - 0x10000) >> 10));
        strOut += (wchar_t)(0xDC00 + ((ch - 0x10000) & 0x3FF));
    } else {
        strOut += (wchar_t)ch;
    }
    return (int)(q + 1 - p);
}

// Keys a settings text may press by name, alone or with modifiers.
const struct {
    const char* pszName;
    BYTE bVk;
} kNamedKeys[] = {
    { "HOME", VK_HOME }, { "END", VK_END }, { "UP", VK_UP }, { "DOWN", VK_DOWN },
    { "LEFT", VK_LEFT }, { "RIGHT", VK_RIGHT }, { "PGUP", VK_PRIOR }, { "PGDN", VK_NEXT },
    { "INS", VK_INSERT }, { "DEL", VK_DELETE }, { "BS", VK_BACK }, { "ESC", VK_ESCAPE },
    { "TAB", VK_TAB }, { "ENTER", VK_RETURN }, { "SPACE", VK_SPACE },
};

const struct {
    const char* pszName;
    BYTE bMod;
} kModifierNames[] = { { "CTRL+", KEYMOD_CTRL }, { "ALT+", KEYMOD_ALT }, { "SHIFT+", KEYMOD_SHIFT } };

// The virtual key of a key's name: F1..F24, a name above, or, with
// modifiers, a letter or digit. 0 when there is none.
BYTE NamedKey(const std::string& strName, bool bCombined)
{
    if ((strName[0] == 'F' || strName[0] == 'f') && strName.size() <= 3 &&
        strName.find_first_not_of("0123456789", 1) == std::string::npos && strName.size() > 1) {
        int n = atoi(strName.c_str() + 1);
        return n >= 1 && n <= 24 && strName[1] != '0' ? (BYTE)(VK_F1 + n - 1) : 0;
    }
    for (const auto& key : kNamedKeys) {
        if (lstrcmpiA(strName.c_str(), key.pszName) == 0)
            return key.bVk;
    }
    if (bCombined && strName.size() == 1 && isalnum((unsigned char)strName[0]))
        return (BYTE)toupper((unsigned char)strName[0]);
    return 0;
}

// {F2}, {CTRL+A}, {CTRL+SHIFT+HOME}, {DELAY 300}: a key, a combination or a
// pause; the length of the escape, 0 when there is none at p. {TAB} and
// {ENTER} alone are left to the character escapes.
int KeyEscape(const char* p, std::wstring& strOut)
{
    const char* pEnd = p + 1;
    while (*pEnd && *pEnd != '}' && *pEnd != '{' && (BYTE)*pEnd < 0x80 && pEnd - p < 32)
        ++pEnd;
    if (*pEnd != '}' || pEnd == p + 1)
        return 0;
    std::string strName(p + 1, pEnd);
    int nLen = (int)(pEnd + 1 - p);
    if (_strnicmp(strName.c_str(), "DELAY ", 6) == 0) {
        const char* pDigits = strName.c_str() + 6;
        if (!*pDigits || strlen(pDigits) > 4 || strspn(pDigits, "0123456789") != strlen(pDigits) ||
            (DWORD)atoi(pDigits) > kMaxPause)
            return 0;
        AppendPause(strOut, atoi(pDigits));
        return nLen;
    }
    BYTE bMods = 0;
    for (bool bFound = true; bFound;) {
        bFound = false;
        for (const auto& mod : kModifierNames) {
            size_t n = strlen(mod.pszName);
            if (strName.size() > n && _strnicmp(strName.c_str(), mod.pszName, n) == 0 &&
                !(bMods & mod.bMod)) {
                bMods |= mod.bMod;
                strName.erase(0, n);
                bFound = true;
            }
        }
    }
    bool bAlone = lstrcmpiA(strName.c_str(), "TAB") == 0 || lstrcmpiA(strName.c_str(), "ENTER") == 0;
    BYTE bVk = NamedKey(strName, bMods != 0);
    if (!bVk || (bAlone && !bMods))
        return 0;
    AppendKey(strOut, bVk, bMods);
    return nLen;
}

}  // namespace

bool ExpandEscapes(LPCSTR pszValue, std::wstring& strOut, UINT nCodePage)
{
    static const struct {
        const char* pszName;
        wchar_t ch;
    } kEscapes[] = {
        { "{TAB}", L'\t' }, { "{ENTER}", L'\r' }, { "{GS}", 0x1D }, { "{RS}", 0x1E },
        { "{EOT}", 0x04 }, { "{{", L'{' }, { "}}", L'}' },
    };
    std::wstring strExpanded;
    std::string strRun;   // characters of the code page waiting to be converted
    for (const char* p = pszValue; *p;) {
        if (*p != '{' && *p != '}') {
            // A double-byte character goes whole: its second byte may be a brace.
            int n = IsDBCSLeadByteEx(nCodePage, (BYTE)*p) && p[1] ? 2 : 1;
            strRun.append(p, n);
            p += n;
            continue;
        }
        strExpanded += AfxWiden(strRun.data(), (int)strRun.size(), nCodePage);
        strRun.clear();
        int nLen = CodePointEscape(p, strExpanded);
        if (!nLen && *p == '{' && p[1] != '{')
            nLen = KeyEscape(p, strExpanded);
        for (size_t i = 0; !nLen && i < ARRAYSIZE(kEscapes); ++i) {
            size_t nName = strlen(kEscapes[i].pszName);
            if (_strnicmp(p, kEscapes[i].pszName, nName) == 0) {
                strExpanded += kEscapes[i].ch;
                nLen = (int)nName;
            }
        }
        if (!nLen)
            return false;
        p += nLen;
    }
    strOut = strExpanded + AfxWiden(strRun.data(), (int)strRun.size(), nCodePage);
    return true;
}

std::wstring KeyEscapeName(wchar_t chKey)
{
    BYTE bVk = (BYTE)(chKey & 0xFF), bMods = (BYTE)(chKey >> 8);
    std::string strName = "{";
    for (const auto& mod : kModifierNames) {
        if (bMods & mod.bMod)
            strName += mod.pszName;
    }
    char szKey[16] = {};
    if (bVk >= VK_F1 && bVk <= VK_F24)
        snprintf(szKey, sizeof(szKey), "F%d", bVk - VK_F1 + 1);
    else if ((bVk >= '0' && bVk <= '9') || (bVk >= 'A' && bVk <= 'Z'))
        szKey[0] = (char)bVk;
    for (const auto& key : kNamedKeys) {
        if (key.bVk == bVk)
            lstrcpynA(szKey, key.pszName, sizeof(szKey));
    }
    if (!szKey[0])   // not a key a settings text can name
        snprintf(szKey, sizeof(szKey), "VK %d", bVk);
    return AfxWiden((strName + szKey + "}").c_str());
}

std::string EncodeSettingValue(const std::wstring& strText, UINT nCodePage)
{
    std::string strValue;
    for (size_t i = 0; i < strText.size();) {
        unsigned long ch = strText[i];
        size_t n = 1;
        if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < strText.size() && strText[i + 1] >= 0xDC00 &&
            strText[i + 1] < 0xE000) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (strText[i + 1] - 0xDC00);
            n = 2;
        }
        std::wstring strChar = strText.substr(i, n);
        i += n;
        if (ch >= 0x20 && ch < 0x7F) {
            strValue += (char)ch;
            continue;
        }
        // Stored only when it reads back as the same character: a code
        // page would put a look-alike or "?" in place of one it lacks.
        char szBytes[16];
        int nBytes = ch < 0x20 || ch == 0x7F ? 0
            : WideCharToMultiByte(nCodePage, 0, strChar.data(), (int)n, szBytes, sizeof(szBytes), NULL, NULL);
        if (nBytes > 0 && AfxWiden(szBytes, nBytes, nCodePage) == strChar) {
            strValue.append(szBytes, nBytes);
        } else {
            char szEscape[16];
            snprintf(szEscape, sizeof(szEscape), "{U+%04lX}", ch);
            strValue += szEscape;
        }
    }
    return strValue;
}
