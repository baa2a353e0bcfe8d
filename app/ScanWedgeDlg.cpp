#include "ScanWedgeDlg.h"

#include "AboutDlg.h"
#include "logfile.h"
#include "resource.h"
#include "status.h"
#include "uitext.h"
#include "utf8.h"
#include "vistrel.h"

// Broadcast when the notification area is (re)created, as after the shell
// restarts; the icon must then be added again or the program loses its face.
static UINT s_uTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");

// The tray record in its Windows 2000 layout, understood by every shell since.
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "tray record size");

BEGIN_MESSAGE_MAP(CScanWedgeDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_MESSAGE(WM_SCAN_DECODED, OnScanDecoded)
    ON_MESSAGE(WM_TYPING_DONE, OnTypingDone)
    ON_MESSAGE(WM_HISTORY_FILE, OnHistoryFile)
    ON_MESSAGE(WM_SCAN_QUIT, OnScanQuit)
    ON_COMMAND(ID_TRAY_QR, OnToggleQR)
    ON_COMMAND(ID_TRAY_EXIT, OnTrayExit)
    ON_COMMAND(ID_TRAY_RESTART, OnTrayRestart)
    ON_COMMAND(ID_TRAY_HISTORY, OnTrayHistory)
    ON_COMMAND(ID_TRAY_HELP, OnTrayHelp)
    ON_MESSAGE(WM_HELP, OnHelp)
    ON_COMMAND(ID_TRAY_PDF417, OnTogglePDF417)
    ON_COMMAND(ID_TRAY_DM, OnToggleDM)
    ON_COMMAND(ID_TRAY_BARCODE, OnToggleBarcode)
    ON_COMMAND(ID_TRAY_SETTINGS, OnTraySettings)
    ON_MESSAGE(WM_SHARED_SETTINGS, OnSharedSettings)
    ON_WM_TIMER()
    ON_WM_CLOSE()
    ON_REGISTERED_MESSAGE(s_uTaskbarCreated, OnTaskbarCreated)
    ON_MESSAGE(WM_WINDOWPOSCHANGING, OnWindowPosChanging)
END_MESSAGE_MAP()

CScanWedgeDlg::CScanWedgeDlg(CWnd* pParent)
    : CDialog(IDD_MAIN, pParent),
      m_hIcon(LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_APP))),
      m_bAppendEnter(0),
      m_nDecodeTime(50), m_nid(), m_pTrayPopup(NULL), m_nTrayIconId(IDI_APP), m_nShownIconId(IDI_APP),
      m_nCueIconId(0), m_bPollsAsked(false),
      m_nDeviceState(0), m_bStarted(FALSE), m_bIconAdded(FALSE), m_bNotices(TRUE), m_bMenuOpen(FALSE), m_nTrayVersion(0), m_nLastTrayEvent(0),
      m_hWndUser(NULL), m_anNoticeArgs(), m_flow(m_engine, *this), m_bRetype(false), m_record(),
      m_nPendingNotice(NOTICE_NONE),
      m_nBalloonCause(NOTICE_NONE), m_dlgHistory(this), m_dlgSettings(this),
      m_sender(m_windows, GetCurrentProcessId()), m_hFrontHook(NULL), m_hShowHook(NULL),
      m_dwForwardSince(0), m_nSendCause(NOTICE_NONE), m_bReleasing(false), m_bReleased(false), m_released()
{
}

void CScanWedgeDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CScanWedgeDlg::PreTranslateMessage(MSG* pMsg)
{
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CScanWedgeDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    StartOrganisationSettings();

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        WCHAR szAboutMenu[64];
        if (UiLoadString(IDS_ABOUTBOX, szAboutMenu, ARRAYSIZE(szAboutMenu)) > 0) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            AppendMenuW(pSysMenu->GetSafeHmenu(), MF_STRING, IDM_ABOUTBOX, szAboutMenu);
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
    SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_hIcon);

    // The user meets the program through its tray icon only: the window
    // stays hidden (see OnWindowPosChanging) and, as a tool window, has no
    // taskbar button and no Alt+Tab entry.
    MoveWindow(0, 0, 1, 1, TRUE);
    CSettingsSource settings = ProgramSettings();
    m_bNotices = ReadNoticesSetting(settings);
    StartHistory(settings);

    m_nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    m_nid.hWnd = m_hWnd;
    m_nid.uID = IDI_APP;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAY_NOTIFY;
    lstrcpynA(m_nid.szTip, "Norza", sizeof(m_nid.szTip));
    {
        CEngineCall call(m_flow);
        if (GetDevice() == -1)
            m_nShownIconId = IDI_NO_DEVICE;
    }
    m_nid.hIcon = LoadTrayIcon(AfxGetInstanceHandle(), m_nShownIconId);
    AddTrayIcon();
    RegisterSounds();
    m_soundModes = ReadSoundModes(ProgramSettings());

    m_menuTray.Attach(UiLoadMenu(IDR_TRAY_MENU));
    m_pTrayPopup = m_menuTray.GetSubMenu(0);

    GetAppHandle(m_hWnd);
    {
        CEngineCall call(m_flow);
        m_nDeviceState = StartDevice();
    }
    if (m_nDeviceState != 1) {
        // The scanner may still be arriving, as at sign-in: the device watch
        // retries and completes the start when the engine comes up.
        m_nDeviceState = 0;
        SetTimer(TIMER_DEVICE, 3000, NULL);
        ShowNotice(NOTICE_DEVICE, NOTICE_START_FAILED);
        return FALSE;
    }
    CompleteStart();
    return TRUE;
}

