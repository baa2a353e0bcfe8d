#include "keeper.h"

#include <process.h>

#include "clipsave.h"

CPasteKeeper* CPasteKeeper::s_pThis;

CPasteKeeper& Keeper()
{
    static CPasteKeeper s_keeper;
    return s_keeper;
}

CPasteKeeper::CPasteKeeper()
    : m_hThread(NULL), m_hWnd(NULL), m_phase(PHASE_IDLE), m_bQuitting(false), m_bFinished(false), m_bLost(false), m_bSaved(false),
      m_hwndTarget(NULL), m_dwTargetPid(0), m_nRestoreDelay(0), m_key(KEY_NONE), m_bPreRead(false),
      m_bAsked(false), m_bJobEnd(false), m_nOfferId(0), m_nKeyId(0), m_nEndId(0), m_nLiveId(0), m_dwDeadline(0),
      m_dwOfferBy(0), m_dwQuitAt(0), m_step(STEP_CLOSING), m_hwndReader(NULL), m_dwBound(0), m_dwAnswering(0), m_dwLastTick(0),
      m_dwPingSent(0), m_bPingOut(false), m_bWasHung(false), m_bReturned(false), m_nPing(0)
{
    s_pThis = this;
}

CPasteKeeper::~CPasteKeeper()
{
    End();
    s_pThis = NULL;
}

bool CPasteKeeper::Start()
{
    if (m_hThread && WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT)
        return true;
    if (m_hThread)
        CloseHandle(m_hThread);
    m_hWnd = NULL;
    m_bQuitting = m_bFinished = m_bLost = false;
    HANDLE hReady = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!hReady)
        return false;
    m_hThread = (HANDLE)_beginthreadex(NULL, 0, Run, hReady, 0, NULL);
    HANDLE handles[2] = { hReady, m_hThread };
    if (m_hThread)
        WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    CloseHandle(hReady);
    if (m_hThread && !m_hWnd) {
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = NULL;
    }
    return m_hThread != NULL;
}

unsigned __stdcall CPasteKeeper::Run(void* pParam)
{
    CPasteKeeper* pThis = s_pThis;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "NorzaPasteKeeper";
    RegisterClassA(&wc);
    pThis->m_hWnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    SetEvent((HANDLE)pParam);
    if (!pThis->m_hWnd)
        return 1;
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    // Requests still posted were never seen.
    while (PeekMessageA(&msg, NULL, KM_REQUEST, KM_REQUEST, PM_REMOVE))
        delete (PasteRequest*)msg.lParam;
    return 0;
}

void CPasteKeeper::SetTimes(const KeeperTimes& times)
{
    End();
    m_times = times;
}

bool CPasteKeeper::End()
{
    if (m_hThread) {
        PostMessageA(m_hWnd, KM_QUIT, 0, 0);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = NULL;
        m_hWnd = NULL;
    }
    EndClipboardSaver();
    return !m_bLost;   // the thread has ended: no one else reads or writes it
}

PasteAnswer CPasteKeeper::Ask(std::unique_ptr<PasteRequest> pRequest, HANDLE hCancel)
{
    ULONG nId = pRequest->nId = m_answers.Expect();
    if (!PostMessageA(m_hWnd, KM_REQUEST, 0, (LPARAM)pRequest.get()))
        return ANSWER_FAILED;
    pRequest.release();
    PasteAnswer answer = m_answers.Wait(nId, hCancel);
    if (answer == ANSWER_CANCELLED)
        PostMessageA(m_hWnd, KM_CANCEL, nId, 0);
    return answer;
}

// ---------------------------------------------------------------- the keeper's thread from here on

