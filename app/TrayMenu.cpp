// The tray icon's menu and its commands.
#include "ScanWedgeDlg.h"

#include "ScanWedgeApp.h"
#include "resource.h"
#include "uitext.h"
#include "vistrel.h"

static bool IsTypingNotice(NoticeCause cause)
{
    return (cause >= NOTICE_TYPED_SELF && cause <= NOTICE_REJECTED) || cause == NOTICE_TYPED_CANCELLED ||
           cause == NOTICE_DUPLICATE || NoticeTakesTexts(cause);
}

// Older headers lack the names; older shells refuse version 4 and take 3.
#ifndef NOTIFYICON_VERSION_4
#define NOTIFYICON_VERSION_4 4
#endif
#ifndef NIM_SETFOCUS
#define NIM_SETFOCUS 0x00000003
#endif
#ifndef NIM_SETVERSION
#define NIM_SETVERSION 0x00000004
#endif
#ifndef NIN_SELECT
#define NIN_SELECT (WM_USER + 0)
#define NIN_KEYSELECT (WM_USER + 1)
#endif

// With a version the shell tells of Enter, Space, Shift+F10 and the menu key
// on the icon, not only of the mouse.
void CScanWedgeDlg::SetTrayVersion()
{
    static const UINT s_anVersions[] = { NOTIFYICON_VERSION_4, 3 };
    m_nTrayVersion = 0;
    for (UINT nVersion : s_anVersions) {
        m_nid.uVersion = nVersion;
        if (Shell_NotifyIconA(NIM_SETVERSION, &m_nid)) {
            m_nTrayVersion = nVersion;
            break;
        }
    }
    m_nid.uVersion = 0;
}

LRESULT CScanWedgeDlg::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HISTORY_BYTES)
        return (LRESULT)m_history.Bytes();
    if (message == WM_TRAY_ICON_ID)
        return m_nCueIconId ? m_nCueIconId : m_nShownIconId;
    if (message == WM_DEVICE_POLL) {
        m_bPollsAsked = m_bPollsAsked || wParam == 1;
        WatchDevice();
        CheckOrganisationSettings();
        return 0;
    }
    if (message == WM_TRAY_NOTIFY) {
        // The pointer passes over the icon before the click, while the
        // user's window is still in front.
        RememberUserWindow();
        // Version 4 gives the event in the low word and the icon's anchor in
        // wParam; the others the event alone.
        UINT nEvent = m_nTrayVersion >= NOTIFYICON_VERSION_4 ? LOWORD(lParam) : (UINT)lParam;
        POINT anchor = { -1, -1 };
        if (m_nTrayVersion >= NOTIFYICON_VERSION_4)
            anchor = { (short)LOWORD(wParam), (short)HIWORD(wParam) };
        else
            GetCursorPos(&anchor);
        bool bOpen = m_nTrayVersion ? nEvent == WM_CONTEXTMENU || nEvent == NIN_SELECT || nEvent == NIN_KEYSELECT
                                    : nEvent == WM_RBUTTONDOWN;
        // A click sends its button's release first; Shift+F10 and the menu
        // key send the menu alone.
        bool bKeyboard = nEvent == NIN_KEYSELECT || (nEvent == WM_CONTEXTMENU && m_nLastTrayEvent != WM_RBUTTONUP);
        if (nEvent != WM_MOUSEMOVE)
            m_nLastTrayEvent = nEvent;
        if (bOpen)
            ShowTrayMenu(anchor, bKeyboard);
        else if (nEvent == NIN_BALLOONUSERCLICK && IsTypingNotice(m_nBalloonCause))
            OnTrayHistory();   // the code that was not typed is there to type again
    }
    return CDialog::DefWindowProc(message, wParam, lParam);
}

