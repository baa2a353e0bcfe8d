// The tray window: a 1 x 1 pixel popup that owns all run-time state, keeps the
// tray icon and routes every message of the program.
#pragma once

#include <afxwin.h>
#include <shellapi.h>

#include <deque>
#include <string>

#include "HistoryDlg.h"
#include "SettingsDlg.h"
#include "history.h"
#include "notice.h"
#include "settings.h"
#include "shape.h"
#include "sharedwatch.h"
#include "target.h"
#include "typist.h"

#define WM_TRAY_NOTIFY (WM_USER + 5)

#define TIMER_STATUS 1
#define TIMER_DEVICE 2

// One decode made ready: where it goes, the options of the program there,
// and what is typed.
struct PreparedDecode {
    CTypingTarget target;
    TargetStatus status;
    COutputOptions output;    // a copy: settings applied during the typing do not move it
    ShapedDecode shaped;
};

class CScanWedgeDlg : public CDialog {
public:
    explicit CScanWedgeDlg(CWnd* pParent = NULL);

    // Reads the decode hold-off from a plain-text file into m_nDecodeTime,
    // clamped to 50..5000 ms; 50 when the file is missing. A policy's
    // hold-off comes first.
    bool LoadDecodeTime(LPCSTR pszFileName)
    {
        return ReadDecodeTime(ProgramSettings(), pszFileName, &m_nDecodeTime);
    }

    // For the scan history window.
    const CScanHistory& History() const { return m_history; }
    // Types a recorded decode again into the user's window, as a decode of
    // its own in the history; false, and nothing done, while another is
    // being typed.
    bool RetypeScan(const std::string& strBytes);
    // The tray menu and the history window take the foreground; the user's
    // window gets it back afterwards.
    void RememberUserWindow();

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
    afx_msg LRESULT OnScanQuit(WPARAM wParam, LPARAM lParam);
    afx_msg void OnToggleQR();
    afx_msg void OnToggleDM();
    afx_msg void OnToggleBarcode();
    afx_msg void OnTogglePDF417();
    afx_msg void OnTrayHistory();
    afx_msg void OnTraySettings();
    afx_msg LRESULT OnSettingsApplied(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnSharedSettings(WPARAM wParam, LPARAM lParam);
    afx_msg void OnTrayRestart();
    afx_msg void OnTrayExit();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnClose();
    afx_msg LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnWindowPosChanging(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void ApplyTypeSettings();
    // Configures the engine once StartDevice has returned 1.
    void CompleteStart();
    BOOL AddTrayIcon();
    // One decode's road after the engine was silenced: shape, log, leave out
    // a repeat, type, tell, hold off.
    void HandleDecode(const std::string& strBytes);
    // Finds where the decode goes and shapes it for the program there.
    PreparedDecode PrepareDecode(const std::string& strBytes, ScanRecord* pRecord);
    // Types the prepared decode where the user works and tells how it went:
    // the record's outcome and cause, a notice. False when the program is
    // closing meanwhile.
    bool DeliverDecode(const PreparedDecode& decode, ScanRecord* pRecord);
    void AddToHistory(const ScanRecord& record);
    // Types into the target's focused control; says why when it could not
    // (NOTICE_NONE: typed).
    NoticeCause TypeInto(const PreparedDecode& decode);
    // Waits for the event (NULL: none) or the time, whichever comes first,
    // while the window goes on answering its messages; ends early when the
    // program is closing.
    void WaitWithMessages(HANDLE hEvent, DWORD dwMs);
    void ReenableDecoding();
    // The program is closing: a typing under way stops, nothing waits.
    void StopDecoding();
    void ShowNotice(NoticeSubject subject, NoticeCause cause);
    void ShowBalloon(NoticeCause cause);
    void LoadOutputSettings(const CSettingsSource& settings);
    // What the organisation sets (OrgSettings.cpp): the policy and its
    // shared settings file, looked at when the program starts and on each
    // tick of the device watch.
    void StartOrganisationSettings();
    void CheckOrganisationSettings();
    void CheckSharedSettings();
    void ShowTrayMenu();
    void GiveBackForeground();
    // Until the user's window is in front with its focus set, for a second
    // at most: another program takes the foreground when it gets to it.
    void WaitForUserWindow();
    void SetTrayIcon(int nIconId);
    void ShowStatusIcon();
    void WatchDevice();

    HICON m_hIcon;
    int m_bDM;
    int m_bQR;
    int m_bBarcode;
    int m_bPDF417;
    int m_bAppendEnter;
    int m_nDecodeTime;
    NOTIFYICONDATAA m_nid;
    CMenu* m_pTrayPopup;
    CMenu m_menuTray;
    int m_nTrayIconId;
    int m_nDeviceState;
    CString m_strDecoded;
    BOOL m_bStarted;
    BOOL m_bIconAdded;
    BOOL m_bNotices;
    BOOL m_bMenuOpen;
    CNoticeGate m_gateNotices;
    HWND m_hWndUser;
    COutputProfiles m_outputs;
    CRules m_rules;
    int m_nRejectedRule;                   // the rule a refusal notice names
    CRepeatFilter m_repeat;
    CTypist m_typist;
    BOOL m_bDecoding;                      // a decode is typed or held off
    BOOL m_bRetyping;                      // a decode from the history is typed
    BOOL m_bClosing;
    std::deque<std::string> m_queDecodes;  // arrived meanwhile, in order
    NoticeCause m_nPendingNotice;          // asked for before the tray icon was there
    NoticeCause m_nBalloonCause;           // of the last balloon shown
    CScanHistory m_history;
    CHistoryDlg m_dlgHistory;
    CSettingsDlg m_dlgSettings;
    CPolicy m_policy;                      // as last put in force
    CSharedSettingsWatch m_watchShared;
};
