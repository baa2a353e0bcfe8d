// What the organisation sets, put in force while the program runs: the
// policy, read at start and again on each tick of the device watch, and the
// shared settings file it names, whose copy is kept beside typeSet.ini.
#include "ScanWedgeDlg.h"

#include "autostart.h"
#include "logfile.h"
#include "savefiles.h"
#include "shared.h"

namespace {

CString SystemText(DWORD dwError)
{
    char sz[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError, 0, sz,
                   sizeof(sz), NULL);
    CString str;
    str.Format("error %lu %s", dwError, sz);
    while (!str.IsEmpty() && (str[str.GetLength() - 1] == '\n' || str[str.GetLength() - 1] == '\r'))
        str = CString(str, str.GetLength() - 1);
    return str;
}

}  // namespace

void CScanWedgeDlg::StartOrganisationSettings()
{
    m_policy.Load();
    if (!m_policy.Empty())
        LogWrite("Policy", "%s", (LPCSTR)m_policy.Describe());
    // Start at sign-in by policy: the shortcut is made or removed at each start.
    int nAutostart = m_policy.Flag(POLICY_START_AT_SIGN_IN, -1);
    if (nAutostart != -1 && IsAutostartOn() != (nAutostart == 1)) {
        std::wstring strLink;
        HRESULT hr = SetAutostartShortcut(nAutostart == 1, &strLink);
        if (FAILED(hr))
            LogWrite("Policy", "StartAtSignIn: the shortcut could not be changed, %s", (LPCSTR)SystemText(hr));
    }
    CheckSharedSettings();
}

void CScanWedgeDlg::CheckOrganisationSettings()
{
    CPolicy policy;
    policy.Load();
    if (policy != m_policy) {
        m_policy = policy;
        LogWrite("Policy", "%s", m_policy.Empty() ? "none" : (LPCSTR)m_policy.Describe());
        OnSettingsApplied(0, 0);
    }
    CheckSharedSettings();
}

void CScanWedgeDlg::CheckSharedSettings()
{
    CString strPath;
    m_policy.Value(POLICY_SHARED_FILE, strPath);
    m_watchShared.Check((LPCSTR)strPath, m_hWnd);
}

LRESULT CScanWedgeDlg::OnSharedSettings(WPARAM, LPARAM)
{
    CString strNamed;
    m_policy.Value(POLICY_SHARED_FILE, strNamed);
    bool bRead = false;
    CSharedRead result;
    while (m_watchShared.Take(result)) {
        // A file the policy no longer names is of no concern.
        if (strNamed != result.strPath.c_str())
            continue;
        LPCSTR pszPath = result.strPath.c_str();
        if (result.kind == CSharedRead::UNREACHABLE) {
            LogWrite("Shared", "%s cannot be read (%s): the copy read last stays in force", pszPath,
                     (LPCSTR)SystemText(result.dwError));
            ShowNotice(NOTICE_SETTINGS, NOTICE_SHARED_UNREACHABLE);
            continue;
        }
        ShowNotice(NOTICE_SETTINGS, NOTICE_NONE);
        if (result.kind == CSharedRead::REACHABLE_AGAIN) {
            LogWrite("Shared", "%s can be read again", pszPath);
            continue;
        }
        size_t nFailed = 0;
        DWORD dwError = WriteFilesTogether({ { SharedCopyPath(), SharedCopyText(pszPath, result.strBytes) } },
                                           &nFailed);
        if (dwError) {
            LogWrite("Shared", "%s was read, but its copy %s could not be written (%s)", pszPath,
                     (LPCSTR)SharedCopyPath(), (LPCSTR)SystemText(dwError));
        } else {
            LogWrite("Shared", "%s read", pszPath);
            bRead = true;
        }
    }
    if (bRead)
        OnSettingsApplied(0, 0);
    return 0;
}
