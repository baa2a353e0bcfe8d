// Typing on a thread of its own, so that a slow typing (a key delay, a long
// text posted character by character) never holds up the program's window:
// the window hands over a job, goes on answering its messages, and is told
// of the job's end by a message.
// The thread is started with the first job and waits for the next: under
// Wine on an idle two-core machine, characters posted from a thread made for
// the job took more than twice as long each as from a thread that had been
// waiting for it, slow enough for a fast target to catch up and wait for
// every one.
#pragma once

#include <windows.h>

#include <string>

#include "guard.h"
#include "keystrokes.h"

struct TypingJob {
    HWND hFront;              // the window in front the code is meant for
    HWND hFocus;              // the control to type into
    KeyboardSnapshot keys;    // the keyboard as the typing will meet it
    std::wstring strText;     // as typedtext.h describes
    bool bShiftEnter;         // the Enter suffix follows
    int nKeyDelay;            // ms between characters
    bool bPaste;              // the text goes through the clipboard
    int nPasteRestoreDelay;   // ms after a paste before the user's clipboard comes back
};

// Types the job's text: as keys when it is all ASCII or holds a key
// combination, else as posted characters; or pastes it when the job says
// so. The guard stops it at the next character and counts what went.
TypingResult TypeText(const TypingJob& job, CTypingGuard& guard);

class CTypist {
public:
    CTypist();
    ~CTypist();

    // Starts typing the job on the typist's thread, which posts uMsg to
    // hNotify once the job is over, whatever its end; false when the thread
    // could not be started or a job is still under way. The job stops where
    // another window than job.hFront comes to the front.
    bool Start(const TypingJob& job, HWND hNotify, UINT uMsg);
    // True once the job is over (or when none was started).
    bool Done() const { return WaitForSingleObject(m_hDone, 0) == WAIT_OBJECT_0; }
    // The last job's result, once it is over, and how many of the text's
    // characters and keys (CountTyped) went.
    TypingResult Result() const { return m_result; }
    size_t Typed() const { return m_nTyped; }
    // Stops a job under way at its next character boundary (the keyboard
    // state is put back) and waits until it has stopped.
    void Cancel();

private:
    struct Handover {
        TypingJob job;
        HWND hNotify;
        UINT uMsg;
    };

    static unsigned __stdcall Run(void* pParam);
    // The job Start handed over, with where its end goes, taken whole.
    Handover Take();

    HANDLE m_hThread;
    HANDLE m_hJob;            // set by Start: a job is waiting for the thread
    HANDLE m_hDone;
    HANDLE m_hCancel;
    HANDLE m_hQuit;           // the thread ends at its next wait for a job
    CRITICAL_SECTION m_lock;  // guards m_handover
    Handover m_handover;
    TypingResult m_result;
    size_t m_nTyped;
};
