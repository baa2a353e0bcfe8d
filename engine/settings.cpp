#include "settings.h"

#include <ctype.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


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

namespace {

std::wstring Widen(const std::string& str, UINT nCodePage)
{
    std::wstring wide;
    int n = str.empty() ? 0 : MultiByteToWideChar(nCodePage, 0, str.data(), (int)str.size(), NULL, 0);
    if (n > 0) {
        wide.resize(n);
        MultiByteToWideChar(nCodePage, 0, str.data(), (int)str.size(), &wide[0], n);
    }
    return wide;
}

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
        (ch >= 0xD800 && ch <= 0xDFFF))
        return 0;
    if (ch >= 0x10000) {
        strOut += (wchar_t)(0xD800 + ((ch - 0x10000) >> 10));
        strOut += (wchar_t)(0xDC00 + ((ch - 0x10000) & 0x3FF));
    } else {
        strOut += (wchar_t)ch;
    }
    return (int)(q + 1 - p);
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
        strExpanded += Widen(strRun, nCodePage);
        strRun.clear();
        int nLen = CodePointEscape(p, strExpanded);
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
    strOut = strExpanded + Widen(strRun, nCodePage);
    return true;
}

namespace {

// Stands for a key that is not in the file: no value can hold a line end.
const char kMissing[] = "\n";

// Values are read whole: one cut at the end of a buffer could be another
// valid value (half an escape pair, a shorter number). Beyond this a value
// counts as invalid.
const DWORD kMaxValue = 1 << 20;

enum ValueRead { VALUE_MISSING, VALUE_READ, VALUE_TOO_LONG };

ValueRead ReadOutputValue(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszPath, CString& strValue)
{
    std::string buffer(1024, '\0');
    for (;;) {
        DWORD n = GetPrivateProfileStringA(pszSection, pszKey, kMissing, &buffer[0],
                                           (DWORD)buffer.size(), pszPath);
        if (n + 1 < buffer.size())
            break;
        if (buffer.size() >= kMaxValue)
            return VALUE_TOO_LONG;
        buffer.assign(buffer.size() * 4, '\0');
    }
    if (strcmp(buffer.c_str(), kMissing) == 0)
        return VALUE_MISSING;
    strValue = buffer.c_str();
    return VALUE_READ;
}

// Digits only, within 0..nMax; anything else keeps the default.
int ReadOutputNumber(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszPath, int nMax, int nDefault)
{
    CString strValue;
    if (ReadOutputValue(pszSection, pszKey, pszPath, strValue) != VALUE_READ || strValue.IsEmpty() ||
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
bool ReadOutputText(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszPath, std::wstring& strText)
{
    CString strValue;
    return ReadOutputValue(pszSection, pszKey, pszPath, strValue) == VALUE_READ &&
           ExpandEscapes(strValue, strText);
}

// The keys of one output section over the options given: what the section
// leaves out or gets wrong keeps the value it had.
COutputOptions ReadOutputSection(LPCSTR pszSection, LPCSTR pszPath, COutputOptions options)
{
    static const char* const kControlKeys[kControlCount] = { "GS", "RS", "EOT" };
    ReadOutputText(pszSection, "Prefix", pszPath, options.strPrefix);
    if (ReadOutputText(pszSection, "Suffix", pszPath, options.strSuffix))
        options.bSuffix = true;
    options.nKeyDelay = ReadOutputNumber(pszSection, "KeyDelay", pszPath, kMaxKeyDelay, options.nKeyDelay);
    options.nRepeatWindow = ReadOutputNumber(pszSection, "RepeatWindow", pszPath, kMaxRepeatWindow,
                                             options.nRepeatWindow);
    for (int i = 0; i < kControlCount; ++i) {
        if (ReadOutputText(pszSection, kControlKeys[i], pszPath, options.controls[i].strWith))
            options.controls[i].bKeep = false;
    }
    return options;
}

std::wstring Lowered(std::wstring str)
{
    if (!str.empty())
        CharLowerBuffW(&str[0], (DWORD)str.size());
    return str;
}

}  // namespace

COutputOptions ReadOutputOptions(LPCSTR pszPath)
{
    return ReadOutputSection("OUTPUT", pszPath, COutputOptions());
}

COutputProfiles ReadOutputProfiles(LPCSTR pszPath)
{
    COutputProfiles profiles;
    profiles.base = ReadOutputOptions(pszPath);
    std::string names(4096, '\0');
    for (;;) {
        DWORD n = GetPrivateProfileSectionNamesA(&names[0], (DWORD)names.size(), pszPath);
        if (n + 2 < names.size() || names.size() >= kMaxValue) {
            names.resize(n);
            break;
        }
        names.assign(names.size() * 4, '\0');
    }
    static const char kPrefix[] = "OUTPUT:";
    for (const char* p = names.c_str(); *p; p += strlen(p) + 1) {
        if (_strnicmp(p, kPrefix, sizeof(kPrefix) - 1) != 0 || !p[sizeof(kPrefix) - 1])
            continue;
        std::wstring strProgram = Lowered(Widen(p + sizeof(kPrefix) - 1, CP_ACP));
        bool bSeen = false;
        for (const auto& program : profiles.programs)
            bSeen = bSeen || program.first == strProgram;
        if (!bSeen)   // as for keys, the first section of a name counts
            profiles.programs.emplace_back(strProgram, ReadOutputSection(p, pszPath, profiles.base));
    }
    return profiles;
}

const COutputOptions& COutputProfiles::For(const std::wstring& strProgram) const
{
    std::wstring strLower = Lowered(strProgram);
    for (const auto& program : programs) {
        if (program.first == strLower)
            return program.second;
    }
    return base;
}

namespace {

// Closes the file on every way out of ReadDecodeTime.
struct FileCloser {
    FILE* fp;
    ~FileCloser() { fclose(fp); }
};

}  // namespace

bool ReadDecodeTime(LPCSTR pszFileName, int* pnMs)
{
    try {
        FILE* fp = fopen(pszFileName, "r");
        if (!fp) {
            printf("file not exist\n");
            *pnMs = 50;
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

        int nMs = atoi(strTime);
        *pnMs = nMs < 50 ? 50 : nMs > 5000 ? 5000 : nMs;
        return true;
    } catch (...) {
        printf("程序发生异常\n");
        return false;
    }
}
