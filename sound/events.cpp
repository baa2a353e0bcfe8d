// The program's events in the current user's sound schemes. Applying a
// scheme copies each event's key of that scheme over .Current: an event
// without one would lose its sound at the user's next change of scheme.
#include "sound.h"

namespace {

const WCHAR kNoSounds[] = L".None";   // the "No sounds" scheme

bool SetText(HKEY hRoot, const std::wstring& strKey, const std::wstring& strValue)
{
    HKEY hKey = NULL;
    if (RegCreateKeyExW(hRoot, strKey.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &hKey, NULL) != ERROR_SUCCESS)
        return false;
    LONG nResult = RegSetValueExW(hKey, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()),
                                  (DWORD)((strValue.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS;
}

// The key's default value; false when the key or the value is missing.
bool GetText(const std::wstring& strKey, std::wstring& strValue)
{
    WCHAR szValue[MAX_PATH + 1] = {};
    DWORD cb = sizeof(szValue) - sizeof(WCHAR);
    HKEY hKey = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, strKey.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    LONG nResult = RegQueryValueExW(hKey, NULL, NULL, NULL, reinterpret_cast<BYTE*>(szValue), &cb);
    RegCloseKey(hKey);
    strValue = szValue;
    return nResult == ERROR_SUCCESS;
}

// A value to leave alone: the user's choice, or silence. One naming our
// own sound where there is none (the program moved) is put right.
bool KeepValue(const std::wstring& strKey, LPCWSTR pszFileName)
{
    std::wstring strValue;
    if (!GetText(strKey, strValue))
        return false;
    size_t nName = lstrlenW(pszFileName);
    bool bOurs = strValue.size() > nName && strValue[strValue.size() - nName - 1] == L'\\' &&
                 lstrcmpiW(strValue.c_str() + strValue.size() - nName, pszFileName) == 0;
    return !bOurs || GetFileAttributesW(strValue.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The schemes installed for the user, each the name of its keys.
std::vector<std::wstring> SchemeNames()
{
    std::vector<std::wstring> names;
    HKEY hKey = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"AppEvents\\Schemes\\Names", 0, KEY_ENUMERATE_SUB_KEYS, &hKey) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        WCHAR szName[256];
        DWORD cch = ARRAYSIZE(szName);
        if (RegEnumKeyExW(hKey, i, szName, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        names.push_back(szName);
    }
    RegCloseKey(hKey);
    return names;
}

}  // namespace

bool RegisterSoundEvents(const std::wstring& strFolder, const CSoundLabels& labels)
{
    bool bDone = SetText(HKEY_CURRENT_USER, SOUND_APP_KEY, labels.strApp);
    std::wstring strScheme;
    GetText(L"AppEvents\\Schemes", strScheme);
    std::vector<std::wstring> schemes = SchemeNames();
    for (int i = 0; i < SOUND_EVENTS; ++i) {
        SoundEvent event = (SoundEvent)i;
        std::wstring strEvent = std::wstring(SOUND_APP_KEY L"\\") + SoundAlias(event);
        // Only what went wrong asks for a sound on a new install.
        std::wstring strSound = event == SOUND_TYPED ? L"" : strFolder + L"\\" + SoundFileName(event);
        bDone &= SetText(HKEY_CURRENT_USER, std::wstring(SOUND_LABELS_KEY L"\\") + SoundAlias(event),
                         labels.events[i]);
        bDone &= SetText(HKEY_CURRENT_USER, strEvent + L"\\.Default", strSound);
        for (const std::wstring& strName : schemes) {
            if (strName != L".Default" && !KeepValue(strEvent + L"\\" + strName, SoundFileName(event)))
                bDone &= SetText(HKEY_CURRENT_USER, strEvent + L"\\" + strName,
                                 lstrcmpiW(strName.c_str(), kNoSounds) == 0 ? L"" : strSound);
        }
        // A user who chose "No sounds" keeps silence.
        if (!KeepValue(strEvent + L"\\.Current", SoundFileName(event)))
            bDone &= SetText(HKEY_CURRENT_USER, strEvent + L"\\.Current",
                             lstrcmpiW(strScheme.c_str(), kNoSounds) == 0 ? L"" : strSound);
    }
    return bDone;
}
