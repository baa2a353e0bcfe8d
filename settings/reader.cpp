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
    : bSuffix(false), nKeyDelay(0), nRepeatWindow(0), bPaste(false), nPasteRestoreDelay(kDefaultPasteRestoreDelay)
{
    for (int i = 0; i < kControlCount; ++i) {
        controls[i].ch = kControlChars[i];
        controls[i].bKeep = true;
    }
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
    options.nPasteRestoreDelay = ReadOutputNumber(pszSection, "PasteRestoreDelay", pszPath,
                                                  kMaxPasteRestoreDelay, options.nPasteRestoreDelay);
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

