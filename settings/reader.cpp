#include "settings.h"

#include <ctype.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "shared.h"
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

namespace {

// Stands for a key that is not in the file: no value can hold a line end.
const char kMissing[] = "\n";

// Values are read whole: one cut at the end of a buffer could be another
// valid value (half an escape pair, a shorter number). Beyond this a value
// counts as invalid.
const DWORD kMaxValue = 1 << 20;

enum ValueRead { VALUE_MISSING, VALUE_READ, VALUE_TOO_LONG };

// The value through pfnRead(buffer, size), in a buffer that grows until it
// holds the value whole.
template <typename Char, typename Read>
ValueRead ReadWhole(std::basic_string<Char>& buffer, Read pfnRead)
{
    buffer.assign(1024, 0);
    for (;;) {
        DWORD n = pfnRead(&buffer[0], (DWORD)buffer.size());
        if (n + 1 < buffer.size()) {
            buffer.resize(n);
            return buffer.size() == 1 && buffer[0] == kMissing[0] ? VALUE_MISSING : VALUE_READ;
        }
        if (buffer.size() >= kMaxValue)
            return VALUE_TOO_LONG;
        buffer.assign(buffer.size() * 4, 0);
    }
}

// The system reads a file behind a UTF-8 mark as UTF-8.
bool IsUtf8File(LPCSTR pszPath)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    char szMark[3] = {};
    DWORD nRead = 0;
    bool bUtf8 = ReadFile(hFile, szMark, sizeof(szMark), &nRead, NULL) && nRead == sizeof(szMark) &&
                 memcmp(szMark, "\xEF\xBB\xBF", sizeof(szMark)) == 0;
    CloseHandle(hFile);
    return bUtf8;
}

// A value in the code page as the ANSI reader would give it, but for the
// characters the code page lacks: {U+XXXX}, which reads back as the
// character, in place of a "?". ASCII stays as it is, controls and all.
std::string InCodePage(const std::wstring& strValue)
{
    std::string strOut;
    for (size_t i = 0; i < strValue.size();) {
        bool bAscii = strValue[i] < 0x80;
        size_t j = i;
        while (j < strValue.size() && (strValue[j] < 0x80) == bAscii)
            ++j;
        std::wstring strRun = strValue.substr(i, j - i);
        strOut += bAscii ? std::string(strRun.begin(), strRun.end()) : EncodeSettingValue(strRun);
        i = j;
    }
    return strOut;
}

// The value in one file.
ValueRead ReadFileValue(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszPath, CString& strValue)
{
    if (IsUtf8File(pszPath)) {
        std::wstring strSection = AfxWiden(pszSection), strKey = AfxWiden(pszKey), strPath = AfxWiden(pszPath);
        std::wstring buffer;
        ValueRead read = ReadWhole(buffer, [&](wchar_t* p, DWORD n) {
            return GetPrivateProfileStringW(strSection.c_str(), strKey.c_str(), L"\n", p, n, strPath.c_str());
        });
        if (read == VALUE_READ)
            strValue = InCodePage(buffer).c_str();
        return read;
    }
    std::string buffer;
    ValueRead read = ReadWhole(buffer, [&](char* p, DWORD n) {
        return GetPrivateProfileStringA(pszSection, pszKey, kMissing, p, n, pszPath);
    });
    if (read == VALUE_READ)
        strValue = buffer.c_str();
    return read;
}

const char kProgramPrefix[] = "OUTPUT:";
const size_t kProgramPrefixLength = sizeof(kProgramPrefix) - 1;
const char kSoundPrefix[] = "SOUND:";

// The section a program section [OUTPUT:<program>] or [SOUND:<program>]
// stands in for; empty for any other.
std::string BaseSection(LPCSTR pszSection)
{
    const char* pszColon = strchr(pszSection, ':');
    if (!pszColon || !pszColon[1])
        return std::string();
    std::string strBase(pszSection, pszColon - pszSection);
    return lstrcmpiA(strBase.c_str(), "OUTPUT") == 0 || lstrcmpiA(strBase.c_str(), "SOUND") == 0 ? strBase
                                                                                                  : std::string();
}

