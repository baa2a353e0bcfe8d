// The settings, read in one place: typeSet.ini in the program's folder and
// configDecodeTime.ini in the current folder, under what the organisation
// sets: its policy and its shared settings file. Their texts are in the
// ANSI code page; the output options come out as UTF-16.
#pragma once

#include <afxwin.h>

#include <string>
#include <utility>
#include <vector>

#include "escapes.h"
#include "policy.h"

// "typeSet.ini" in the executable's folder.
CString TypeSetPath();

// Where a value comes from.
enum SettingOrigin { ORIGIN_NONE, ORIGIN_FILE, ORIGIN_SHARED, ORIGIN_POLICY };

// The settings as the readers below take them. A key is looked up in the
// policy first, then in the shared settings file, then in the local file:
// the first that has it decides, even with a value that is not valid. A key
// of a program section [OUTPUT:<program>] is looked up in the shared file's
// [OUTPUT] too, before the local file. The
// shared file's sections come before the local file's; rules are not
// merged by number: the shared file's come first, then the local ones.
class CSettingsSource {
public:
    // A file alone.
    CSettingsSource(LPCSTR pszPath);
    CSettingsSource(const CString& strPath);
    // The file under the policy and the shared file (its local copy; empty:
    // none).
    CSettingsSource(LPCSTR pszPath, const CPolicy& policy, LPCSTR pszShared);

    const CString& Path() const { return m_strPath; }
    const CString& SharedPath() const { return m_strShared; }
    const CPolicy& Policy() const { return m_policy; }
    SettingOrigin Origin(LPCSTR pszSection, LPCSTR pszKey) const;

private:
    CString m_strPath;
    CString m_strShared;
    CPolicy m_policy;
};

// The settings the program runs with: the policy as it stands now, and the
// copy of the shared file it names when there is one; pszPath in place of
// typeSet.ini when given.
CSettingsSource ProgramSettings(LPCSTR pszPath = NULL);

// The copy of the shared file stands: it was made of the file the policy
// names, and of the content the policy pins, if it pins one.
bool SharedCopyInForce(const CPolicy& policy, LPCSTR pszCopy);

// The shared file's rules are numbered from here on: its RULE1 is RULE101.
const int kSharedRuleOffset = 100;

// One key of section TYPE: 1 when its value is "1" or empty (which includes
// a missing key or file), 0 for anything else.
int ReadTypeFlag(LPCSTR pszKey, const CSettingsSource& source);

// Key Notices of section OUTPUT: 0 switches the tray notices off; any other
// value, or none, leaves them on.
int ReadNoticesSetting(const CSettingsSource& source);

// Key Mode of section SOUND: how the end of a decode is heard. "windows"
// plays the program's events as the user's sound scheme has them, "always"
// the program's own sounds whatever the scheme, "off" none (any case). Any
// other value, or none, is "windows".
enum SoundMode { SOUND_MODE_WINDOWS, SOUND_MODE_ALWAYS, SOUND_MODE_OFF };

// Section SOUND and the sections [SOUND:<program file name>], whose Mode
// takes the place of SOUND's while that program is in front.
struct CSoundModes {
    CSoundModes() : base(SOUND_MODE_WINDOWS) {}
    SoundMode base;
    std::vector<std::pair<std::wstring, SoundMode>> programs;   // names in lower case

    SoundMode For(const std::wstring& strProgram) const;
};

CSoundModes ReadSoundModes(const CSettingsSource& source);

// Key Language of section UI: the language of the program's texts. "zh" and
// "en" (in any case) choose one; "auto", any other value or none follows the
// user's interface language.
enum UiLanguageSetting { UI_LANGUAGE_AUTO, UI_LANGUAGE_ZH, UI_LANGUAGE_EN };
UiLanguageSetting ReadUiLanguage(const CSettingsSource& source);

// Reads the decode hold-off, a plain decimal number of milliseconds, from a
// text file into *pnMs, clamped to 50..5000. A missing file gives 50 and
// false; a failure while reading leaves *pnMs alone and gives false.
bool ReadDecodeTime(LPCSTR pszFileName, int* pnMs);
// The same, unless the policy sets the hold-off (DecodeTime): then that,
// clamped alike.
bool ReadDecodeTime(const CSettingsSource& source, LPCSTR pszFileName, int* pnMs);

// The organisation's page for Help: an http or https address, whole and
// without spaces; false when none is set or the value is no such address,
// which is never handed to the system to open.
bool ReadHelpUrl(const CPolicy& policy, std::wstring* pstrUrl);

// What one ASCII control character inside a decode is typed as.
struct CControlOutput {
    char ch;                // the control character
    bool bKeep;             // typed as it is; otherwise strWith (empty: dropped)
    std::wstring strWith;
};

// The group separator, record separator and end of transmission of GS1 and
// other structured codes, in this order.
const int kControlCount = 3;
const char kControlChars[kControlCount] = { '\x1D', '\x1E', '\x04' };

