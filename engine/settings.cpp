#include "settings.h"

#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ScanWedgeDlg.h"

CString TypeSetPath()
{
    char szDir[1024];
    memset(szDir, 0, sizeof(szDir));
    GetModuleFileNameA(NULL, szDir, sizeof(szDir));
    PathRemoveFileSpecA(szDir);
    CString strPath;
    strPath.Format("%s\\typeSet.ini", szDir);
    return strPath;
}

int ReadTypeFlag(LPCSTR pszKey, LPCSTR pszPath)
{
    char szValue[1024];
    memset(szValue, 0, sizeof(szValue));
    GetPrivateProfileStringA("TYPE", pszKey, "", szValue, 10, pszPath);
    return szValue[0] == '\0' || strcmp(szValue, "1") == 0;
}

int ReadNoticesSetting(LPCSTR pszPath)
{
    char szValue[16] = {};
    GetPrivateProfileStringA("OUTPUT", "Notices", "1", szValue, sizeof(szValue), pszPath);
    return strcmp(szValue, "0") == 0 ? 0 : 1;
}

UiLanguageSetting ReadUiLanguage(LPCSTR pszPath)
{
    char szValue[16] = {};
    GetPrivateProfileStringA("UI", "Language", "auto", szValue, sizeof(szValue), pszPath);
    if (lstrcmpiA(szValue, "zh") == 0)
        return UI_LANGUAGE_ZH;
    return lstrcmpiA(szValue, "en") == 0 ? UI_LANGUAGE_EN : UI_LANGUAGE_AUTO;
}

COutputOptions::COutputOptions()
    : bSuffix(false), nKeyDelay(0), nRepeatWindow(0)
{
    for (int i = 0; i < kControlCount; ++i) {
        controls[i].ch = kControlChars[i];
        controls[i].bKeep = true;
    }
}

bool ExpandEscapes(LPCSTR pszValue, CString& strOut)
{
    static const struct {
        const char* pszName;
        char ch;
    } kEscapes[] = {
        { "{TAB}", '\t' }, { "{ENTER}", '\r' }, { "{GS}", '\x1D' }, { "{RS}", '\x1E' },
        { "{EOT}", '\x04' }, { "{{", '{' }, { "}}", '}' },
    };
    CString strExpanded;
    for (const char* p = pszValue; *p;) {
        if (*p != '{' && *p != '}') {
            strExpanded += *p++;
            continue;
        }
        bool bKnown = false;
        for (const auto& e : kEscapes) {
            size_t nLen = strlen(e.pszName);
            if (_strnicmp(p, e.pszName, nLen) == 0) {
                strExpanded += e.ch;
                p += nLen;
                bKnown = true;
                break;
            }
        }
        if (!bKnown)
            return false;
    }
    strOut = strExpanded;
    return true;
}

namespace {

// Stands for a key that is not in the file: no value can hold a line end.
const char kMissing[] = "\n";

bool ReadOutputValue(LPCSTR pszKey, LPCSTR pszPath, CString& strValue)
{
    char szValue[1024];
    GetPrivateProfileStringA("OUTPUT", pszKey, kMissing, szValue, sizeof(szValue), pszPath);
    if (strcmp(szValue, kMissing) == 0)
        return false;
    strValue = szValue;
    return true;
}

// Digits only, within 0..nMax; anything else keeps the default.
int ReadOutputNumber(LPCSTR pszKey, LPCSTR pszPath, int nMax, int nDefault)
{
    CString strValue;
    if (!ReadOutputValue(pszKey, pszPath, strValue) || strValue.IsEmpty() ||
        strValue.GetLength() > 9)
        return nDefault;
    for (int i = 0; i < strValue.GetLength(); ++i) {
        if (strValue[i] < '0' || strValue[i] > '9')
            return nDefault;
    }
    int n = atoi(strValue);
    return n <= nMax ? n : nDefault;
}

// A present key whose escapes are all known; false keeps the default.
bool ReadOutputText(LPCSTR pszKey, LPCSTR pszPath, CString& strText)
{
    CString strValue;
    return ReadOutputValue(pszKey, pszPath, strValue) && ExpandEscapes(strValue, strText);
}

}  // namespace

COutputOptions ReadOutputOptions(LPCSTR pszPath)
{
    static const char* const kControlKeys[kControlCount] = { "GS", "RS", "EOT" };
    COutputOptions options;
    ReadOutputText("Prefix", pszPath, options.strPrefix);
    options.bSuffix = ReadOutputText("Suffix", pszPath, options.strSuffix);
    options.nKeyDelay = ReadOutputNumber("KeyDelay", pszPath, kMaxKeyDelay, 0);
    options.nRepeatWindow = ReadOutputNumber("RepeatWindow", pszPath, kMaxRepeatWindow, 0);
    for (int i = 0; i < kControlCount; ++i) {
        if (ReadOutputText(kControlKeys[i], pszPath, options.controls[i].strWith))
            options.controls[i].bKeep = false;
    }
    return options;
}

namespace {

// Closes the file on every way out of LoadDecodeTime.
struct FileCloser {
    FILE* fp;
    ~FileCloser() { fclose(fp); }
};

}  // namespace

bool CScanWedgeDlg::LoadDecodeTime(LPCSTR pszFileName)
{
    try {
        FILE* fp = fopen(pszFileName, "r");
        if (!fp) {
            printf("file not exist\n");
            m_nDecodeTime = 50;
            return false;
        }
        FileCloser closer = { fp };
        fseek(fp, 0, SEEK_END);
        long nSize = ftell(fp);
        fseek(fp, 0, SEEK_SET);
        if (nSize < 0)
            throw CFileException(CFileException::badSeek);

        char* pBuf = static_cast<char*>(calloc(nSize + 1, 1));
        if (!pBuf)
            throw CMemoryException();
        fread(pBuf, 1, nSize, fp);
        CString strTime;
        strTime.Format("%s", pBuf);
        free(pBuf);

        m_nDecodeTime = atoi(strTime);
        if (m_nDecodeTime < 50)
            m_nDecodeTime = 50;
        if (m_nDecodeTime > 5000)
            m_nDecodeTime = 5000;
        return true;
    } catch (...) {
        printf("程序发生异常\n");
        return false;
    }
}
