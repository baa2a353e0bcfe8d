// The keeper of the clipboard while a pasted text is on it (paste.h tells
// what paste output does). Its thread owns every part of the paste's state
// and every time-out; the typing thread only sends it requests and waits
// for each one's own answer (pasterequest.h).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "pasterequest.h"

// The keeper's bounds, in ms. The program keeps these; the tests shorten
// those they wait out.
struct KeeperTimes {
    DWORD dwOpen = 500;           // another program may hold the clipboard before an offer gives up
    DWORD dwOffer = 3000;         // after which an offer not yet made is withdrawn
    DWORD dwAsk = 5000;           // the target has to ask for the text after the Ctrl+V
    DWORD dwRead = 2000;          // the target may keep the clipboard open to read it
    DWORD dwReturn = 2000;        // the target has to come back from its paste
    DWORD dwLinger = 30000;       // a text not taken stays for the target
    DWORD dwPutBack = 2000;       // the put-back is tried before it counts as failed
    DWORD dwRetryEvery = 1000;    // between later tries to put the user's content back
    DWORD dwExitBound = 3000;     // an unresolved Ctrl+V is waited for, while its target answers
    DWORD dwHungAfter = 1000;     // without an answer after which the target counts as hung
    DWORD dwAfterHang = 1000;     // a target back from hanging answers before the put-back
    DWORD dwQuitHungLimit = 60000;  // the program's end waits for a hung target
};
const DWORD kPoll = 10;
const DWORD kTick = 50;

enum { TIMER_OFFER = 1, TIMER_ASK, TIMER_READ, TIMER_LINGER, TIMER_RESOLVE, TIMER_MARGIN, TIMER_PUTBACK };

inline bool IsPast(DWORD dwDeadline)
{
    return (LONG)(GetTickCount() - dwDeadline) >= 0;
}

inline DWORD ProcessOf(HWND hWnd)
{
    DWORD dwPid = 0;
    if (hWnd)
        GetWindowThreadProcessId(hWnd, &dwPid);
    return dwPid;
}

// Marks the open clipboard's content as one that clipboard history and cloud
// clipboard do not record.
void MarkUnrecorded();

// Owns the clipboard while our text is on it, on a thread and window of its
// own that outlive the typing: it tells the target's paste from other
// programs' requests, and puts the user's content back once the target has
// handled the Ctrl+V, never into a Ctrl+V still unresolved.
class CPasteKeeper {
public:
    CPasteKeeper();
    ~CPasteKeeper();
    // The thread and its window, started once; false if they cannot be.
    bool Start();
    // Ends the thread (as End does) and takes the times for the next Start.
    void SetTimes(const KeeperTimes& times);
    // Puts the user's content back once the target is done (a bounded wait,
    // longer only while it hangs) and ends the thread; false when the
    // content could not go back.
    bool End();

    // On the typing thread: sends the request and waits for its answer, or
    // for hCancel, which withdraws what the request started.
    PasteAnswer Ask(std::unique_ptr<PasteRequest> pRequest, HANDLE hCancel);

private:
    enum {
        KM_REQUEST = WM_APP,   // lParam: a PasteRequest the keeper takes over
        KM_CANCEL,             // wParam: the id of a request given up
        KM_ASKED,              // the target asked for the text
        KM_READ,               // look again whether the target is done reading
        KM_QUIT
    };

    enum Phase {
        PHASE_IDLE,           // nothing of ours on the clipboard
        PHASE_OFFERING,       // waiting to open the clipboard
        PHASE_OFFERED,        // our text is offered; the target has not asked for it
        PHASE_READING,        // the target asked: it reads and comes back from its paste
        PHASE_HELD,           // the target has it; the job goes on, the user's content held
        PHASE_LINGERING,      // not taken: the text stays for the target a while
        PHASE_WITHDRAWING,    // the user's content goes back once the Ctrl+V is resolved
        PHASE_PUTTING_BACK    // the user's content goes back as soon as the clipboard opens
    };
    enum Key { KEY_NONE, KEY_SENT, KEY_PARTLY };
    enum ReadStep { STEP_CLOSING, STEP_RETURNING };

    static CPasteKeeper* s_pThis;

    static unsigned __stdcall Run(void* pParam);
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnPinged(HWND hWnd, UINT uMsg, ULONG_PTR dwData, LRESULT lResult);

    void OnRequest(PasteRequest* pRequest);
    void OnOffer(PasteRequest* pRequest);
    void OnKeySent(ULONG nId);
    void OnKeyFailed(bool bPartly);
    void OnEndJob(ULONG nId);
    void OnCancel(ULONG nId);
    void OnQuit();
    void OnTimer(UINT_PTR nId);
    LRESULT OnRenderFormat(UINT nFormat);
    void OnDestroyClipboard();

    void TryOffer();
    void StartReading();
    void Read();
    void Withdraw(DWORD dwBound);
    void Resolve();
    void Ping();
    void StartPutBack();
    void TryPutBack();
    void Answer(ULONG* pnId, PasteAnswer answer);
    void Drop();
    void Finish();

    HANDLE m_hThread;
    HWND m_hWnd;
    CAnswerSlot m_answers;

    // The keeper thread's own, from here on.
    Phase m_phase;
    bool m_bQuitting;
    bool m_bFinished;           // the window is going
    bool m_bLost;               // the user's content could not go back before the end
    bool m_bSaved;              // m_saved is the user's content to give back
    CSavedClipboard m_saved;
    std::unique_ptr<PasteRequest> m_pOffer;   // the offer waiting to open the clipboard
    std::wstring m_strText;
    HWND m_hwndTarget;
    DWORD m_dwTargetPid;
    int m_nRestoreDelay;
    Key m_key;
    bool m_bPreRead;            // the target's program read the text before the Ctrl+V
    bool m_bAsked;              // the target asked for the offer's text
    bool m_bJobEnd;             // the user's content goes back once the target is done
    ULONG m_nOfferId, m_nKeyId, m_nEndId;   // requests awaiting an answer (0: none)
    ULONG m_nLiveId;            // the request whose offer is on the clipboard
    DWORD m_dwDeadline;
    DWORD m_dwOfferBy;          // an offer not made by then is withdrawn
    DWORD m_dwQuitAt;
    ReadStep m_step;
    HWND m_hwndReader;          // the window that asked, if it had one
    // How long the target has answered while an unresolved Ctrl+V waits.
    DWORD m_dwBound;            // ms of answering before the user's content goes back
    DWORD m_dwAnswering;
    DWORD m_dwLastTick;
    DWORD m_dwPingSent;
    bool m_bPingOut;
    bool m_bWasHung;            // it hung since it last answered
    bool m_bReturned;           // the target answered since its request
    ULONG_PTR m_nPing;          // the latest ping, for answers that come late
    KeeperTimes m_times;        // set only while the thread does not run
};

// The program's one keeper; its end puts the user's content back.
CPasteKeeper& Keeper();
