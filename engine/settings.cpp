#include "settings.h"

#include <ctype.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "typedtext.h"

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
    : bSuffix(false), nKeyDelay(0), nRepeatWindow(0), bPaste(false)
{
    for (int i = 0; i < kControlCount; ++i) {
        controls[i].ch = kControlChars[i];
        controls[i].bKeep = true;
    }
}

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
    CString strMethod;
    if (ReadOutputValue(pszSection, "Method", pszPath, strMethod) == VALUE_READ) {
        if (lstrcmpiA(strMethod, "paste") == 0)
            options.bPaste = true;
        else if (lstrcmpiA(strMethod, "type") == 0)
            options.bPaste = false;
    }
    return options;
}

// The names of the file's sections, each ended by a NUL.
std::string SectionNames(LPCSTR pszPath)
{
    std::string names(4096, '\0');
    for (;;) {
        DWORD n = GetPrivateProfileSectionNamesA(&names[0], (DWORD)names.size(), pszPath);
        if (n + 2 < names.size() || names.size() >= kMaxValue) {
            names.resize(n);
            return names;
        }
        names.assign(names.size() * 4, '\0');
    }
}

std::wstring Lowered(std::wstring str)
{
    if (!str.empty())
        CharLowerBuffW(&str[0], (DWORD)str.size());
    return str;
}

const char kProgramPrefix[] = "OUTPUT:";
const size_t kProgramPrefixLength = sizeof(kProgramPrefix) - 1;

// The sections [OUTPUT:<program file name>] in the file's order; of two with
// the same name (any case) only the first, as for keys.
std::vector<std::string> ProgramSections(LPCSTR pszPath)
{
    std::vector<std::string> sections;
    std::vector<std::wstring> seen;
    std::string names = SectionNames(pszPath);
    for (const char* p = names.c_str(); *p; p += strlen(p) + 1) {
        if (_strnicmp(p, kProgramPrefix, kProgramPrefixLength) != 0 || !p[kProgramPrefixLength])
            continue;
        std::wstring strName = Lowered(AfxWiden(p + kProgramPrefixLength));
        if (std::find(seen.begin(), seen.end(), strName) == seen.end()) {
            seen.push_back(strName);
            sections.push_back(p);
        }
    }
    return sections;
}

}  // namespace

bool ReadSettingValue(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszPath, CString& strValue)
{
    return ReadOutputValue(pszSection, pszKey, pszPath, strValue) == VALUE_READ;
}

COutputOptions ReadOutputOptions(LPCSTR pszPath)
{
    return ReadOutputSection("OUTPUT", pszPath, COutputOptions());
}

COutputProfiles ReadOutputProfiles(LPCSTR pszPath)
{
    COutputProfiles profiles;
    profiles.base = ReadOutputOptions(pszPath);
    for (const std::string& strSection : ProgramSections(pszPath)) {
        profiles.programs.emplace_back(Lowered(AfxWiden(strSection.c_str() + kProgramPrefixLength)),
                                       ReadOutputSection(strSection.c_str(), pszPath, profiles.base));
    }
    return profiles;
}

std::vector<CRuleSetting> ReadRuleSettings(LPCSTR pszPath)
{
    // Only the sections there are: 99 numbers times four keys read one by
    // one would read the file hundreds of times.
    bool abPresent[kMaxRules + 1] = {};
    std::string names = SectionNames(pszPath);
    for (const char* p = names.c_str(); *p; p += strlen(p) + 1) {
        if (_strnicmp(p, "RULE", 4) != 0 || !p[4] || p[4] == '0' || strlen(p + 4) > 2 ||
            strspn(p + 4, "0123456789") != strlen(p + 4))
            continue;
        abPresent[atoi(p + 4)] = true;
    }
    std::vector<CRuleSetting> rules;
    for (int n = 1; n <= kMaxRules; ++n) {
        if (!abPresent[n])
            continue;
        CString strSection;
        strSection.Format("RULE%d", n);
        CRuleSetting rule;
        rule.nNumber = n;
        ReadOutputValue(strSection, "Match", pszPath, rule.strMatch);
        ReadOutputValue(strSection, "Program", pszPath, rule.strProgram);
        rule.bOutput = ReadOutputValue(strSection, "Output", pszPath, rule.strOutput) == VALUE_READ;
        ReadOutputValue(strSection, "Action", pszPath, rule.strAction);
        rules.push_back(rule);
    }
    return rules;
}