// DigitalLink=asis|element|hri: a valid GS1 Digital Link URI typed as
// scanned, as its element string, or as its fields in brackets.
enum DigitalLinkOutput { DIGITAL_LINK_ASIS, DIGITAL_LINK_ELEMENT, DIGITAL_LINK_HRI };
extern const char* const kDigitalLinkValues[3];   // "asis", "element", "hri"
// DuplicateScope and DuplicateAction, in the order of their numbers.
extern const char* const kDuplicateScopes[4];     // "off", "run", "today", "all"
extern const char* const kDuplicateActions[2];    // "type", "skip"

// Section OUTPUT: what is typed around and in place of a decode. Every key
// is optional; a missing or invalid value leaves the key at its default,
// which types exactly what a file without the section types.
struct COutputOptions {
    COutputOptions();

    std::wstring strPrefix;   // expanded (see ExpandEscapes)
    std::wstring strSuffix;
    bool bSuffix;             // Suffix is set: it replaces the Enter key's suffix
    int nKeyDelay;            // ms between typed characters, 0..200
    int nRepeatWindow;        // ms; 0: every decode is typed
    CControlOutput controls[kControlCount];   // GS, RS, EOT
    bool bPaste;              // Method=paste: through the clipboard, not typed
    int nPasteRestoreDelay;   // ms from the target's paste to the user's clipboard coming back
    DigitalLinkOutput nDigitalLink;   // what a GS1 Digital Link URI is typed as
    // A code scanned before: where to look (DuplicateScope off, run, today,
    // all: 0..3) and whether it is typed anyway (DuplicateAction type, skip).
    int nDuplicateScope;
    bool bDuplicateSkip;
    // Target: the program codes go to ("erp.exe", or "erp.exe|Goods*" with a
    // title pattern); empty: the window in front. ReturnFocus: the window
    // that was in front gets it back after the typing (on unless set to 0;
    // of use only while a target is set).
    std::wstring strTarget;
    bool bReturnFocus;
};

const int kMaxKeyDelay = 200;
const int kMaxRepeatWindow = 60000;
// A remote-desktop client may read the clipboard again one round trip after
// its paste (through a slow link, a few hundred ms).
const int kDefaultPasteRestoreDelay = 500;
const int kMaxPasteRestoreDelay = 10000;

// Codes whose target cannot be reached wait, at most TargetWaitCodes of
// them (1..100) and each at most TargetWaitSeconds (1..3600), section OUTPUT.
struct CTargetWaitBounds {
    int nCodes = 20;
    int nSeconds = 120;
};
const int kMaxTargetWaitCodes = 100;
const int kMaxTargetWaitSeconds = 3600;
CTargetWaitBounds ReadTargetWaitBounds(const CSettingsSource& source);


// Section HISTORY: the scan history kept on disk across restarts
// (HistoryOnDisk: 0 keeps this run's only, and the file goes) and for how
// many days (HistoryDays, 1..3650).
struct CHistorySettings {
    bool bOnDisk = true;
    int nDays = 30;
};
const int kMaxHistoryDays = 3650;
CHistorySettings ReadHistorySettings(const CSettingsSource& source);

// A key's value as it stands, escapes and all; false when the key is
// missing (or longer than any valid value).
bool ReadSettingValue(LPCSTR pszSection, LPCSTR pszKey, const CSettingsSource& source, CString& strValue);

// Reads section OUTPUT (Notices is read with the tray notices).
COutputOptions ReadOutputOptions(const CSettingsSource& source);

// Section OUTPUT and the sections [OUTPUT:<program file name>], whose keys
// take the place of OUTPUT's while that program is in front.
struct COutputProfiles {
    COutputOptions base;
    std::vector<std::pair<std::wstring, COutputOptions>> programs;   // names in lower case

    // The options for the program in front (its file name, any case).
    const COutputOptions& For(const std::wstring& strProgram) const;
};

COutputProfiles ReadOutputProfiles(const CSettingsSource& source);

// Sections [RULE1] .. [RULE99] as they stand, in the order of their numbers,
// the shared file's first; the shaping stage makes rules of them. Values are
// in the code page.
struct CRuleSetting {
    int nNumber;
    CString strMatch;     // a regular expression, or GS1
    CString strProgram;   // program file names, separated by ';'; empty: any
    CString strOutput;    // the template; bOutput false: the code as it is
    bool bOutput;
    CString strAction;    // "type" (or empty) or "reject"
    CString strTarget;    // the program its codes go to; empty: the section's
};

const int kMaxRules = 99;

std::vector<CRuleSetting> ReadRuleSettings(const CSettingsSource& source);

// The keys of a section [OUTPUT:<program file name>], as the settings window
// edits them.
const int kProgramKeyCount = 13;
extern const char* const kProgramKeys[kProgramKeyCount];   // Prefix .. Method, DigitalLink, DuplicateScope, DuplicateAction, Target, ReturnFocus

struct CProgramSetting {
    CString strProgram;                    // as the section's name has it
    bool abSet[kProgramKeyCount];          // the section has the key
    CString values[kProgramKeyCount];      // as they stand, escapes and all
};

// The sections [OUTPUT:<program file name>] of one file, in its order; of
// two with the same name (any case) the first, as the reader takes it.
std::vector<CProgramSetting> ReadProgramSettings(LPCSTR pszPath);
