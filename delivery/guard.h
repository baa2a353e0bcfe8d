// What every typing checks before it sends anything: that it was not asked
// to stop, and that the window the code is meant for is still in front, so
// that no key of a code ever lands in a window that came to the front while
// it was typed (another program, a menu, a window of our own). And how far
// the typing got.
#pragma once

#include <windows.h>

#include "keystrokes.h"

typedef HWND(WINAPI* PFN_FOREGROUND)();

const DWORD kStreamLookMs = 10;

class CTypingGuard {
public:
    // hCancel: set to stop the typing (NULL: never); hFront: the window that
    // must stay in front (NULL: any). pfnForeground can be replaced to play
    // a change of the front in a test.
    explicit CTypingGuard(HANDLE hCancel = NULL, HWND hFront = NULL,
                          PFN_FOREGROUND pfnForeground = GetForegroundWindow);

    // Before a batch of input events, a pause or a paste: TYPING_DONE to go
    // on, else why the typing must stop.
    TypingResult Check();
    // The same before each of a stream of posted characters, which go to
    // their control by its handle whatever is in front: the front is looked
    // at again once kStreamLookMs have passed since the last look, since a
    // look costs about as much as a post under Wine and a long text must
    // post as fast as without it; a stop is seen within that time.
    TypingResult CheckStream();
    // Waits dwMs, ended at once by a request to stop; TYPING_DONE when the
    // typing may go on after it.
    TypingResult Pause(DWORD dwMs);

    // Counts characters and keys of the text as handed over.
    void Count(size_t n = 1) { m_nTyped += n; }
    size_t Typed() const { return m_nTyped; }
    HANDLE CancelEvent() const { return m_hCancel; }
    HWND Front() const { return m_hFront; }

private:
    HANDLE m_hCancel;
    HWND m_hFront;
    PFN_FOREGROUND m_pfnForeground;
    DWORD m_dwLooked;        // tick count of the last look
    bool m_bLooked;
    TypingResult m_stop;     // once a check says stop, it stays so
    size_t m_nTyped;
};