// The value where it is found first, key by key: the policy, the shared
// file, the local file. What the organisation sets ranks above the user in
// every section: its [OUTPUT] and [SOUND] above the user's program sections too.
ValueRead ReadOutputValue(LPCSTR pszSection, LPCSTR pszKey, const CSettingsSource& source, CString& strValue,
                          SettingOrigin* pOrigin = NULL)
{
    SettingOrigin origin = ORIGIN_POLICY;
    ValueRead result = VALUE_READ;
    if (source.Policy().ValueFor(pszSection, pszKey, strValue)) {
        if ((DWORD)strValue.GetLength() >= kMaxValue)
            result = VALUE_TOO_LONG;
    } else {
        origin = ORIGIN_SHARED;
        result = VALUE_MISSING;
        if (!source.SharedPath().IsEmpty()) {
            result = ReadFileValue(pszSection, pszKey, source.SharedPath(), strValue);
            std::string strBase = BaseSection(pszSection);
            if (result == VALUE_MISSING && !strBase.empty())
                result = ReadFileValue(strBase.c_str(), pszKey, source.SharedPath(), strValue);
        }
        if (result == VALUE_MISSING) {
            origin = ORIGIN_FILE;
            result = ReadFileValue(pszSection, pszKey, source.Path(), strValue);
        }
    }
    if (pOrigin)
        *pOrigin = result == VALUE_MISSING ? ORIGIN_NONE : origin;
    return result;
}

