// The keeper's way back to the user's content: the target reads and comes
// back from its paste, an unresolved Ctrl+V is waited for while the target
// answers, and the put-back itself.
#include "keeper.h"

void CPasteKeeper::OnTimer(UINT_PTR nId)
{
    switch (nId) {
    case TIMER_OFFER:
        KillTimer(m_hWnd, TIMER_OFFER);
        TryOffer();
        break;
    case TIMER_ASK:
        // Not asked for in time: the text stays for the target a while.
        KillTimer(m_hWnd, TIMER_ASK);
        if (m_phase == PHASE_OFFERED) {
            m_phase = PHASE_LINGERING;
            SetTimer(m_hWnd, TIMER_LINGER, m_times.dwLinger, NULL);
            Answer(&m_nKeyId, ANSWER_NOT_TAKEN);
        }
        break;
    case TIMER_READ:
        if (m_step == STEP_RETURNING)   // the closing is looked at by KM_READ
            Read();
        break;
    case TIMER_LINGER:
        KillTimer(m_hWnd, TIMER_LINGER);
        Withdraw(0);
        break;
    case TIMER_RESOLVE:
        Resolve();
        break;
    case TIMER_MARGIN:
    case TIMER_PUTBACK:
        KillTimer(m_hWnd, nId);
        if (nId == TIMER_MARGIN)
            m_dwDeadline = GetTickCount() + m_times.dwPutBack;
        TryPutBack();
        break;
    }
}

void CALLBACK CPasteKeeper::OnPinged(HWND, UINT, ULONG_PTR dwData, LRESULT)
{
    CPasteKeeper* pThis = s_pThis;
    if (pThis && dwData == pThis->m_nPing) {
        pThis->m_bPingOut = false;
        pThis->m_bReturned = true;
        if (pThis->m_phase == PHASE_READING && pThis->m_step == STEP_RETURNING)
            pThis->Read();
    }
}

// Asks the target's thread to answer a message: it does once it is back
// from what it was doing (a paste) and not hung.
void CPasteKeeper::Ping()
{
    m_dwPingSent = GetTickCount();
    m_bPingOut = IsWindow(m_hwndTarget) &&
                 SendMessageCallbackA(m_hwndTarget, WM_NULL, 0, 0, OnPinged, ++m_nPing);
}

void CPasteKeeper::StartReading()
{
    for (UINT nTimer : { TIMER_ASK, TIMER_LINGER, TIMER_RESOLVE })
        KillTimer(m_hWnd, nTimer);
    m_step = STEP_CLOSING;
    m_dwDeadline = GetTickCount() + m_times.dwRead;
    SetTimer(m_hWnd, TIMER_READ, kTick, NULL);   // for the bounds
    Read();
}

// The target closes the clipboard, then comes back from its paste; each
// with a bound.
void CPasteKeeper::Read()
{
    if (m_step == STEP_CLOSING) {
        // A reader without a window has closed it once it can be opened, or
        // a window holds it.
        HWND hwndOpen = GetOpenClipboardWindow();
        bool bClosed = m_hwndReader ? hwndOpen != m_hwndReader : hwndOpen != NULL;
        if (!bClosed && !m_hwndReader && OpenClipboard(m_hWnd)) {
            CloseClipboard();
            bClosed = true;
        }
        if (!bClosed && !IsPast(m_dwDeadline)) {
            // A read takes a few ms: looked at again at once, other messages first.
            Sleep(1);
            PostMessageA(m_hWnd, KM_READ, 0, 0);
            return;
        }
        m_step = STEP_RETURNING;
        m_dwDeadline = GetTickCount() + m_times.dwReturn;
        m_bReturned = false;
        Ping();
        if (m_bPingOut)
            return;
    }
    if (m_bPingOut && !IsPast(m_dwDeadline))
        return;
    KillTimer(m_hWnd, TIMER_READ);
    if (m_bJobEnd || m_bQuitting) {
        m_phase = PHASE_PUTTING_BACK;
        SetTimer(m_hWnd, TIMER_MARGIN, m_nRestoreDelay > 0 && !m_bQuitting ? m_nRestoreDelay : 1, NULL);
    } else {
        m_phase = PHASE_HELD;
    }
    Answer(&m_nKeyId, ANSWER_DONE);
}

// The user's content goes back once the Ctrl+V that may still paste is
// resolved: the target asks for the text, its window goes, or it has
// answered messages for dwBound ms. Time while it hangs does not count.
void CPasteKeeper::Withdraw(DWORD dwBound)
{
    KillTimer(m_hWnd, TIMER_ASK);
    KillTimer(m_hWnd, TIMER_LINGER);
    if (m_key == KEY_NONE) {
        StartPutBack();
        return;
    }
    m_phase = PHASE_WITHDRAWING;
    m_bJobEnd = true;
    m_dwBound = dwBound;
    m_dwAnswering = 0;
    m_dwLastTick = GetTickCount();
    m_bWasHung = false;
    Ping();
    SetTimer(m_hWnd, TIMER_RESOLVE, kTick, NULL);
}