const char* const kProgramKeys[kProgramKeyCount] = {
    "Prefix", "Suffix", "KeyDelay", "RepeatWindow", "GS", "RS", "EOT", "Method",
};

std::vector<CProgramSetting> ReadProgramSettings(LPCSTR pszPath)
{
    std::vector<CProgramSetting> programs;
    for (const std::string& strSection : ProgramSections(pszPath)) {
        CProgramSetting program;
        program.strProgram = strSection.c_str() + kProgramPrefixLength;
        for (int i = 0; i < kProgramKeyCount; ++i) {
            program.abSet[i] = ReadOutputValue(strSection.c_str(), kProgramKeys[i], pszPath, program.values[i]) ==
                               VALUE_READ;
        }
        programs.push_back(program);
    }
    return programs;
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

namespace {

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

std::string Trim(const std::string& str)
{
    size_t nStart = 0, nEnd = str.size();
    while (nStart < nEnd && IsBlank(str[nStart]))
        ++nStart;
    while (nEnd > nStart && IsBlank(str[nEnd - 1]))
        --nEnd;
    return str.substr(nStart, nEnd - nStart);
}

// One line of a text: [nStart, nEnd) without its line break, which ends
// before nNext.
struct CLine {
    size_t nStart, nEnd, nNext;
};

std::vector<CLine> SplitLines(const std::string& strText)
{
    std::vector<CLine> lines;
    for (size_t nStart = 0; nStart < strText.size();) {
        size_t nBreak = strText.find('\n', nStart);
        size_t nNext = nBreak == std::string::npos ? strText.size() : nBreak + 1;
        size_t nEnd = nBreak == std::string::npos ? strText.size() : nBreak;
        if (nEnd > nStart && strText[nEnd - 1] == '\r')
            --nEnd;
        lines.push_back({ nStart, nEnd, nNext });
        nStart = nNext;
    }
    return lines;
}

std::string LineBreak(const std::string& strText)
{
    size_t nBreak = strText.find('\n');
    return nBreak != std::string::npos && (nBreak == 0 || strText[nBreak - 1] != '\r') ? "\n" : "\r\n";
}

// "[name]", blanks allowed around it and the name.
bool IsSection(const std::string& strLine, std::string* pstrName)
{
    std::string str = Trim(strLine);
    if (str.empty() || str[0] != '[')
        return false;
    size_t nClose = str.find(']');
    *pstrName = Trim(str.substr(1, nClose == std::string::npos ? std::string::npos : nClose - 1));
    return true;
}

// "name = value": a line with an "=" (comments have names of their own,
// starting with ";", which no key matches).
bool IsKey(const std::string& strLine, LPCSTR pszKey, size_t* pnEquals)
{
    size_t nEquals = strLine.find('=');
    if (nEquals == std::string::npos || _stricmp(Trim(strLine.substr(0, nEquals)).c_str(), pszKey) != 0)
        return false;
    *pnEquals = nEquals;
    return true;
}

// What GetPrivateProfileString hands out for a stored value: blanks at the
// ends go, and then one pair of matching quotes around it.
std::string ReadBack(const std::string& strStored)
{
    std::string str = Trim(strStored);
    if (str.size() >= 2 && (str[0] == '"' || str[0] == '\'') && str.back() == str[0])
        return str.substr(1, str.size() - 2);
    return str;
}

std::string Stored(const std::string& strValue)
{
    bool bQuote = !strValue.empty() &&
                  (IsBlank(strValue[0]) || IsBlank(strValue.back()) || ReadBack(strValue) != strValue);
    return bQuote ? "\"" + strValue + "\"" : strValue;
}

std::string ChangeOne(const std::string& strText, const CIniChange& change)
{
    std::string strBreak = LineBreak(strText);
    std::string strLine = std::string(change.pszKey) + "=" + Stored(change.strValue);
    std::vector<CLine> lines = SplitLines(strText);
    size_t i = 0;
    std::string strName;
    for (; i < lines.size(); ++i) {
        std::string str = strText.substr(lines[i].nStart, lines[i].nEnd - lines[i].nStart);
        if (IsSection(str, &strName) && _stricmp(strName.c_str(), change.strSection.c_str()) == 0)
            break;
    }
    if (i == lines.size()) {
        if (change.bRemove)
            return strText;
        std::string strNew = strText;
        if (!strNew.empty() && strNew.back() != '\n')
            strNew += strBreak;
        if (!strNew.empty())
            strNew += strBreak;
        return strNew + "[" + change.strSection.c_str() + "]" + strBreak + strLine + strBreak;
    }

    // A new key goes after the section's last key; in a section without
    // keys, after the lines right below its name. Comments further down
    // may speak of something else (another section's example).
    size_t nLastKey = 0, nLast = i;
    bool bParagraph = true;
    for (size_t j = i + 1; j < lines.size(); ++j) {
        std::string str = strText.substr(lines[j].nStart, lines[j].nEnd - lines[j].nStart);
        if (IsSection(str, &strName))
            break;
        size_t nEquals = 0;
        if (IsKey(str, change.pszKey, &nEquals)) {
            std::string strNew = strText;
            if (change.bRemove)
                return strNew.erase(lines[j].nStart, lines[j].nNext - lines[j].nStart);
            if (ReadBack(str.substr(nEquals + 1)) == change.strValue)
                return strText;
            size_t nValue = lines[j].nStart + nEquals + 1;
            while (nValue < lines[j].nEnd && (strText[nValue] == ' ' || strText[nValue] == '\t'))
                ++nValue;
            return strNew.replace(nValue, lines[j].nEnd - nValue, Stored(change.strValue));
        }
        std::string strTrimmed = Trim(str);
        bParagraph = bParagraph && !strTrimmed.empty();
        if (bParagraph)
            nLast = j;
        if (strTrimmed.find('=') != std::string::npos && strTrimmed[0] != ';')
            nLastKey = j;
    }
    if (change.bRemove)
        return strText;
    if (nLastKey)
        nLast = nLastKey;
    std::string strNew = strText;
    size_t nAt = lines[nLast].nNext;
    if (nAt == lines[nLast].nEnd)   // the text's last line, without a line break
        strLine = strBreak + strLine;
    return strNew.insert(nAt, strLine + strBreak);
}

}  // namespace

namespace {

// The section-wide change for a section's name, or NULL.
const CIniChange* SectionChange(const std::vector<CIniChange>& changes, const std::string& strName)
{
    for (const CIniChange& change : changes) {
        if (!change.pszKey && _stricmp(change.strSection.c_str(), strName.c_str()) == 0)
            return &change;
    }
    return NULL;
}

std::string ChangeSections(const std::string& strText, const std::vector<CIniChange>& changes)
{
    std::vector<CLine> lines = SplitLines(strText);
    std::string strNew;
    size_t nCopied = 0;   // strText is copied up to here
    std::string strName;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string str = strText.substr(lines[i].nStart, lines[i].nEnd - lines[i].nStart);
        const CIniChange* pChange = IsSection(str, &strName) ? SectionChange(changes, strName) : NULL;
        if (!pChange)
            continue;
        strNew.append(strText, nCopied, lines[i].nStart - nCopied);
        if (!pChange->bRemove) {
            size_t nOpen = str.find('['), nClose = str.find(']');
            strNew += str.substr(0, nOpen + 1) + pChange->strValue +
                      (nClose == std::string::npos ? "]" : str.substr(nClose));
            nCopied = lines[i].nEnd;
            continue;
        }
        size_t nEnd = i;   // the last line that goes
        for (size_t j = i + 1; j < lines.size(); ++j) {
            std::string strLine = Trim(strText.substr(lines[j].nStart, lines[j].nEnd - lines[j].nStart));
            if (IsSection(strLine, &strName))
                break;
            if (strLine.find('=') != std::string::npos && strLine[0] != ';')
                nEnd = j;
        }
        while (nEnd + 1 < lines.size() &&
               Trim(strText.substr(lines[nEnd + 1].nStart, lines[nEnd + 1].nEnd - lines[nEnd + 1].nStart)).empty())
            ++nEnd;
        nCopied = lines[nEnd].nNext;
        i = nEnd;
    }
    return strNew + strText.substr(nCopied);
}

}  // namespace

