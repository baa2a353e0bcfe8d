// The keeper's offer: the text put on the clipboard in place of the user's
// content, and who gets it when someone reads it.
#include "keeper.h"

// Marks the open clipboard's content as one that clipboard history and cloud
// clipboard do not record.
void MarkUnrecorded()
{
    static const char* const kMarks[] = { "ExcludeClipboardContentFromMonitorProcessing",
                                          "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard" };
    const DWORD dwValue = 0;
    for (const char* pszMark : kMarks) {
        HGLOBAL h = GlobalCopy(&dwValue, sizeof(dwValue));
        if (h && !SetClipboardData(RegisterClipboardFormatA(pszMark), h))
            GlobalFree(h);
    }
}

void CPasteKeeper::OnOffer(PasteRequest* pRequest)
{
    m_pOffer.reset(pRequest);
    m_nOfferId = pRequest->nId;
    if (m_bQuitting || (!m_bSaved && !pRequest->bSaved)) {
        m_pOffer.reset();
        Answer(&m_nOfferId, m_bQuitting ? ANSWER_FAILED : ANSWER_NEED_SAVE);
        return;
    }
    for (UINT nTimer : { TIMER_ASK, TIMER_READ, TIMER_LINGER, TIMER_RESOLVE, TIMER_MARGIN, TIMER_PUTBACK })
        KillTimer(m_hWnd, nTimer);
    m_phase = PHASE_OFFERING;
    m_dwDeadline = GetTickCount() + m_times.dwOpen;
    m_dwOfferBy = GetTickCount() + m_times.dwOffer;
    TryOffer();
}

void CPasteKeeper::TryOffer()
{
    PasteRequest& offer = *m_pOffer;
    if (!m_bSaved && !offer.bSaved) {   // our earlier text, and the copy with it, went meanwhile
        m_pOffer.reset();
        m_phase = PHASE_IDLE;
        Answer(&m_nOfferId, ANSWER_NEED_SAVE);
        return;
    }
    if (!OpenClipboard(m_hWnd)) {
        if (!IsPast(m_dwDeadline)) {
            SetTimer(m_hWnd, TIMER_OFFER, kPoll, NULL);
            return;
        }
        // Locked all along: our earlier text, if any, goes as it would have.
        m_pOffer.reset();
        Answer(&m_nOfferId, ANSWER_FAILED);
        if (m_bSaved)
            Withdraw(0);
        else
            m_phase = PHASE_IDLE;
        return;
    }
    if (!m_bSaved && GetClipboardSequenceNumber() != offer.dwSeq) {   // someone copied since the save
        CloseClipboard();
        m_pOffer.reset();
        m_phase = PHASE_IDLE;
        Answer(&m_nOfferId, ANSWER_NEED_SAVE);
        return;
    }
    if (!m_bSaved) {
        m_saved = std::move(offer.saved);
        m_bSaved = true;
    }
    // Waits for the owner's WM_DESTROYCLIPBOARD, which a hung owner may never answer.
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, NULL);   // the text is asked of us when someone reads it
    bool bOffered = IsClipboardFormatAvailable(CF_UNICODETEXT) && !IsPast(m_dwOfferBy);
    if (bOffered) {
        MarkUnrecorded();
    } else {
        // Too late for the typing, or refused: withdrawn at once.
        EmptyClipboard();
        m_saved.Restore();
        m_bSaved = false;
    }
    CloseClipboard();
    m_phase = bOffered ? PHASE_OFFERED : PHASE_IDLE;
    m_strText = offer.strText;
    m_hwndTarget = offer.hTarget;
    m_dwTargetPid = ProcessOf(offer.hTarget);
    m_nRestoreDelay = offer.nRestoreDelay;
    m_key = KEY_NONE;
    m_bPreRead = m_bAsked = m_bJobEnd = false;
    m_nLiveId = bOffered ? m_nOfferId : 0;
    m_pOffer.reset();
    Answer(&m_nOfferId, bOffered ? ANSWER_DONE : ANSWER_FAILED);
    if (m_bQuitting)
        StartPutBack();
}

// Who gets the text: once the Ctrl+V went, a request while our offer is the
// clipboard's content is the target's paste, unless a window of another
// process asks. Readers that open the clipboard without a window are common
// and cannot be told apart otherwise. Before the Ctrl+V only the target's
// program gets it (a remote-desktop client passing the clipboard on); a
// text not taken goes to the target alone, without a window only while the
// target is in front.
LRESULT CPasteKeeper::OnRenderFormat(UINT nFormat)
{
    if (nFormat != CF_UNICODETEXT)
        return 0;
    HWND hwndOpen = GetOpenClipboardWindow();
    bool bTarget = hwndOpen ? ProcessOf(hwndOpen) == m_dwTargetPid : true;
    bool bRender = false, bAsked = false;
    switch (m_phase) {
    case PHASE_OFFERED:
        if (m_key == KEY_SENT)
            bRender = bAsked = bTarget;
        else if (m_key == KEY_NONE && hwndOpen && bTarget)
            bRender = m_bPreRead = true;
        break;
    case PHASE_WITHDRAWING:
        // Part of a Ctrl+V that did not go whole: its paste shows the key
        // was handled, but gets nothing.
        bAsked = bTarget;
        bRender = bTarget && m_key == KEY_SENT;
        break;
    case PHASE_LINGERING:
        bRender = bAsked = hwndOpen ? bTarget : ProcessOf(GetForegroundWindow()) == m_dwTargetPid;
        break;
    case PHASE_READING:
    case PHASE_HELD:
        bRender = bTarget;
        break;
    default:
        break;
    }
    if (bRender) {
        HGLOBAL h = GlobalCopy(m_strText.c_str(), (m_strText.size() + 1) * sizeof(wchar_t));
        if (h && !SetClipboardData(CF_UNICODETEXT, h))
            GlobalFree(h);
    }
    if (bAsked) {
        m_bJobEnd |= m_phase != PHASE_OFFERED;
        m_bAsked = true;
        m_hwndReader = hwndOpen;
        m_phase = PHASE_READING;
        PostMessageA(m_hWnd, KM_ASKED, 0, 0);   // the clipboard cannot be opened from here
    }
    return 0;
}
