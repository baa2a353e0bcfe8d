// The settings files, read in one place: typeSet.ini in the program's folder
// and configDecodeTime.ini in the current folder. Their texts are in the
// ANSI code page; the output options come out as UTF-16.
#pragma once

#include <afxwin.h>

#include <string>
#include <utility>
#include <vector>

// "typeSet.ini" in the executable's folder.
CString TypeSetPath();

// One key of section TYPE: 1 when its value is "1" or empty (which includes
// a missing key or file), 0 for anything else.
int ReadTypeFlag(LPCSTR pszKey, LPCSTR pszPath);

// Key Notices of section OUTPUT: 0 switches the tray notices off; any other
// value, or none, leaves them on.
int ReadNoticesSetting(LPCSTR pszPath);

// Key Language of section UI: the language of the program's texts. "zh" and
// "en" (in any case) choose one; "auto", any other value or none follows the
// user's interface language.
enum UiLanguageSetting { UI_LANGUAGE_AUTO, UI_LANGUAGE_ZH, UI_LANGUAGE_EN };
UiLanguageSetting ReadUiLanguage(LPCSTR pszPath);

// Reads the decode hold-off, a plain decimal number of milliseconds, from a
// text file into *pnMs, clamped to 50..5000. A missing file gives 50 and
// false; a failure while reading leaves *pnMs alone and gives false.
bool ReadDecodeTime(LPCSTR pszFileName, int* pnMs);

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
};

const int kMaxKeyDelay = 200;
const int kMaxRepeatWindow = 60000;

// Turns a settings value in the code page into what it types: {TAB} a tab
// (the Tab key), {ENTER} a CR (the plain Enter key), {GS} {RS} {EOT} the
// control characters 0x1D 0x1E 0x04, {U+XXXX} the character of that code
// point (for characters the code page lacks), {{ and }} a brace; keys by
// name ({F1}..{F24} {HOME} {END} {UP} {DOWN} {LEFT} {RIGHT} {PGUP} {PGDN}
// {INS} {DEL} {BS} {ESC}) and with modifiers ({CTRL+A}, {ALT+F4},
// {CTRL+SHIFT+HOME}: a letter, a digit or a named key, also TAB, ENTER and
// SPACE), and pauses ({DELAY n}, n at most 2000 ms), in-band as
// typedtext.h describes; case does not matter. The value is read character
// by character, so the second byte of a double-byte character is never a
// brace. False, leaving strOut alone, on an unknown escape or a lone brace.
bool ExpandEscapes(LPCSTR pszValue, std::wstring& strOut, UINT nCodePage = CP_ACP);

// A key's value as it stands in the file, escapes and all; false when the
// key is missing (or longer than any valid value).
bool ReadSettingValue(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszPath, CString& strValue);

// Reads section OUTPUT of the file (Notices is read with the tray notices).
COutputOptions ReadOutputOptions(LPCSTR pszPath);

// Section OUTPUT and the sections [OUTPUT:<program file name>], whose keys
// take the place of OUTPUT's while that program is in front.
struct COutputProfiles {
    COutputOptions base;
    std::vector<std::pair<std::wstring, COutputOptions>> programs;   // names in lower case

    // The options for the program in front (its file name, any case).
    const COutputOptions& For(const std::wstring& strProgram) const;
};

COutputProfiles ReadOutputProfiles(LPCSTR pszPath);

// Sections [RULE1] .. [RULE99] as they stand, in the order of their numbers;
// the shaping stage makes rules of them. Values are in the code page.
struct CRuleSetting {
    int nNumber;
    CString strMatch;     // a regular expression, or GS1
    CString strProgram;   // program file names, separated by ';'; empty: any
    CString strOutput;    // the template; bOutput false: the code as it is
    bool bOutput;
    CString strAction;    // "type" (or empty) or "reject"
};

const int kMaxRules = 99;

std::vector<CRuleSetting> ReadRuleSettings(LPCSTR pszPath);

// The keys of a section [OUTPUT:<program file name>], as the settings window
// edits them.
const int kProgramKeyCount = 8;
extern const char* const kProgramKeys[kProgramKeyCount];   // Prefix .. Method

struct CProgramSetting {
    CString strProgram;                    // as the section's name has it
    bool abSet[kProgramKeyCount];          // the section has the key
    CString values[kProgramKeyCount];      // as they stand, escapes and all
};

// The sections [OUTPUT:<program file name>], in the file's order; of two
// with the same name (any case) the first, as the reader takes it.
std::vector<CProgramSetting> ReadProgramSettings(LPCSTR pszPath);

// An in-band key (modifiers << 8 | virtual key, see typedtext.h) by the
// name a settings text gives it: {F2}, {CTRL+A}, {CTRL+SHIFT+HOME}.
std::wstring KeyEscapeName(wchar_t chKey);

// ---- Writing -----------------------------------------------------------
// The settings window changes values in the files' text itself, so that
// comments, the order of keys, blank lines and keys it does not know stay
// as they were, byte for byte.

// One change: a key gets a value (in the code page, as stored), or loses
// its line. Without a key (pszKey NULL) the change is to the whole section:
// it goes (bRemove), or takes the name strValue.
struct CIniChange {
    std::string strSection;
    const char* pszKey;
    std::string strValue;
    bool bRemove;
};

// The text with the changes made. A key is found as GetPrivateProfileString
// finds it (names in any case, the first one wins) and keeps what stands up
// to its value; a missing key is added after the last key of its section
// (in a section without keys, after the lines right below its name), a
// missing section at the end. A value with blanks at an end, or in quotes
// of its own, is put in quotes, which the reader takes off again. New lines
// end as the text's first line does (CR LF in an empty text).
// Changes to whole sections are made first, all in one step, on the names
// the text has, so that two sections may swap names; every section of a
// name goes or is renamed. A section that goes takes its lines down to its
// last key and the blank lines after it: comments further down speak of
// what follows.
std::string ChangeIniText(const std::string& strText, const std::vector<CIniChange>& changes);

// configDecodeTime.ini with the number it starts with (as ReadDecodeTime
// reads it) replaced, or put on a line of its own before the text when it
// has none; whatever follows the number stays.
std::string ChangeDecodeTimeText(const std::string& strText, int nMs);

// A value typed in the settings window, as it is stored: the text itself in
// the code page, except characters the code page cannot store, and control
// characters, which become {U+XXXX}. Braces stay: the window shows values
// with their escapes.
std::string EncodeSettingValue(const std::wstring& strText, UINT nCodePage = CP_ACP);

// The whole file; a missing file is empty. False when it cannot be read.
bool ReadFileBytes(LPCSTR pszPath, std::string& strBytes);

struct CFileContent {
    CString strPath;
    std::string strBytes;
};

// Writes every file or none. Each is written in full beside its old one
// ("<name>.new") before any old one is replaced; an old file is replaced
// only when it may be written (not read-only), and the files replaced
// before a failure get their old contents back. 0 when done, otherwise
// the system's error code and *pnFailed the index of the file that failed.
DWORD WriteFilesTogether(const std::vector<CFileContent>& files, size_t* pnFailed);
