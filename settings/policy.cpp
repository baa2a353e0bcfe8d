#include "policy.h"

#include <string.h>

#include <string>

#include "escapes.h"

namespace {

// Every policy, and the section of typeSet.ini whose key of the same name (or
// the one named) it stands for; OUTPUT's and SOUND's keys also in the
// program sections [OUTPUT:<program>] and [SOUND:<program>].
struct CPolicyName {
    const char* pszName;
    const char* pszSection;
    const char* pszKey = NULL;   // NULL: the policy's name
};

const CPolicyName kPolicies[] = {
    { "QR", "TYPE" }, { "DM", "TYPE" }, { "Barcode", "TYPE" }, { "PDF417", "TYPE" }, { "Enter", "TYPE" },
    { "Prefix", "OUTPUT" }, { "Suffix", "OUTPUT" }, { "KeyDelay", "OUTPUT" }, { "RepeatWindow", "OUTPUT" },
    { "GS", "OUTPUT" }, { "RS", "OUTPUT" }, { "EOT", "OUTPUT" }, { "Method", "OUTPUT" },
    { "DigitalLink", "OUTPUT" },
    { "Notices", "OUTPUT" }, { "Language", "UI" }, { "Sounds", "SOUND", "Mode" },
    { "DuplicateScope", "OUTPUT" }, { "DuplicateAction", "OUTPUT" },
    { "Target", "OUTPUT" }, { "ReturnFocus", "OUTPUT" }, { "TargetWaitCodes", "OUTPUT" },
    { "TargetWaitSeconds", "OUTPUT" },
    { "HistoryOnDisk", "HISTORY" }, { "HistoryDays", "HISTORY" },
    { POLICY_DECODE_TIME, NULL }, { POLICY_START_AT_SIGN_IN, NULL }, { POLICY_SETTINGS_LOCKED, NULL },
    { POLICY_SHARED_FILE, NULL }, { POLICY_SHARED_PIN, NULL }, { POLICY_HELP_URL, NULL },
};

const CPolicyName* FindPolicy(LPCSTR pszName)
{
    for (const CPolicyName& policy : kPolicies) {
        if (lstrcmpiA(policy.pszName, pszName) == 0)
            return &policy;
    }
    return NULL;
}

std::string Narrow(const std::wstring& str)
{
    int n = WideCharToMultiByte(CP_ACP, 0, str.c_str(), -1, NULL, 0, NULL, NULL);
    std::string strBytes(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, str.c_str(), -1, &strBytes[0], n, NULL, NULL);
    return strBytes.c_str();
}

// A value as the program takes it: a number in decimal; a text for a key
// of the files as the files store it (what the code page lacks as
// {U+XXXX}), any other text, such as a path, in the code page.
bool ReadValue(HKEY hKey, const std::wstring& strName, CString& strValue, std::wstring& strWide)
{
    DWORD dwType = 0, cb = 0;
    if (RegQueryValueExW(hKey, strName.c_str(), NULL, &dwType, NULL, &cb) != ERROR_SUCCESS)
        return false;
    std::wstring data(cb / sizeof(WCHAR) + 1, L'\0');
    cb = (DWORD)(data.size() * sizeof(WCHAR));
    if (RegQueryValueExW(hKey, strName.c_str(), NULL, &dwType, reinterpret_cast<BYTE*>(&data[0]), &cb) !=
        ERROR_SUCCESS)
        return false;
    if (dwType == REG_DWORD && cb == sizeof(DWORD)) {
        strValue.Format("%lu", *reinterpret_cast<const DWORD*>(data.data()));
        return true;
    }
    if (dwType != REG_SZ && dwType != REG_EXPAND_SZ)
        return false;
    std::wstring strText = data.c_str();
    if (dwType == REG_EXPAND_SZ) {
        std::wstring strExpanded(32768, L'\0');
        DWORD n = ExpandEnvironmentStringsW(strText.c_str(), &strExpanded[0], (DWORD)strExpanded.size());
        if (n && n <= strExpanded.size())
            strText = strExpanded.c_str();
    }
    strWide = strText;
    const CPolicyName* pPolicy = FindPolicy(Narrow(strName).c_str());
    strValue = pPolicy && pPolicy->pszSection ? EncodeSettingValue(strText).c_str() : Narrow(strText).c_str();
    return true;
}

}  // namespace

