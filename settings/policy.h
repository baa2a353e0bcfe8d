// What the organisation sets: the values under Software\Policies\Norza, put
// there by Group Policy or Intune for the machine (HKLM) or the user (HKCU).
// A value of the machine wins over the user's of the same name. Texts are
// REG_SZ, numbers REG_DWORD, named as the keys of the settings files.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

#define POLICY_KEY "Software\\Policies\\Norza"

// Policies that stand for no key of typeSet.ini.
#define POLICY_DECODE_TIME "DecodeTime"            // the hold-off, ms
#define POLICY_START_AT_SIGN_IN "StartAtSignIn"    // 1: the Startup shortcut is made, 0: removed
#define POLICY_SETTINGS_LOCKED "SettingsLocked"    // 1: the settings window changes nothing
#define POLICY_SHARED_FILE "SharedSettingsFile"    // typeSet.ini of the organisation
#define POLICY_SHARED_PIN "SharedSettingsSha256"   // the shared file's SHA-256: any other content is refused
#define POLICY_HELP_URL "HelpUrl"                  // the page Help opens in place of the user guide

class CPolicy {
public:
    struct CValue {
        CString strName;
        CString strValue;   // a number in decimal
        bool bMachine;      // HKLM
        std::wstring strWide;   // a text as the registry holds it, such as a path
    };

    // Reads both keys anew.
    void Load();
    // A value as if read from the machine's or the user's key.
    void Set(LPCSTR pszName, LPCSTR pszValue, bool bMachine);

    // The value of that name (any case); false when it is not set.
    bool Value(LPCSTR pszName, CString& strValue) const;
    // A text value whole, whatever the code page lacks; a value set by Set
    // in the code page.
    bool WideValue(LPCSTR pszName, std::wstring& strValue) const;
    bool Has(LPCSTR pszName) const;
    // 1 for a value set to 1, 0 for another value, nDefault when not set.
    int Flag(LPCSTR pszName, int nDefault) const;

    // The policy's value for a key of a settings file section (OUTPUT's
    // keys also in the program sections); false when none stands for it.
    bool ValueFor(LPCSTR pszSection, LPCSTR pszKey, CString& strValue) const;

    bool Empty() const { return m_values.empty(); }
    // For the log: each value as name=value and where it came from; a name
    // that is no policy of Norza is said to be left alone.
    CString Describe() const;

    bool operator==(const CPolicy& other) const;
    bool operator!=(const CPolicy& other) const { return !(*this == other); }

private:
    std::vector<CValue> m_values;
};
