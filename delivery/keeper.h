// The keeper of the clipboard while a pasted text is on it (paste.h tells
// what paste output does): its class, shared by the typing thread's part
// (paste.cpp) and the keeper's own (keeper.cpp).
#pragma once

#include <windows.h>

#include <string>

#include "clipsave.h"
#include "keystrokes.h"

const DWORD kReadTimeout = 2000;     // ms the target may keep the clipboard open to read it
const DWORD kReturnTimeout = 2000;   // ms the target has to come back from its paste
const DWORD kPutBackTimeout = 2000;  // ms the put-back is tried before it counts as failed
const DWORD kPoll = 10;

inline bool IsPast(DWORD dwDeadline)
{
    return (LONG)(GetTickCount() - dwDeadline) >= 0;
}

class CKeyWatch;

// Owns the clipboard while our text is on it, on a thread and window of its
// own that outlive the typing: it answers requests for the text, tells the
// target's from others', and puts the user's content back when the time
// comes. The typing thread hands it an offer and waits on what it reports;
// both see the state under one lock, never held across a call that may wait
// for another program.
class CPasteKeeper {
public:
    CPasteKeeper();
    ~CPasteKeeper();
    // The thread and its window, started once; false if they cannot be.
    bool Start();
    // Puts the user's content back if it is not, and ends the thread.
    void End();

    // On the typing thread:
    TypingResult Offer(const std::wstring& strText, HWND hTarget, int nRestoreDelay, HANDLE hCancel);
    // The Ctrl+V goes now: the target's requests from here on are its paste.
    void NoteKeySent();
    TypingResult WaitForTarget(const CKeyWatch& watch, HANDLE hCancel);
    void PutBackNow() { Post(KM_PUTBACK); }

private:
    enum {
        KM_OFFER = WM_APP,   // the offer the typing thread made ready
        KM_FINISH,           // the target has asked: put back once it is done
        KM_LINGER,           // not taken: the text stays a while
        KM_PUTBACK,          // put back now
        KM_QUIT              // the program ends
    };

    enum Phase {
        PHASE_IDLE,          // nothing of ours on the clipboard to give back
        PHASE_OFFERING,      // an offer waits to open the clipboard
        PHASE_WAITING,       // the text is offered; the target has not asked for it yet
        PHASE_TAKEN,         // the target has it: the user's content comes back once it is done
        PHASE_LINGERING,     // not taken: the text stays for the user to paste
        PHASE_PUTTING_BACK   // the user's content goes back as soon as the clipboard opens
    };

    // After the target's request: it closes the clipboard, comes back from its
    // paste, and the margin passes.
    enum FinishStep { STEP_READING, STEP_RETURNING, STEP_MARGIN };

    // How a request of the typing thread ended.
    enum Outcome { OUTCOME_PENDING, OUTCOME_DONE, OUTCOME_FAILED, OUTCOME_CHANGED };

    static unsigned __stdcall Run(void* pParam);
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnReturned(HWND hWnd, UINT uMsg, ULONG_PTR dwData, LRESULT lResult);

    void OnOffer();
    void OnFinish();
    void OnLinger();
    void OnQuit();
    void OnTimer(UINT_PTR nId);
    LRESULT OnRenderFormat(UINT nFormat);
    void OnRenderAllFormats();
    void OnDestroyClipboard();

    void TryOffer();
    void Step();
    void StartPutBack(DWORD dwTimeout, bool bReport);
    void TryPutBack();
    void Report(Outcome outcome);
    bool Holding();
    void Post(UINT uMsg) { PostMessageA(m_hWnd, uMsg, 0, 0); }
    TypingResult Linger(TypingResult result);
    // Waits until fDone says so (under the lock) or dwTimeout passes; false
    // when hCancel was set first.
    template <typename F>
    bool WaitFor(F fDone, DWORD dwTimeout, HANDLE hCancel);

    CRITICAL_SECTION m_cs;
    HANDLE m_hThread;
    HANDLE m_hChanged;       // set on every change the typing thread may wait for
    HWND m_hWnd;

    Phase m_phase;
    Outcome m_outcome;       // of the typing thread's last request
    bool m_bReport;          // the typing thread waits for the put-back's outcome
    bool m_bQuitting;
    CSavedClipboard m_saved; // the user's content
    DWORD m_dwSeq;           // the clipboard's sequence number as saved
    bool m_bHeld;            // the offer replaces our own earlier text
    bool m_bTextOn;          // our text is on the clipboard
    bool m_bAbandoned;       // the typing thread gave up waiting for the offer
    std::wstring m_strText;
    HWND m_hwndTarget;
    DWORD m_dwTargetPid;
    int m_nRestoreDelay;
    bool m_bKeySent;         // the Ctrl+V went
    bool m_bKeyTaken;        // the target's key state shows it took the Ctrl+V
    bool m_bPreRead;         // the target's program read the text before that
    bool m_bAsked;           // the target asked for the text after the Ctrl+V
    HWND m_hwndReader;       // the window that read it
    FinishStep m_step;
    DWORD m_dwDeadline;
    bool m_bReturned;
    ULONG_PTR m_nGeneration; // of the offer, for callbacks that come late
};

// The program's one keeper; its end puts the user's content back.
CPasteKeeper& Keeper();
