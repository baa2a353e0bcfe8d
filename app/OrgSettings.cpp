// What the organisation sets, put in force while the program runs: the
// policy, read at start and again on each tick of the device watch, and the
// shared settings file it names, whose copy is kept beside typeSet.ini.
#include "ScanWedgeDlg.h"

#include <new>

#include "autostart.h"
#include "logfile.h"
#include "savefiles.h"
#include "shared.h"
#include "utf8.h"

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
        SettingsApplied();
    }
    CheckSharedSettings();
}

// The pin as the watch compares it: empty when the policy pins nothing.
static std::string SharedPin(const CPolicy& policy)
{
    CString strPin;
    return policy.Value(POLICY_SHARED_PIN, strPin) ? NormalSha256(strPin) : std::string();
}

void CScanWedgeDlg::CheckSharedSettings()
{
    std::wstring strPath;
    m_policy.WideValue(POLICY_SHARED_FILE, strPath);
    m_watchShared.Check(strPath, SharedPin(m_policy), m_hWnd);
}

LRESULT CScanWedgeDlg::OnSharedSettings(WPARAM, LPARAM)
{
    // Whatever fails here, the watch goes on: the copy in force stays.
    try {
        std::wstring strNamed;
        m_policy.WideValue(POLICY_SHARED_FILE, strNamed);
        std::string strPin = SharedPin(m_policy);
        bool bRead = false;
        CSharedRead result;
        while (m_watchShared.Take(result)) {
            // A file or a pin the policy no longer names is of no concern.
            if (strNamed != result.strPath || strPin != result.strPin)
                continue;
            CString strPath = WideToAnsi(result.strPath);
            LPCSTR pszPath = strPath;
            LPCSTR pszInForce = SharedCopyInForce(m_policy, SharedCopyPath()) ? "the copy read last stays in force"
                                                                               : "the user's own settings apply";
            switch (result.kind) {
            case CSharedRead::UNREACHABLE:
                LogWrite("Shared", "%s cannot be read (%s): the copy read last stays in force", pszPath,
                         (LPCSTR)SystemText(result.dwError));
                ShowNotice(NOTICE_SETTINGS, NOTICE_SHARED_UNREACHABLE);
                continue;
            case CSharedRead::TOO_LARGE:
                LogWrite("Shared", "%s holds %lu KB, more than the %lu KB a settings file may: refused unread, %s",
                         pszPath, (unsigned long)(result.nSize / 1024), (unsigned long)(kMaxSharedBytes / 1024),
                         pszInForce);
                ShowNotice(NOTICE_SETTINGS, NOTICE_SHARED_TOO_LARGE);
                continue;
            case CSharedRead::REFUSED:
                LogWrite("Shared", "%s refused: its SHA-256 is %s, not the %s that policy %s pins; %s", pszPath,
                         result.strSha256.empty() ? "not to be had" : result.strSha256.c_str(), strPin.c_str(),
                         POLICY_SHARED_PIN, pszInForce);
                ShowNotice(NOTICE_SETTINGS, NOTICE_SHARED_REFUSED);
                continue;
            case CSharedRead::REACHABLE_AGAIN:
                ShowNotice(NOTICE_SETTINGS, NOTICE_NONE);
                LogWrite("Shared", "%s can be read again", pszPath);
                continue;
            case CSharedRead::READ:
                break;
            }
            ShowNotice(NOTICE_SETTINGS, NOTICE_NONE);
            size_t nFailed = 0;
            DWORD dwError = WriteFilesTogether(
                { { SharedCopyPath(), SharedCopyText(result.strPath.c_str(), result.strBytes, result.strSha256) } },
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
            SettingsApplied();
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
