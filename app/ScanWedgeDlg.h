// The tray window: a 1 x 1 pixel popup that owns all run-time state, keeps the
// tray icon and routes every message of the program.
#pragma once

#include <afxwin.h>
#include <shellapi.h>

#include <string>

#include "DecodeFlow.h"
#include "HistoryDlg.h"
#include "SettingsDlg.h"
#include "help.h"
#include "history.h"
#include "notice.h"
#include "settings.h"
#include "shape.h"
#include "sharedwatch.h"
#include "sound.h"
#include "target.h"
#include "targetsend.h"
#include "typist.h"
#include "waitlist.h"

// The tray window's own messages, each with a number of its own:
// WM_USER + 8 WM_SHARED_SETTINGS (sharedwatch.h), + 9 WM_HISTORY_BYTES,
// + 40 WM_HISTORY_FILE (history.h).
#define WM_TRAY_NOTIFY (WM_USER + 5)
// The typing thread is done with its job.
#define WM_TYPING_DONE (WM_USER + 7)
// Asked by the tests, as WM_HISTORY_BYTES is: the id of the icon the tray
// shows now, and a look at the device now instead of at the watch's tick
// (wParam 1: from now on only when asked, so that a test knows each look's calls).
#define WM_TRAY_ICON_ID (WM_USER + 10)
#define WM_DEVICE_POLL (WM_USER + 11)

#define TIMER_STATUS 1
#define TIMER_DEVICE 2
// 3 to 5: the decode's own (DecodeTimer).
#define TIMER_CUE 6            // the tray icon shows how a decode ended
#define TIMER_FORWARD 7        // the target program did not come to the front in time
#define TIMER_WAITING 8        // the waiting codes' time is looked at
#define TIMER_SHOWN 9          // a window shown meanwhile has settled

// One decode made ready: where it goes, the options of the program there,
// and what is typed.
struct PreparedDecode {
    CTypingTarget target;
    TargetStatus status;
    COutputOptions output;    // a copy: settings applied during the typing do not move it
    ShapedDecode shaped;
    std::wstring strTarget;   // the Target value it goes to; empty: the window in front
};

// The engine library as the decode's steps drive it.
class CEngineSwitches : public IScanEngine {
public:
    void Switch(Symbology symbology, bool bOn) override;
};

class CScanWedgeDlg : public CDialog, private IDecodeHost, private IHistoryHost, private ISettingsHost {
public:
    explicit CScanWedgeDlg(CWnd* pParent = NULL);

    // Reads the decode hold-off from a plain-text file into m_nDecodeTime,
    // clamped to 50..5000 ms; 50 when the file is missing. A policy's
    // hold-off comes first.
    bool LoadDecodeTime(LPCSTR pszFileName)
    {
        return ReadDecodeTime(ProgramSettings(), pszFileName, &m_nDecodeTime);
    }