LRESULT CALLBACK CPasteKeeper::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CPasteKeeper* pThis = s_pThis;
    switch (uMsg) {
    case KM_REQUEST: pThis->OnRequest((PasteRequest*)lParam); return 0;
    case KM_CANCEL: pThis->OnCancel((ULONG)wParam); return 0;
    case KM_ASKED: if (pThis->m_phase == PHASE_READING) pThis->StartReading(); return 0;
    case KM_READ: if (pThis->m_phase == PHASE_READING) pThis->Read(); return 0;
    case KM_QUIT: pThis->OnQuit(); return 0;
    case WM_TIMER: pThis->OnTimer(wParam); return 0;
    case WM_RENDERFORMAT: return pThis->OnRenderFormat((UINT)wParam);
    // Going away with the text still offered: it goes to no one.
    case WM_RENDERALLFORMATS: return 0;
    case WM_DESTROYCLIPBOARD: pThis->OnDestroyClipboard(); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void CPasteKeeper::Answer(ULONG* pnId, PasteAnswer answer)
{
    if (*pnId)
        m_answers.Answer(*pnId, answer);
    *pnId = 0;
}

void CPasteKeeper::OnRequest(PasteRequest* pRequest)
{
    std::unique_ptr<PasteRequest> pOwned(pRequest);
    ULONG nId = pRequest->nId;
    switch (pRequest->ask) {
    case ASK_OFFER:
        OnOffer(pOwned.release());
        break;
    case ASK_KEY_GOING:
        if (m_phase == PHASE_OFFERED)
            m_key = KEY_SENT;
        m_answers.Answer(nId, m_phase == PHASE_OFFERED ? ANSWER_DONE : ANSWER_FAILED);
        break;
    case ASK_KEY_SENT:
        OnKeySent(nId);
        break;
    case ASK_KEY_FAILED:
        m_answers.Answer(nId, ANSWER_DONE);
        OnKeyFailed(pRequest->bPartly);
        break;
    case ASK_END_JOB:
        OnEndJob(nId);
        break;
    }
}

void CPasteKeeper::OnKeySent(ULONG nId)
{
    m_nKeyId = nId;
    if (m_phase == PHASE_HELD) {
        Answer(&m_nKeyId, ANSWER_DONE);
    } else if (m_phase == PHASE_OFFERED && m_bPreRead) {
        // It read the text before: its paste may not ask again.
        m_bAsked = true;
        m_hwndReader = NULL;
        m_phase = PHASE_READING;
        StartReading();
    } else if (m_phase == PHASE_OFFERED) {
        SetTimer(m_hWnd, TIMER_ASK, m_times.dwAsk, NULL);
    } else if (m_phase != PHASE_READING) {
        Answer(&m_nKeyId, m_bAsked ? ANSWER_DONE : ANSWER_FAILED);
    }
}

void CPasteKeeper::OnKeyFailed(bool bPartly)
{
    if (m_phase != PHASE_OFFERED)
        return;
    m_key = bPartly ? KEY_PARTLY : KEY_NONE;
    Withdraw(m_times.dwExitBound);
}

void CPasteKeeper::OnEndJob(ULONG nId)
{
    m_nEndId = nId;
    switch (m_phase) {
    case PHASE_HELD:
        m_phase = PHASE_PUTTING_BACK;
        SetTimer(m_hWnd, TIMER_MARGIN, m_nRestoreDelay > 0 ? m_nRestoreDelay : 1, NULL);
        break;
    case PHASE_READING:
        m_bJobEnd = true;
        break;
    case PHASE_OFFERED:
        Withdraw(m_times.dwExitBound);
        break;
    case PHASE_PUTTING_BACK:
        break;
    default:   // nothing owed, or the text lingers on its own time
        Answer(&m_nEndId, ANSWER_DONE);
        break;
    }
}

void CPasteKeeper::OnCancel(ULONG nId)
{
    if (nId == m_nOfferId && m_pOffer) {
        KillTimer(m_hWnd, TIMER_OFFER);
        m_pOffer.reset();
        m_nOfferId = 0;
        if (m_bSaved)
            Withdraw(0);
        else
            m_phase = PHASE_IDLE;
    } else if (nId == m_nLiveId && m_phase == PHASE_OFFERED && m_key == KEY_NONE) {
        StartPutBack();   // no Ctrl+V went: nothing can paste it
    } else if (nId == m_nKeyId) {
        m_nKeyId = 0;
        if (m_phase == PHASE_OFFERED)
            Withdraw(m_times.dwExitBound);
        else if (m_phase == PHASE_READING)
            m_bJobEnd = true;
    } else if (nId == m_nEndId) {
        m_nEndId = 0;   // the put-back goes on
    }
}
