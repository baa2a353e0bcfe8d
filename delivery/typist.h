// Typing on a thread of its own, so that a slow typing (a key delay, a long
// text posted character by character) never holds up the program's window:
// the window hands over a job, goes on answering its messages, and waits for
// the job's end with its message loop running. The thread is started with
// the first job and waits for the next: under Wine on an idle two-core
// machine, characters posted from a thread made for the job took four times
// as long each as from a thread that had been waiting for it, slow enough
// for a fast target to catch up and wait for every one.
#pragma once

#include <windows.h>

#include <string>

#include "keystrokes.h"

struct TypingJob {
    HWND hFocus;              // the control to type into
    KeyboardSnapshot keys;    // the keyboard as the typing will meet it
    std::wstring strText;     // as typedtext.h describes
    bool bShiftEnter;         // the Enter suffix follows
    int nKeyDelay;            // ms between characters
    bool bPaste;              // the text goes through the clipboard
};

// Types the job's text: as keys when it is all ASCII or holds a key
// combination, else as posted characters; or pastes it when the job says
// so. hCancel stops it at the next character.
TypingResult TypeText(const TypingJob& job, HANDLE hCancel);

class CTypist {
public:
    CTypist();
    ~CTypist();

    // Starts typing the job on the typist's thread; false when the thread
    // could not be started or a job is still under way.
    bool Start(const TypingJob& job);
    // Set when the job is over; stays set until the next Start.
    HANDLE DoneEvent() const { return m_hDone; }
    // The last job's result, once it is over.
    TypingResult Result() const { return m_result; }
    // Stops a job under way at its next character boundary (the keyboard
    // state is put back) and waits until it has stopped.
    void Cancel();

private:
    static unsigned __stdcall Run(void* pParam);

    HANDLE m_hThread;
    HANDLE m_hJob;            // set by Start: a job is waiting for the thread
    HANDLE m_hDone;
    HANDLE m_hCancel;
    volatile bool m_bQuit;    // the thread ends at its next wait for a job
    TypingJob m_job;
    TypingResult m_result;
};
