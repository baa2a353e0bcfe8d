#include "guard.h"

CTypingGuard::CTypingGuard(HANDLE hCancel, HWND hFront, PFN_FOREGROUND pfnForeground)
    : m_hCancel(hCancel), m_hFront(hFront), m_pfnForeground(pfnForeground), m_dwLooked(0),
      m_bLooked(false), m_stop(TYPING_DONE), m_nTyped(0)
{
}

TypingResult CTypingGuard::Check()
{
    if (m_stop != TYPING_DONE)
        return m_stop;
    m_dwLooked = GetTickCount();
    m_bLooked = true;
    if (m_hCancel && WaitForSingleObject(m_hCancel, 0) == WAIT_OBJECT_0)
        m_stop = TYPING_CANCELLED;
    // The target was found in front and is never one of our windows: while
    // it is still the foreground window, none of ours is.
    else if (m_hFront && m_pfnForeground() != m_hFront)
        m_stop = TYPING_FRONT_CHANGED;
    return m_stop;
}

TypingResult CTypingGuard::CheckStream()
{
    if (m_stop != TYPING_DONE || !m_bLooked || GetTickCount() - m_dwLooked >= kStreamLookMs)
        return Check();
    return TYPING_DONE;
}

TypingResult CTypingGuard::Pause(DWORD dwMs)
{
    if (Check() != TYPING_DONE)
        return m_stop;
    if (!m_hCancel)
        Sleep(dwMs);
    else if (WaitForSingleObject(m_hCancel, dwMs) == WAIT_OBJECT_0)
        m_stop = TYPING_CANCELLED;
    return Check();
}