void CPasteKeeper::Resolve()
{
    DWORD dwNow = GetTickCount();
    if (!IsWindow(m_hwndTarget)) {
        StartPutBack();
        return;
    }
    bool bHung = m_bPingOut && dwNow - m_dwPingSent >= m_times.dwHungAfter;
    if (!bHung)
        m_dwAnswering += dwNow - m_dwLastTick;
    m_dwLastTick = dwNow;
    if (bHung && m_bQuitting && dwNow - m_dwQuitAt >= m_times.dwQuitHungLimit) {
        m_bLost = true;   // the offer stays unrendered: the target pastes nothing
        Finish();
        return;
    }
    m_bWasHung |= bHung;
    if (m_bPingOut)
        return;
    if (m_bWasHung) {
        // Back: its first messages may be the Ctrl+V it has yet to handle.
        m_bWasHung = false;
        m_dwAnswering = 0;
        if (m_dwBound < m_times.dwAfterHang)
            m_dwBound = m_times.dwAfterHang;
    }
    if (m_dwAnswering >= m_dwBound)
        StartPutBack();
    else
        Ping();
}

void CPasteKeeper::StartPutBack()
{
    for (UINT nTimer : { TIMER_ASK, TIMER_READ, TIMER_LINGER, TIMER_RESOLVE, TIMER_MARGIN, TIMER_PUTBACK })
        KillTimer(m_hWnd, nTimer);
    m_phase = PHASE_PUTTING_BACK;
    m_dwDeadline = GetTickCount() + m_times.dwPutBack;
    TryPutBack();
}

void CPasteKeeper::TryPutBack()
{
    if (m_bSaved && GetClipboardOwner() == m_hWnd) {
        if (!OpenClipboard(m_hWnd)) {
            // Another program holds it open: tried again, and said so past the bound.
            bool bLate = IsPast(m_dwDeadline);
            if (bLate)
                Answer(&m_nEndId, ANSWER_NOT_BACK);
            if (bLate && m_bQuitting) {
                m_bLost = true;
                Finish();
            } else {
                SetTimer(m_hWnd, TIMER_PUTBACK, bLate ? m_times.dwRetryEvery : kPoll, NULL);
            }
            return;
        }
        EmptyClipboard();
        bool bEmpty = m_saved.Empty();
        m_saved.Restore();
        // The user's copy is in the clipboard history already.
        if (!bEmpty)
            MarkUnrecorded();
        CloseClipboard();
    }
    Drop();
    Answer(&m_nEndId, ANSWER_DONE);
    if (m_bQuitting)
        Finish();
}

void CPasteKeeper::Drop()
{
    for (UINT nTimer : { TIMER_ASK, TIMER_READ, TIMER_LINGER, TIMER_RESOLVE, TIMER_MARGIN, TIMER_PUTBACK })
        KillTimer(m_hWnd, nTimer);
    m_bSaved = false;
    m_saved.Clear();
    m_phase = m_pOffer ? PHASE_OFFERING : PHASE_IDLE;
    m_strText.clear();
    m_nLiveId = 0;
}

void CPasteKeeper::Finish()
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    Answer(&m_nOfferId, ANSWER_FAILED);
    Answer(&m_nKeyId, ANSWER_FAILED);
    Answer(&m_nEndId, m_bLost ? ANSWER_NOT_BACK : ANSWER_DONE);
    DestroyWindow(m_hWnd);
}

void CPasteKeeper::OnDestroyClipboard()
{
    // Our own offer and put-back empty it with the clipboard open for us.
    if (GetOpenClipboardWindow() == m_hWnd)
        return;
    // Another program changed the clipboard: left as it left it, nothing owed.
    Drop();
    Answer(&m_nKeyId, m_bAsked ? ANSWER_DONE : ANSWER_FAILED);
    Answer(&m_nEndId, ANSWER_DONE);
    if (m_bQuitting && !m_pOffer)
        Finish();
}

void CPasteKeeper::OnQuit()
{
    m_bQuitting = true;
    m_dwQuitAt = GetTickCount();
    switch (m_phase) {
    case PHASE_IDLE:
        Finish();
        break;
    case PHASE_OFFERING:
        KillTimer(m_hWnd, TIMER_OFFER);
        m_pOffer.reset();
        Answer(&m_nOfferId, ANSWER_FAILED);
        if (m_bSaved)
            Withdraw(0);
        else
            Finish();
        break;
    case PHASE_OFFERED:
        Withdraw(m_times.dwExitBound);
        break;
    case PHASE_LINGERING:
        Withdraw(0);
        break;
    case PHASE_WITHDRAWING:
        if (m_dwBound > m_times.dwExitBound)
            m_dwBound = m_times.dwExitBound;
        break;
    case PHASE_HELD:
        StartPutBack();
        break;
    case PHASE_READING:
        m_bJobEnd = true;
        break;
    case PHASE_PUTTING_BACK:
        m_dwDeadline = GetTickCount() + m_times.dwPutBack;
        break;
    }
}