std::string ChangeIniText(const std::string& strText, const std::vector<CIniChange>& changes)
{
    std::string strNew = ChangeSections(strText, changes);
    for (const CIniChange& change : changes) {
        if (change.pszKey)
            strNew = ChangeOne(strNew, change);
    }
    return strNew;
}

std::string ChangeDecodeTimeText(const std::string& strText, int nMs)
{
    // As atoi reads: blanks, a sign, digits.
    size_t nStart = 0;
    while (nStart < strText.size() && IsBlank(strText[nStart]))
        ++nStart;
    size_t nEnd = nStart < strText.size() && (strText[nStart] == '+' || strText[nStart] == '-')
                      ? nStart + 1 : nStart;
    size_t nDigits = nEnd;
    while (nEnd < strText.size() && isdigit((unsigned char)strText[nEnd]))
        ++nEnd;
    std::string strNumber = std::to_string(nMs);
    if (nEnd == nDigits)
        return strNumber + LineBreak(strText) + strText;
    return strText.substr(0, nStart) + strNumber + strText.substr(nEnd);
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

bool ReadFileBytes(LPCSTR pszPath, std::string& strBytes)
{
    strBytes.clear();
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        DWORD dwError = GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
    }
    char buffer[4096];
    DWORD nRead = 0;
    BOOL bOk;
    while ((bOk = ReadFile(hFile, buffer, sizeof(buffer), &nRead, NULL)) && nRead > 0)
        strBytes.append(buffer, nRead);
    CloseHandle(hFile);
    return bOk != FALSE;
}