// Digits only, within 0..nMax; anything else keeps the default.
int ReadOutputNumber(LPCSTR pszSection, LPCSTR pszKey, const CSettingsSource& source, int nMax, int nDefault)
{
    CString strValue;
    if (ReadOutputValue(pszSection, pszKey, source, strValue) != VALUE_READ || strValue.IsEmpty() ||
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
bool ReadOutputText(LPCSTR pszSection, LPCSTR pszKey, const CSettingsSource& source, std::wstring& strText)
{
    CString strValue;
    return ReadOutputValue(pszSection, pszKey, source, strValue) == VALUE_READ &&
           ExpandEscapes(strValue, strText);
}

// The keys of one output section over the options given: what the section
// leaves out or gets wrong keeps the value it had.
COutputOptions ReadOutputSection(LPCSTR pszSection, const CSettingsSource& source, COutputOptions options)
{
    static const char* const kControlKeys[kControlCount] = { "GS", "RS", "EOT" };
    ReadOutputText(pszSection, "Prefix", source, options.strPrefix);
    if (ReadOutputText(pszSection, "Suffix", source, options.strSuffix))
        options.bSuffix = true;
    options.nKeyDelay = ReadOutputNumber(pszSection, "KeyDelay", source, kMaxKeyDelay, options.nKeyDelay);
    options.nRepeatWindow = ReadOutputNumber(pszSection, "RepeatWindow", source, kMaxRepeatWindow,
                                             options.nRepeatWindow);
    for (int i = 0; i < kControlCount; ++i) {
        if (ReadOutputText(pszSection, kControlKeys[i], source, options.controls[i].strWith))
            options.controls[i].bKeep = false;
    }
    options.nPasteRestoreDelay = ReadOutputNumber(pszSection, "PasteRestoreDelay", source,
                                                  kMaxPasteRestoreDelay, options.nPasteRestoreDelay);
    CString strValue;
    if (ReadOutputValue(pszSection, "DuplicateScope", source, strValue) == VALUE_READ) {
        for (int i = 0; i < (int)ARRAYSIZE(kDuplicateScopes); ++i) {
            if (lstrcmpiA(strValue, kDuplicateScopes[i]) == 0)
                options.nDuplicateScope = i;
        }
    }
    if (ReadOutputValue(pszSection, "DuplicateAction", source, strValue) == VALUE_READ) {
        if (lstrcmpiA(strValue, "skip") == 0)
            options.bDuplicateSkip = true;
        else if (lstrcmpiA(strValue, "type") == 0)
            options.bDuplicateSkip = false;
    }
    CString strMethod;
    if (ReadOutputValue(pszSection, "Method", source, strMethod) == VALUE_READ) {
        if (lstrcmpiA(strMethod, "paste") == 0)
            options.bPaste = true;
        else if (lstrcmpiA(strMethod, "type") == 0)
            options.bPaste = false;
    }
    std::wstring strTarget;
    if (ReadOutputText(pszSection, "Target", source, strTarget))
        options.strTarget = strTarget;
    if (ReadOutputValue(pszSection, "ReturnFocus", source, strValue) == VALUE_READ &&
        (strValue == "0" || strValue == "1"))
        options.bReturnFocus = strValue == "1";
    CString strLink;
    if (ReadOutputValue(pszSection, "DigitalLink", source, strLink) == VALUE_READ) {
        for (int i = 0; i < (int)(sizeof(kDigitalLinkValues) / sizeof(kDigitalLinkValues[0])); ++i) {
            if (lstrcmpiA(strLink, kDigitalLinkValues[i]) == 0)
                options.nDigitalLink = (DigitalLinkOutput)i;
        }
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

// The files read, in order: the shared file's copy, then the local file.
std::vector<CString> SourceFiles(const CSettingsSource& source)
{
    std::vector<CString> files;
    if (!source.SharedPath().IsEmpty())
        files.push_back(source.SharedPath());
    files.push_back(source.Path());
    return files;
}

// The sections [OUTPUT:<program file name>] in the files' order; of two with
// the same name (any case) only the first, as for keys.
// The program a section [OUTPUT:<name>] is for, in lower case; the rules
// window writes a character the code page lacks as {U+XXXX}.
std::wstring SectionProgram(const char* pszSection)
{
    const char* pszName = strchr(pszSection, ':') + 1;
    std::wstring strName;
    if (!ExpandEscapes(pszName, strName))
        strName = AfxWiden(pszName);
    return Lowered(strName);
}

std::vector<std::string> ProgramSections(const CSettingsSource& source, const char* pszPrefix = kProgramPrefix)
{
    std::vector<std::string> sections;
    std::vector<std::wstring> seen;
    size_t nPrefix = strlen(pszPrefix);
    for (const CString& strPath : SourceFiles(source)) {
        std::string names = SectionNames(strPath);
        for (const char* p = names.c_str(); *p; p += strlen(p) + 1) {
            if (_strnicmp(p, pszPrefix, nPrefix) != 0 || !p[nPrefix])
                continue;
            std::wstring strName = SectionProgram(p);
            if (std::find(seen.begin(), seen.end(), strName) == seen.end()) {
                seen.push_back(strName);
                sections.push_back(p);
            }
        }
    }
    return sections;
}

// One file's rules, their numbers moved up by nOffset.
void ReadFileRules(LPCSTR pszPath, int nOffset, std::vector<CRuleSetting>& rules)
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
    for (int n = 1; n <= kMaxRules; ++n) {
        if (!abPresent[n])
            continue;
        CString strSection;
        strSection.Format("RULE%d", n);
        CRuleSetting rule;
        rule.nNumber = n + nOffset;
        ReadFileValue(strSection, "Match", pszPath, rule.strMatch);
        ReadFileValue(strSection, "Program", pszPath, rule.strProgram);
        rule.bOutput = ReadFileValue(strSection, "Output", pszPath, rule.strOutput) == VALUE_READ;
        ReadFileValue(strSection, "Action", pszPath, rule.strAction);
        ReadFileValue(strSection, "Target", pszPath, rule.strTarget);
        rules.push_back(rule);
    }
}

}  // namespace

CSettingsSource::CSettingsSource(LPCSTR pszPath) : m_strPath(pszPath) {}

CSettingsSource::CSettingsSource(const CString& strPath) : m_strPath(strPath) {}

CSettingsSource::CSettingsSource(LPCSTR pszPath, const CPolicy& policy, LPCSTR pszShared)
    : m_strPath(pszPath), m_strShared(pszShared ? pszShared : ""), m_policy(policy)
{
}

SettingOrigin CSettingsSource::Origin(LPCSTR pszSection, LPCSTR pszKey) const
{
    CString strValue;
    SettingOrigin origin = ORIGIN_NONE;
    ReadOutputValue(pszSection, pszKey, *this, strValue, &origin);
    return origin;
}

// The copy of the shared file is in force only while its body is what its
// header says it was made of, and the pin's content when one is set.
CSettingsSource ProgramSettings(LPCSTR pszPath)
{
    CPolicy policy;
    policy.Load();
    CString strCopy = SharedCopyPath();
    return CSettingsSource(pszPath ? pszPath : (LPCSTR)TypeSetPath(), policy,
                           SharedCopyInForce(policy, strCopy) ? (LPCSTR)strCopy : "");
}

bool SharedCopyInForce(const CPolicy& policy, LPCSTR pszCopy)
{
    std::wstring strShared;
    std::string strSha256;
    CString strPin;
    if (!policy.WideValue(POLICY_SHARED_FILE, strShared) || strShared.empty() ||
        !IsSharedCopyOf(pszCopy, strShared.c_str(), &strSha256))
        return false;
    return !policy.Value(POLICY_SHARED_PIN, strPin) || NormalSha256(strPin) == strSha256;
}

COutputOptions::COutputOptions()
    : bSuffix(false), nKeyDelay(0), nRepeatWindow(0), bPaste(false), nPasteRestoreDelay(kDefaultPasteRestoreDelay),
      nDigitalLink(DIGITAL_LINK_ASIS),
      nDuplicateScope(0), bDuplicateSkip(false), bReturnFocus(true)
{
    for (int i = 0; i < kControlCount; ++i) {
        controls[i].ch = kControlChars[i];
        controls[i].bKeep = true;
    }
}

int ReadTypeFlag(LPCSTR pszKey, const CSettingsSource& source)
{
    CString strValue;
    switch (ReadOutputValue("TYPE", pszKey, source, strValue)) {
    case VALUE_MISSING: return 1;
    case VALUE_READ: return strValue.IsEmpty() || strValue == "1";
    default: return 0;
    }
}

int ReadNoticesSetting(const CSettingsSource& source)
{
    CString strValue;
    return ReadOutputValue("OUTPUT", "Notices", source, strValue) == VALUE_READ && strValue == "0" ? 0 : 1;
}

UiLanguageSetting ReadUiLanguage(const CSettingsSource& source)
{
    CString strValue;
    if (ReadOutputValue("UI", "Language", source, strValue) != VALUE_READ)
        return UI_LANGUAGE_AUTO;
    if (lstrcmpiA(strValue, "zh") == 0)
        return UI_LANGUAGE_ZH;
    return lstrcmpiA(strValue, "en") == 0 ? UI_LANGUAGE_EN : UI_LANGUAGE_AUTO;
}

CHistorySettings ReadHistorySettings(const CSettingsSource& source)
{
    CHistorySettings history;
    CString strValue;
    if (ReadOutputValue("HISTORY", "HistoryOnDisk", source, strValue) == VALUE_READ && strValue == "0")
        history.bOnDisk = false;
    int nDays = ReadOutputNumber("HISTORY", "HistoryDays", source, kMaxHistoryDays, history.nDays);
    if (nDays > 0)
        history.nDays = nDays;
    return history;
}

CTargetWaitBounds ReadTargetWaitBounds(const CSettingsSource& source)
{
    CTargetWaitBounds bounds;
    int nCodes = ReadOutputNumber("OUTPUT", "TargetWaitCodes", source, kMaxTargetWaitCodes, bounds.nCodes);
    int nSeconds = ReadOutputNumber("OUTPUT", "TargetWaitSeconds", source, kMaxTargetWaitSeconds, bounds.nSeconds);
    if (nCodes > 0)
        bounds.nCodes = nCodes;
    if (nSeconds > 0)
        bounds.nSeconds = nSeconds;
    return bounds;
}

bool ReadSettingValue(LPCSTR pszSection, LPCSTR pszKey, const CSettingsSource& source, CString& strValue)
{
    return ReadOutputValue(pszSection, pszKey, source, strValue) == VALUE_READ;
}

COutputOptions ReadOutputOptions(const CSettingsSource& source)
{
    return ReadOutputSection("OUTPUT", source, COutputOptions());
}

COutputProfiles ReadOutputProfiles(const CSettingsSource& source)
{
    COutputProfiles profiles;
    profiles.base = ReadOutputOptions(source);
    for (const std::string& strSection : ProgramSections(source)) {
        profiles.programs.emplace_back(SectionProgram(strSection.c_str()),
                                       ReadOutputSection(strSection.c_str(), source, profiles.base));
    }
    return profiles;
}

namespace {

SoundMode ReadSoundMode(LPCSTR pszSection, const CSettingsSource& source, SoundMode mode)
{
    static const char* const s_pszModes[] = { "windows", "always", "off" };
    CString strValue;
    if (ReadOutputValue(pszSection, "Mode", source, strValue) == VALUE_READ) {
        for (size_t i = 0; i < ARRAYSIZE(s_pszModes); ++i) {
            if (lstrcmpiA(strValue, s_pszModes[i]) == 0)
                return (SoundMode)i;
        }
    }
    return mode;
}

}  // namespace

CSoundModes ReadSoundModes(const CSettingsSource& source)
{
    CSoundModes modes;
    modes.base = ReadSoundMode("SOUND", source, SOUND_MODE_WINDOWS);
    for (const std::string& strSection : ProgramSections(source, kSoundPrefix))
        modes.programs.emplace_back(SectionProgram(strSection.c_str()),
                                    ReadSoundMode(strSection.c_str(), source, modes.base));
    return modes;
}

SoundMode CSoundModes::For(const std::wstring& strProgram) const
{
    std::wstring strLower = Lowered(strProgram);
    for (const auto& program : programs) {
        if (program.first == strLower)
            return program.second;
    }
    return base;
}

std::vector<CRuleSetting> ReadRuleSettings(const CSettingsSource& source)
{
    std::vector<CRuleSetting> rules;
    if (!source.SharedPath().IsEmpty())
        ReadFileRules(source.SharedPath(), kSharedRuleOffset, rules);
    ReadFileRules(source.Path(), 0, rules);
    return rules;
}

const char* const kDigitalLinkValues[3] = { "asis", "element", "hri" };

const char* const kProgramKeys[kProgramKeyCount] = {
    "Prefix", "Suffix", "KeyDelay", "RepeatWindow", "GS", "RS", "EOT", "Method", "DigitalLink",
    "DuplicateScope", "DuplicateAction", "Target", "ReturnFocus",
};

const char* const kDuplicateScopes[4] = { "off", "run", "today", "all" };
const char* const kDuplicateActions[2] = { "type", "skip" };

std::vector<CProgramSetting> ReadProgramSettings(LPCSTR pszPath)
{
    std::vector<CProgramSetting> programs;
    for (const std::string& strSection : ProgramSections(CSettingsSource(pszPath))) {
        CProgramSetting program;
        program.strProgram = strSection.c_str() + kProgramPrefixLength;
        for (int i = 0; i < kProgramKeyCount; ++i) {
            program.abSet[i] = ReadFileValue(strSection.c_str(), kProgramKeys[i], pszPath, program.values[i]) ==
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

bool ReadDecodeTime(const CSettingsSource& source, LPCSTR pszFileName, int* pnMs)
{
    CString strValue;
    if (!source.Policy().Value(POLICY_DECODE_TIME, strValue))
        return ReadDecodeTime(pszFileName, pnMs);
    int nMs = atoi(strValue);
    *pnMs = nMs < 50 ? 50 : nMs > 5000 ? 5000 : nMs;
    return true;
}

bool ReadHelpUrl(const CPolicy& policy, std::wstring* pstrUrl)
{
    std::wstring strUrl;
    if (!policy.WideValue(POLICY_HELP_URL, strUrl))
        return false;
    size_t nScheme = strUrl.find(L"://");
    std::wstring strScheme = strUrl.substr(0, nScheme == std::wstring::npos ? 0 : nScheme);
    if ((lstrcmpiW(strScheme.c_str(), L"http") != 0 && lstrcmpiW(strScheme.c_str(), L"https") != 0) ||
        strUrl.size() == nScheme + 3)
        return false;
    for (wchar_t ch : strUrl) {
        if (ch <= L' ' || ch == L'"' || ch == 0x7F)
            return false;
    }
    *pstrUrl = strUrl;
    return true;
}