void CPolicy::Load()
{
    m_values.clear();
    const struct { HKEY hRoot; bool bMachine; } roots[] = {
        { HKEY_LOCAL_MACHINE, true }, { HKEY_CURRENT_USER, false },
    };
    for (const auto& root : roots) {
        // Group Policy writes the system's own view of the registry, which a
        // 32-bit program reaches on 64-bit Windows only by asking for it.
        HKEY hKey = NULL;
        if (RegOpenKeyExW(root.hRoot, L"" POLICY_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS &&
            RegOpenKeyExW(root.hRoot, L"" POLICY_KEY, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
            continue;
        for (DWORD i = 0;; ++i) {
            WCHAR szName[256];
            DWORD cchName = ARRAYSIZE(szName);
            LONG nResult = RegEnumValueW(hKey, i, szName, &cchName, NULL, NULL, NULL, NULL);
            if (nResult == ERROR_NO_MORE_ITEMS)
                break;
            CString strValue;
            std::wstring strWide;
            std::string strName = Narrow(szName);
            if (nResult == ERROR_SUCCESS && !Has(strName.c_str()) && ReadValue(hKey, szName, strValue, strWide))
                m_values.push_back({ strName.c_str(), strValue, root.bMachine, strWide });
        }
        RegCloseKey(hKey);
    }
}

void CPolicy::Set(LPCSTR pszName, LPCSTR pszValue, bool bMachine)
{
    for (CValue& value : m_values) {
        if (lstrcmpiA(value.strName, pszName) == 0) {
            if (bMachine || !value.bMachine)
                value = { pszName, pszValue, bMachine, AfxWiden(pszValue) };
            return;
        }
    }
    m_values.push_back({ pszName, pszValue, bMachine, AfxWiden(pszValue) });
}

bool CPolicy::Value(LPCSTR pszName, CString& strValue) const
{
    for (const CValue& value : m_values) {
        if (lstrcmpiA(value.strName, pszName) == 0) {
            strValue = value.strValue;
            return true;
        }
    }
    return false;
}

bool CPolicy::WideValue(LPCSTR pszName, std::wstring& strValue) const
{
    for (const CValue& value : m_values) {
        if (lstrcmpiA(value.strName, pszName) == 0) {
            strValue = value.strWide;
            return true;
        }
    }
    return false;
}

bool CPolicy::Has(LPCSTR pszName) const
{
    CString strValue;
    return Value(pszName, strValue);
}

int CPolicy::Flag(LPCSTR pszName, int nDefault) const
{
    CString strValue;
    if (!Value(pszName, strValue))
        return nDefault;
    return strValue == "1" ? 1 : 0;
}

bool CPolicy::ValueFor(LPCSTR pszSection, LPCSTR pszKey, CString& strValue) const
{
    for (const CPolicyName& policy : kPolicies) {
        if (!policy.pszSection || lstrcmpiA(policy.pszKey ? policy.pszKey : policy.pszName, pszKey) != 0)
            continue;
        // OUTPUT's and SOUND's keys also in their program sections.
        size_t n = strlen(policy.pszSection);
        bool bProgram = (strcmp(policy.pszSection, "OUTPUT") == 0 || strcmp(policy.pszSection, "SOUND") == 0) &&
                        pszSection[n] == ':';
        if (_strnicmp(pszSection, policy.pszSection, n) == 0 && (!pszSection[n] || bProgram))
            return Value(policy.pszName, strValue);
    }
    return false;
}

CString CPolicy::Describe() const
{
    CString strText;
    for (const CValue& value : m_values) {
        CString strOne;
        strOne.Format("%s%s=%s (%s%s)", strText.IsEmpty() ? "" : "; ", (LPCSTR)value.strName,
                      (LPCSTR)value.strValue, value.bMachine ? "HKLM" : "HKCU",
                      FindPolicy(value.strName) ? "" : ", no policy of Norza: left alone");
        strText += strOne;
    }
    return strText;
}

bool CPolicy::operator==(const CPolicy& other) const
{
    if (m_values.size() != other.m_values.size())
        return false;
    for (size_t i = 0; i < m_values.size(); ++i) {
        const CValue& a = m_values[i];
        const CValue& b = other.m_values[i];
        if (a.strName != b.strName || a.strValue != b.strValue || a.bMachine != b.bMachine ||
            a.strWide != b.strWide)
            return false;
    }
    return true;
}