void CScanWedgeDlg::CompleteStart()
{
    LoadDecodeTime("configDecodeTime.ini");
    ApplyTypeSettings();
    {
        CEngineCall call(m_flow);
        SetBeepTime(200);
        SetDecodeTime(m_nDecodeTime);
    }
    SetTimer(TIMER_STATUS, 1000, NULL);
    SetTimer(TIMER_DEVICE, 3000, NULL);
    {
        CEngineCall call(m_flow);
        SetBeep(1);
    }
    m_bStarted = TRUE;
}

// Fails while the notification area is not up yet, as early at sign-in; the
// timers try again. An icon the shell still holds counts as added.
BOOL CScanWedgeDlg::AddTrayIcon()
{
    m_bIconAdded = Shell_NotifyIconA(NIM_ADD, &m_nid) || Shell_NotifyIconA(NIM_MODIFY, &m_nid);
    if (m_bIconAdded)
        SetTrayVersion();
    if (m_bIconAdded && m_nPendingNotice != NOTICE_NONE) {
        ShowBalloon(m_nPendingNotice);
        m_nPendingNotice = NOTICE_NONE;
    }
    return m_bIconAdded;
}

namespace {

// The key of each symbology in section TYPE, in the order they go to the engine.
const char* const kSymbologyKeys[SYM_COUNT] = { "QR", "DM", "Barcode", "PDF417" };

}  // namespace

// Each symbology goes to the engine right after it is read, in a fixed order.
void CScanWedgeDlg::ApplyTypeSettings()
{
    CSettingsSource settings = ProgramSettings();
    for (int i = 0; i < SYM_COUNT; ++i)
        m_flow.SetSymbology((Symbology)i, ReadTypeFlag(kSymbologyKeys[i], settings) == 1);
    if (ReadTypeFlag("Enter", settings))
        m_bAppendEnter = 1;
    LoadOutputSettings(settings);
}

// What a code becomes: the output options and the rules. A rule with an
// error is left out, and the log says why.
void CScanWedgeDlg::LoadOutputSettings(const CSettingsSource& settings)
{
    m_outputs = ReadOutputProfiles(settings);
    m_soundModes = ReadSoundModes(settings);
    std::vector<CRuleSetting> rules = ReadRuleSettings(settings);
    m_rules.Load(rules);
    for (const std::wstring& strError : m_rules.Errors())
        LogWrite("Rule", "%s", (LPCSTR)WideToAnsi(strError));
    m_ruleTargets.clear();
    for (const CRuleSetting& rule : rules) {
        std::wstring strTarget;
        if (!rule.strTarget.IsEmpty() && ExpandEscapes(rule.strTarget, strTarget))
            m_ruleTargets.push_back(std::make_pair(rule.nNumber, strTarget));
    }
    CTargetWaitBounds bounds = ReadTargetWaitBounds(settings);
    m_waiting.SetBounds(bounds.nCodes, bounds.nSeconds);
    ShowTargetInTip();
}

// Saved settings are in force from the next code on, without a restart. A
// symbology goes to the engine only when it changed, and, as the tray
// menu's toggles, not while a decode holds the engine silenced: the flags
// in force at its end are applied then.
void CScanWedgeDlg::SettingsApplied()
{
    CSettingsSource settings = ProgramSettings();
    for (int i = 0; i < SYM_COUNT; ++i) {
        bool bOn = ReadTypeFlag(kSymbologyKeys[i], settings) == 1;
        if (bOn != m_flow.IsOn((Symbology)i))
            m_flow.SetSymbology((Symbology)i, bOn);
    }
    m_bAppendEnter = ReadTypeFlag("Enter", settings);
    LoadOutputSettings(settings);
    m_bNotices = ReadNoticesSetting(settings);
    StartHistory(settings);
    // Until the engine has started, its start reads the file.
    int nDecodeTime = m_nDecodeTime;
    LoadDecodeTime("configDecodeTime.ini");
    if (m_bStarted && m_nDecodeTime != nDecodeTime) {
        CEngineCall call(m_flow);
        SetDecodeTime(m_nDecodeTime);
    }
}

void CScanWedgeDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CScanWedgeDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rect.bottom - rect.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CScanWedgeDlg::OnQueryDragIcon()
{
    return (HCURSOR)m_hIcon;
}

LRESULT CScanWedgeDlg::OnScanQuit(WPARAM, LPARAM)
{
    PostMessage(WM_CLOSE);
    return 0;
}

void CScanWedgeDlg::OnClose()
{
    // Asked to close while the tray menu is open (the engine's quit, setup):
    // the menu's loop would hold the program open until the user closed it.
    if (m_bMenuOpen)
        ::EndMenu();
    StopDecoding();
    // With any message it shows, whose loop would hold the program open.
    m_dlgSettings.DestroyWindow();
    ReleaseDevice();
    Shell_NotifyIconA(NIM_DELETE, &m_nid);
    // Ends the modal loop as a cancel; the window's own OnCancel ignores Esc.
    CDialog::OnCancel();
}

LRESULT CScanWedgeDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    AddTrayIcon();
    return 0;
}

// The dialog's modal loop shows the window when it falls idle; a tray
// program's window must stay hidden however it is asked to show, and must
// not take the foreground from the user's window on the way.
LRESULT CScanWedgeDlg::OnWindowPosChanging(WPARAM, LPARAM lParam)
{
    WINDOWPOS* pPos = reinterpret_cast<WINDOWPOS*>(lParam);
    if (!m_bMenuOpen && (pPos->flags & SWP_SHOWWINDOW))
        pPos->flags = (pPos->flags & ~SWP_SHOWWINDOW) | SWP_NOACTIVATE;
    return Default();
}

void CScanWedgeDlg::ShowNotice(NoticeSubject subject, NoticeCause cause, int nArg1, int nArg2, bool bEveryTime)
{
    if (!(m_gateNotices.Pass(subject, cause) && m_bNotices) && !bEveryTime)
        return;
    m_anNoticeArgs[0] = nArg1;
    m_anNoticeArgs[1] = nArg2;
    // The notification area may not be up yet, as early at sign-in: the
    // notice waits for the icon.
    if (m_bIconAdded)
        ShowBalloon(cause);
    else
        m_nPendingNotice = cause;
}

void CScanWedgeDlg::ShowBalloon(NoticeCause cause)
{
    // A record of its own, not m_nid: the status timer sends m_nid every
    // second and must not show the balloon again each time. Unicode, so the
    // texts need not fit the code page; it names the same icon as m_nid.
    NOTIFYICONDATAW nid = {};
    nid.cbSize = NOTIFYICONDATAW_V2_SIZE;
    nid.hWnd = m_nid.hWnd;
    nid.uID = m_nid.uID;
    nid.uFlags = NIF_INFO;
    nid.dwInfoFlags = cause == NOTICE_DEVICE_BACK || cause == NOTICE_NONE ? NIIF_INFO : NIIF_WARNING;
    nid.uTimeout = 20000;   // shells that still honour it clamp it to 10..30 s
    UiLoadString(IDS_NOTICE_TITLE, nid.szInfoTitle, ARRAYSIZE(nid.szInfoTitle));
    WCHAR szFormat[ARRAYSIZE(nid.szInfo)];
    // Only a sound to be seen tells of a code typed.
    bool bTypedAnyway = cause == NOTICE_DUPLICATE && m_anNoticeArgs[0] == 1;
    int nText = cause == NOTICE_NONE ? IDS_NOTICE_TYPED : bTypedAnyway ? IDS_NOTICE_DUPLICATE_TYPED : NoticeTextId(cause);
    UiLoadString(nText, szFormat, ARRAYSIZE(szFormat));
    if (NoticeTakesTexts(cause)) {
        // The code shortened: a long one would crowd out the program's name.
        std::wstring strCode = m_astrNoticeTexts[0].substr(0, 64);
        if (strCode.size() < m_astrNoticeTexts[0].size())
            strCode += L"\x2026";
        _snwprintf(nid.szInfo, ARRAYSIZE(nid.szInfo) - 1, szFormat, strCode.c_str(), m_astrNoticeTexts[1].c_str());
    } else {
        wsprintfW(nid.szInfo, szFormat, m_anNoticeArgs[0], m_anNoticeArgs[1]);
    }
    Shell_NotifyIconW(NIM_MODIFY, &nid);
    m_nBalloonCause = cause;
}