    // For the scan history window: a recorded decode typed again as a
    // decode of its own in the history, the engine silenced and held off as
    // for a decode; an export written on the history file's worker.
    const CScanHistory& History() const override { return m_history; }
    bool RetypeScan(const std::string& strBytes) override { return m_flow.Retype(strBytes); }
    bool ExportHistory(CHistoryExport&& job) override;
    bool HistoryExporting() const override { return m_bHistoryExporting; }
    // A decode is under way: typed, held off, or waiting for the user's
    // window; the engine is silenced meanwhile.
    bool IsDecoding() const { return m_flow.Busy(); }
    // The tray menu and the history window take the foreground; the user's
    // window gets it back afterwards.
    void RememberUserWindow() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Sees the tray icon's mouse messages, which the message table leaves out.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    // Enter and Esc on the tray window must not end the program behind the
    // user's back: the device would stay claimed and the tray icon dead.
    void OnOK() override {}
    void OnCancel() override {}

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg LRESULT OnScanDecoded(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnTypingDone(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnHistoryFile(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnScanQuit(WPARAM wParam, LPARAM lParam);
    afx_msg void OnToggleQR();
    afx_msg void OnToggleDM();
    afx_msg void OnToggleBarcode();
    afx_msg void OnTogglePDF417();
    afx_msg void OnTrayHistory();
    afx_msg void OnTrayHelp() { ShowHelp(NULL, HELP_GUIDE); }
    // F1 in a window that has no section of its own, such as About.
    afx_msg LRESULT OnHelp(WPARAM, LPARAM) { return HelpAnswered(NULL, HELP_GUIDE); }
    afx_msg void OnTraySettings();
    afx_msg LRESULT OnSharedSettings(WPARAM wParam, LPARAM lParam);
    afx_msg void OnTrayRestart();
    afx_msg void OnTrayExit();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnClose();
    afx_msg LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnWindowPosChanging(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // For the settings window.
    void SettingsApplied() override;
    void ClearHistory() override;

    void ApplyTypeSettings();
    // Configures the engine once StartDevice has returned 1.
    void CompleteStart();
    BOOL AddTrayIcon();
    // The program is closing: a typing under way stops, nothing waits.
    void StopDecoding();
    // A symbology the user switched in the tray menu.
    void ToggleSymbology(Symbology symbology);

    // The decode's road (DecodeRoute.cpp), as the decode's steps
    // (m_flow) take it; each one's failure is caught there.
    void AnswerEngine() override;
    bool StartDecode(const std::string& strBytes, bool bRetype) override;
    // Over only once the typing is, and no target is still coming forward.
    bool TypingOver() override { return !m_sender.Asked() && m_typist.Done(); }
    void EndDecode() override;
    void RefuseDecode(const std::string& strBytes, size_t nWaiting) override;
    void StopTyping() override { m_typist.Cancel(); }
    int HoldOffTime() override { return m_nDecodeTime; }
    bool StartTimer(DecodeTimer timer, UINT nMs) override;
    void StopTimer(DecodeTimer timer) override;
    // Finds where the decode goes and shapes it for the program there.
    PreparedDecode PrepareDecode(const std::string& strBytes, ScanRecord* pRecord);
    void LogDecode(const PreparedDecode& decode);
    // Starts typing m_decode where the user works; false, the decode
    // finished with the cause, when it cannot be typed there.
    bool StartTyping();
    // Tells how the decode under way went: its record, a notice, the
    // history, the repeat filter.
    void FinishDecode(NoticeCause cause);
    void AddToHistory(const ScanRecord& record);
    // A code scanned before: marked, and true when it is not to be typed.
    bool IsDuplicateToHold();
    // The history kept across restarts or not, as the settings say
    // (HistoryKeep.cpp).
    void StartHistory(const CSettingsSource& settings);
    ScanSymbology EnabledSymbology() const;
    // nArg1 and nArg2 go into the text: the rule that refuses a code, how
    // many characters of how many were typed. bEveryTime: shown even when
    // the gate or the Notices setting would keep it back.
    void ShowNotice(NoticeSubject subject, NoticeCause cause, int nArg1 = 0, int nArg2 = 0,
                    bool bEveryTime = false);
    void ShowBalloon(NoticeCause cause);
    void LoadOutputSettings(const CSettingsSource& settings);
    // The sound and the tray icon's cue (SoundCue.cpp). The events are
    // registered for the user at each start, in the user's language.
    void RegisterSounds();
    // Plays the sound of a decode that ended with the cause, with the
    // program in front; true when the sound is to be seen as well (ShowSounds).
    bool SoundOutcome(NoticeCause cause, const std::wstring& strProgram);
    void ShowCue(int nIconId);
    void OnCueOver();
    // What the organisation sets (OrgSettings.cpp): the policy and its
    // shared settings file, looked at when the program starts and on each
    // tick of the device watch.
    void StartOrganisationSettings();
    void CheckOrganisationSettings();
    void CheckSharedSettings();
    // At the icon's anchor; from the keyboard, focus goes back to the
    // notification area when nothing is chosen.
    void ShowTrayMenu(POINT anchor, bool bKeyboard);
    void SetTrayVersion();
    void GiveBackForeground() override;
    void FlowIdle() override { ReleaseWaitingCode(); }

    // Sending to a chosen program (TargetRoute.cpp).
    // The Target of the rule that shaped the code, else of its section.
    std::wstring TargetFor(const PreparedDecode& decode) const;
    // Starts sending m_decode to its target; false, the decode finished,
    // when it cannot be typed now.
    bool StartSending();
    // The target is in front: types into it; false, and m_nSendCause set,
    // when it cannot.
    bool TypeIntoTarget();
    // The code under way waits for its program (hRefused: the window Windows
    // would not bring forward); the cause to report.
    NoticeCause WaitForTarget(HWND hRefused, NoticeCause cause);
    // Each tick of the bound: is the target in front, with its focus set?
    void OnForwardTick();
    void ExpireWaitingCodes();
    // The first waiting code whose program can take it now, when the flow
    // is idle.
    void ReleaseWaitingCode();
    // Codes that waited and will never be typed, recorded as not typed.
    void ReportWaitingCodes(const std::vector<WaitingCode>& codes, NoticeCause cause);
    // The foreground hook is there only while something waits for the front.
    void WatchFront();
    static void CALLBACK OnWinEvent(HWINEVENTHOOK hHook, DWORD dwEvent, HWND hWnd, LONG idObject, LONG idChild,
                                    DWORD dwThread, DWORD dwTime);
    void OnFrontChanged(bool bShown);
    // The tray tooltip: the target while one is set.
    void ShowTargetInTip();
    // The user's window is in front with its focus set (or there is none to
    // wait for): another program takes the foreground when it gets to it.
    bool UserWindowReady() override;
    void SetTrayIcon(int nIconId);
    void ShowStatusIcon();
    void WatchDevice();

    HICON m_hIcon;
    int m_bAppendEnter;
    int m_nDecodeTime;
    NOTIFYICONDATAA m_nid;
    CMenu* m_pTrayPopup;
    CMenu m_menuTray;
    int m_nTrayIconId;
    int m_nShownIconId;                    // the icon shown when no cue is
    int m_nCueIconId;                      // of the cue shown; 0: none
    bool m_bPollsAsked;                    // the device is looked at only when asked (WM_DEVICE_POLL)
    int m_nDeviceState;
    CString m_strDecoded;
    BOOL m_bStarted;
    BOOL m_bIconAdded;
    BOOL m_bNotices;
    BOOL m_bMenuOpen;
    UINT m_nTrayVersion;                   // that the shell took; 0: none
    UINT m_nLastTrayEvent;
    CNoticeGate m_gateNotices;
    HWND m_hWndUser;
    COutputProfiles m_outputs;
    CRules m_rules;
    int m_anNoticeArgs[2];                 // of the notice shown last
    CRepeatFilter m_repeat;
    CTypist m_typist;
    CEngineSwitches m_engine;
    CDecodeFlow m_flow;
    bool m_bRetype;                        // the decode under way came from the history
    ScanRecord m_record;                   // of the decode under way
    PreparedDecode m_decode;
    NoticeCause m_nPendingNotice;          // asked for before the tray icon was there
    NoticeCause m_nBalloonCause;           // of the last balloon shown
    CScanHistory m_history;
    bool m_bHistoryExporting = false;   // one export at a time
    CHistorySettings m_historyKept;        // as last put in force (at first the defaults)
    CHistoryDlg m_dlgHistory;
    CSettingsDlg m_dlgSettings;
    CPolicy m_policy;                      // as last put in force
    CSharedSettingsWatch m_watchShared;
    CSoundPlayer m_sounds;
    CSoundModes m_soundModes;
    CWin32Windows m_windows;
    CTargetSender m_sender;
    CWaitingCodes m_waiting;
    std::vector<std::pair<int, std::wstring>> m_ruleTargets;   // rule number, its Target
    HWINEVENTHOOK m_hFrontHook;
    HWINEVENTHOOK m_hShowHook;
    DWORD m_dwForwardSince;                // tick count when the target was asked forward
    NoticeCause m_nSendCause;              // the decode under way ended before it was typed
    bool m_bReleasing;                     // the next decode is m_released
    bool m_bReleased;                      // the decode under way waited for its program
    WaitingCode m_released;
    std::wstring m_astrNoticeTexts[2];     // of the notice shown last, when it takes texts
};