void CScanWedgeDlg::ShowTrayMenu(POINT pt, bool bKeyboard)
{
    // The shell may tell of Enter twice, the second time while the menu of
    // the first is open.
    if (!m_pTrayPopup || m_bMenuOpen)
        return;
    const bool flags[] = { m_flow.IsOn(SYM_QR), m_flow.IsOn(SYM_DM), m_flow.IsOn(SYM_BARCODE) };
    // A symbology the organisation sets is not the user's to switch.
    static const char* const s_pszKeys[] = { "QR", "DM", "Barcode" };
    CSettingsSource settings = ProgramSettings();
    for (UINT i = 0; i < 3; ++i) {
        m_pTrayPopup->CheckMenuItem(i, MF_BYPOSITION | (flags[i] ? MF_CHECKED : MF_UNCHECKED));
        bool bOrganisation = settings.Origin("TYPE", s_pszKeys[i]) >= ORIGIN_SHARED;
        ::EnableMenuItem(m_pTrayPopup->GetSafeHmenu(), i, MF_BYPOSITION | (bOrganisation ? MF_GRAYED : MF_ENABLED));
    }
    if (pt.x == -1 && pt.y == -1) {
        RECT rect;
        GetClientRect(&rect);
        ClientToScreen(&rect);
        pt.x = rect.left + 5;
        pt.y = rect.top + 5;
    }
    // The menu closes properly only when its owner is the foreground window.
    // The window shows, 1 x 1 pixel, for as long as the menu is open: Wine
    // gives the keyboard only to a shown window, and only when the focus
    // moves to it after it is shown.
    // The program codes go to, while one is set: a line of its own on top.
    CTargetChoice chosen;
    bool bTarget = ParseTargetChoice(m_outputs.base.strTarget, &chosen);
    HMENU hPopup = m_pTrayPopup->GetSafeHmenu();
    if (bTarget) {
        InsertMenuW(hPopup, 0, MF_BYPOSITION | MF_STRING | MF_GRAYED, ID_TRAY_TARGET,
                    UiFormat(IDS_TRAY_SENDING_TO, chosen.strProgram).c_str());
        InsertMenuW(hPopup, 1, MF_BYPOSITION | MF_SEPARATOR, 0, NULL);
    }
    m_bMenuOpen = TRUE;
    ::SetForegroundWindow(m_nid.hWnd);
    ShowWindow(SW_SHOW);
    ::SetFocus(NULL);
    ::SetFocus(m_nid.hWnd);
    CWinThread* pThread = AfxGetThread();
    CWnd* pOwner = pThread ? pThread->GetMainWnd() : NULL;
    UINT nChosen = (UINT)m_pTrayPopup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                      pt.x, pt.y, pOwner);
    ShowWindow(SW_HIDE);
    m_bMenuOpen = FALSE;
    if (bTarget) {
        RemoveMenu(hPopup, 1, MF_BYPOSITION);
        RemoveMenu(hPopup, ID_TRAY_TARGET, MF_BYCOMMAND);
    }
    // Without a message after the menu's loop, the next right click opens a
    // menu that closes again at once.
    PostMessage(WM_NULL);
    if (nChosen && pOwner)
        pOwner->PostMessage(WM_COMMAND, nChosen);
    if (!nChosen && bKeyboard && m_nTrayVersion)
        Shell_NotifyIconA(NIM_SETFOCUS, &m_nid);
    else
        GiveBackForeground();
}

// The window the user works in: not ours, nor the shell's taskbar or
// notification area, which take the foreground while the user clicks the icon.
static bool IsUserWindow(HWND hWnd)
{
    static const char* const s_pszShellClasses[] = {
        "Shell_TrayWnd", "Shell_SecondaryTrayWnd", "NotifyIconOverflowWindow",
        "__winex11_standalone_tray",   // Wine's notification area without a taskbar
    };
    if (!hWnd || !IsWindow(hWnd))
        return false;
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (dwProcessId == GetCurrentProcessId())
        return false;
    char szClass[64] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    for (const char* pszShellClass : s_pszShellClasses) {
        if (lstrcmpiA(szClass, pszShellClass) == 0)
            return false;
    }
    return true;
}

void CScanWedgeDlg::RememberUserWindow()
{
    HWND hWnd = ::GetForegroundWindow();
    if (IsUserWindow(hWnd))
        m_hWndUser = hWnd;
}

// The next scan is then typed where the user was working instead of being
// swallowed by the tray window.
void CScanWedgeDlg::GiveBackForeground()
{
    if (IsUserWindow(m_hWndUser))
        ::SetForegroundWindow(m_hWndUser);
}

bool CScanWedgeDlg::UserWindowReady()
{
    if (!IsUserWindow(m_hWndUser))
        return true;
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return ::GetForegroundWindow() == m_hWndUser &&
           GetGUIThreadInfo(GetWindowThreadProcessId(m_hWndUser, NULL), &info) &&
           info.hwndActive == m_hWndUser && info.hwndFocus;
}

void CScanWedgeDlg::OnTrayHistory()
{
    RememberUserWindow();
    m_dlgHistory.Open();
}

// While a decode is typed or held off the engine stays silenced, and the
// symbologies in force at its end are switched on then.
void CScanWedgeDlg::ToggleSymbology(Symbology symbology)
{
    m_flow.SetSymbology(symbology, !m_flow.IsOn(symbology));
}

void CScanWedgeDlg::OnToggleQR()
{
    ToggleSymbology(SYM_QR);
}

void CScanWedgeDlg::OnToggleDM()
{
    ToggleSymbology(SYM_DM);
}

void CScanWedgeDlg::OnToggleBarcode()
{
    ToggleSymbology(SYM_BARCODE);
}

void CScanWedgeDlg::OnTogglePDF417()
{
    ToggleSymbology(SYM_PDF417);
}

void CScanWedgeDlg::OnTraySettings()
{
    m_dlgSettings.Open(this);
}

void CScanWedgeDlg::OnTrayExit()
{
    Shell_NotifyIconA(NIM_DELETE, &m_nid);
    PostMessage(WM_CLOSE);
}

void CScanWedgeDlg::OnTrayRestart()
{
    StopDecoding();
    m_dlgSettings.DestroyWindow();
    InterlockedExchange(&g_nInstanceFlag, 0);   // lets the new process pass the guard
    Shell_NotifyIconA(NIM_DELETE, &m_nid);
    ReleaseDevice();
    CDialog::OnCancel();

    // The path is named as the program to run and quoted on the command
    // line: unquoted, a path with spaces would start "C:\Program.exe" first.
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(NULL, szPath, MAX_PATH);
    char szCmdLine[MAX_PATH + 3];
    wsprintfA(szCmdLine, "\"%s\"", szPath);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION pi;
    if (CreateProcessA(szPath, szCmdLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}