namespace {

DWORD WriteWholeFile(LPCSTR pszPath, const std::string& strBytes)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD nWritten = 0;
    DWORD dwError = 0;
    if (!WriteFile(hFile, strBytes.data(), (DWORD)strBytes.size(), &nWritten, NULL) ||
        nWritten != strBytes.size() || !FlushFileBuffers(hFile))
        dwError = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    CloseHandle(hFile);
    if (dwError)
        DeleteFileA(pszPath);
    return dwError;
}

// A file that may not be written, or a folder in its place, is not replaced.
DWORD CheckReplaceable(LPCSTR pszPath)
{
    DWORD dwAttributes = GetFileAttributesA(pszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    return dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY) ? ERROR_ACCESS_DENIED : 0;
}

}  // namespace

DWORD WriteFilesTogether(const std::vector<CFileContent>& files, size_t* pnFailed)
{
    std::vector<CString> temps, backups;
    for (const CFileContent& file : files) {
        temps.push_back(file.strPath + ".new");
        backups.push_back(file.strPath + ".bak");
    }
    DWORD dwError = 0;
    size_t i = 0;
    for (; !dwError && i < files.size(); ++i) {
        dwError = CheckReplaceable(files[i].strPath);
        if (!dwError)
            dwError = WriteWholeFile(temps[i], files[i].strBytes);
    }
    if (dwError) {
        *pnFailed = i - 1;
        for (size_t j = 0; j + 1 < i; ++j)
            DeleteFileA(temps[j]);
        return dwError;
    }

    // Each old file is copied aside before the new one takes its place in
    // one step, so the file itself is never missing.
    std::vector<bool> hadOld(files.size(), false);
    for (i = 0; !dwError && i < files.size(); ++i) {
        hadOld[i] = GetFileAttributesA(files[i].strPath) != INVALID_FILE_ATTRIBUTES;
        if ((hadOld[i] && !CopyFileA(files[i].strPath, backups[i], FALSE)) ||
            !MoveFileExA(temps[i], files[i].strPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            dwError = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    }
    std::vector<bool> keepBackup(files.size(), false);
    if (dwError) {
        *pnFailed = i - 1;
        for (size_t j = 0; j + 1 < i; ++j) {
            // A copy that cannot be put back stays beside the file.
            if (hadOld[j])
                keepBackup[j] = !MoveFileExA(backups[j], files[j].strPath, MOVEFILE_REPLACE_EXISTING);
            else
                DeleteFileA(files[j].strPath);
        }
        for (size_t j = i - 1; j < files.size(); ++j)
            DeleteFileA(temps[j]);
    }
    for (size_t j = 0; j < files.size(); ++j) {
        if (!keepBackup[j])
            DeleteFileA(backups[j]);
    }
    return dwError;
}
