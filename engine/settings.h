// The two settings files read once at start-up.
#pragma once

#include <afxwin.h>

#include "output.h"

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

// Section OUTPUT: what is typed around and in place of a decode. Every key
// is optional; a missing or invalid value leaves the key at its default,
// which types exactly what a file without the section types.
struct COutputOptions {
    COutputOptions();

    CString strPrefix;      // expanded (see ExpandEscapes)
    CString strSuffix;
    bool bSuffix;           // Suffix is set: it replaces the Enter key's suffix
    int nKeyDelay;          // ms between typed characters, 0..200
    int nRepeatWindow;      // ms; 0: every decode is typed
    CControlOutput controls[kControlCount];   // GS, RS, EOT
};

const int kMaxKeyDelay = 200;
const int kMaxRepeatWindow = 60000;

// Turns the escapes of a settings value into what they type: {TAB} a tab
// (the Tab key), {ENTER} a CR (the plain Enter key), {GS} {RS} {EOT} the
// control characters 0x1D 0x1E 0x04, {{ and }} a brace; case does not
// matter. False, leaving strOut alone, on an unknown escape or a lone brace.
bool ExpandEscapes(LPCSTR pszValue, CString& strOut);

// Reads section OUTPUT of the file (Notices is read with the tray notices).
COutputOptions ReadOutputOptions(LPCSTR pszPath);
