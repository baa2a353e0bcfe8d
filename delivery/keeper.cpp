#include "keeper.h"

#include <process.h>

namespace {

const DWORD kOpenTimeout = 500;      // ms another program may hold the clipboard before an offer gives up
const DWORD kRetryEvery = 1000;      // ms between later tries to put the user's content back
const DWORD kLingerTimeout = 30000;  // ms a text not taken stays on the clipboard for the user
const DWORD kQuitTimeout = 1000;     // ms the program's end waits for the clipboard

enum { TIMER_OFFER = 1, TIMER_STEP, TIMER_LINGER, TIMER_PUTBACK };

// Marks the open clipboard's content as one that clipboard history and cloud
// clipboard do not record.
void MarkUnrecorded()
{
    static const struct {
        const char* pszFormat;
        DWORD dwValue;
    } kMarks[] = {
        { "ExcludeClipboardContentFromMonitorProcessing", 0 },
        { "CanIncludeInClipboardHistory", 0 },
        { "CanUploadToCloudClipboard", 0 },
    };
    for (const auto& mark : kMarks) {
        HGLOBAL h = GlobalCopy(&mark.dwValue, sizeof(mark.dwValue));
        if (h && !SetClipboardData(RegisterClipboardFormatA(mark.pszFormat), h))
            GlobalFree(h);
    }
}

CPasteKeeper* s_pKeeper;

}  // namespace

CPasteKeeper& Keeper()
{
    static CPasteKeeper s_keeper;
    return s_keeper;
}

CPasteKeeper::CPasteKeeper()
    : m_hThread(NULL), m_hChanged(CreateEventA(NULL, FALSE, FALSE, NULL)), m_hWnd(NULL), m_phase(PHASE_IDLE),
      m_outcome(OUTCOME_PENDING), m_bReport(false), m_bQuitting(false), m_dwSeq(0), m_bHeld(false),
      m_bTextOn(false), m_bAbandoned(false), m_hwndTarget(NULL), m_dwTargetPid(0), m_nRestoreDelay(0),
      m_bKeySent(false), m_bKeyTaken(false), m_bPreRead(false), m_bAsked(false), m_hwndReader(NULL), m_step(STEP_READING),
      m_dwDeadline(0), m_bReturned(false), m_nGeneration(0)
{
    InitializeCriticalSection(&m_cs);
    s_pKeeper = this;
}

CPasteKeeper::~CPasteKeeper()
{
    End();
    s_pKeeper = NULL;
    CloseHandle(m_hChanged);
    DeleteCriticalSection(&m_cs);
}

bool CPasteKeeper::Start()
{
    if (m_hThread && WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT)
        return true;
    if (m_hThread)
        CloseHandle(m_hThread);
    m_hThread = NULL;
    m_hWnd = NULL;
    m_bQuitting = false;
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
    CPasteKeeper* pThis = s_pKeeper;
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
    return 0;
}

void CPasteKeeper::End()
{
    if (m_hThread) {
        Post(KM_QUIT);
        if (WaitForSingleObject(m_hThread, kQuitTimeout + 1000) == WAIT_OBJECT_0) {
            CloseHandle(m_hThread);
            m_hThread = NULL;
            m_hWnd = NULL;
        }
    }
    EndClipboardSaver();
}

LRESULT CALLBACK CPasteKeeper::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CPasteKeeper* pThis = s_pKeeper;
    switch (uMsg) {
    case KM_OFFER: pThis->OnOffer(); return 0;
    case KM_FINISH: pThis->OnFinish(); return 0;
    case KM_LINGER: pThis->OnLinger(); return 0;
    case KM_PUTBACK: pThis->StartPutBack(kPutBackTimeout, false); return 0;
    case KM_QUIT: pThis->OnQuit(); return 0;
    case WM_TIMER: pThis->OnTimer(wParam); return 0;
    case WM_RENDERFORMAT: return pThis->OnRenderFormat((UINT)wParam);
    case WM_RENDERALLFORMATS: pThis->OnRenderAllFormats(); return 0;
    case WM_DESTROYCLIPBOARD: pThis->OnDestroyClipboard(); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

void CPasteKeeper::Report(Outcome outcome)
{
    EnterCriticalSection(&m_cs);
    m_outcome = outcome;
    LeaveCriticalSection(&m_cs);
    SetEvent(m_hChanged);
}

bool CPasteKeeper::Holding()
{
    EnterCriticalSection(&m_cs);
    bool bOurs = m_bTextOn;
    LeaveCriticalSection(&m_cs);
    return bOurs && GetClipboardOwner() == m_hWnd;
}

// ---------------------------------------------------------------- the keeper's thread

void CPasteKeeper::OnOffer()
{
    KillTimer(m_hWnd, TIMER_STEP);
    KillTimer(m_hWnd, TIMER_LINGER);
    KillTimer(m_hWnd, TIMER_PUTBACK);
    m_dwDeadline = GetTickCount() + kOpenTimeout;
    TryOffer();
}

void CPasteKeeper::TryOffer()
{
    if (!OpenClipboard(m_hWnd)) {
        if (!IsPast(m_dwDeadline)) {
            SetTimer(m_hWnd, TIMER_OFFER, kPoll, NULL);
            return;
        }
        EnterCriticalSection(&m_cs);
        // Our earlier text, if any, stays as it was.
        bool bLinger = m_bHeld && m_bTextOn;
        m_phase = bLinger ? PHASE_LINGERING : PHASE_IDLE;
        if (!bLinger)
            m_saved.Clear();
        LeaveCriticalSection(&m_cs);
        if (bLinger)
            SetTimer(m_hWnd, TIMER_LINGER, kLingerTimeout, NULL);
        Report(OUTCOME_FAILED);
        return;
    }
    EnterCriticalSection(&m_cs);
    bool bChanged = m_bHeld ? !m_bTextOn : GetClipboardSequenceNumber() != m_dwSeq;
    LeaveCriticalSection(&m_cs);
    Outcome outcome = OUTCOME_CHANGED;
    if (!bChanged) {
        EmptyClipboard();
        // Delayed: the text is asked of us when someone reads it.
        SetClipboardData(CF_UNICODETEXT, NULL);
        outcome = IsClipboardFormatAvailable(CF_UNICODETEXT) ? OUTCOME_DONE : OUTCOME_FAILED;
        if (outcome == OUTCOME_DONE)
            MarkUnrecorded();
    }
    EnterCriticalSection(&m_cs);
    if (outcome == OUTCOME_DONE) {
        m_phase = PHASE_WAITING;
        m_bTextOn = true;
    } else {
        if (outcome == OUTCOME_FAILED) {
            EmptyClipboard();
            m_saved.Restore();
            m_bTextOn = false;
        }
        m_saved.Clear();
        m_phase = PHASE_IDLE;
    }
    bool bAbandoned = m_bAbandoned;
    LeaveCriticalSection(&m_cs);
    CloseClipboard();
    Report(outcome);
    if (bAbandoned && outcome == OUTCOME_DONE)
        StartPutBack(kPutBackTimeout, false);
}

LRESULT CPasteKeeper::OnRenderFormat(UINT nFormat)
{
    if (nFormat != CF_UNICODETEXT)
        return 0;
    // The window that asks has the clipboard open.
    HWND hwndReader = GetOpenClipboardWindow();
    DWORD dwPid = 0;
    if (hwndReader)
        GetWindowThreadProcessId(hwndReader, &dwPid);
    bool bRender = true, bLatePaste = false;
    EnterCriticalSection(&m_cs);
    bool bTarget = dwPid && dwPid == m_dwTargetPid;
    if (m_phase == PHASE_WAITING) {
        // Only the target's paste gets the text. Whoever else asks first (a
        // clipboard monitor) would leave it rendered, and the target's own
        // request, the sign that it pasted, would never come. The target's
        // program asking before the Ctrl+V (a remote-desktop client passing
        // the clipboard on) is not its paste either.
        if (bTarget || (!hwndReader && m_bKeyTaken)) {
            m_hwndReader = hwndReader;
            (m_bKeySent ? m_bAsked : m_bPreRead) = true;
        } else {
            bRender = false;
        }
    } else if (m_phase == PHASE_LINGERING && bTarget) {
        // The target pastes after all: the user's content comes back once it is done.
        m_hwndReader = hwndReader;
        m_phase = PHASE_TAKEN;
        bLatePaste = true;
    }
    std::wstring strText = bRender ? m_strText : std::wstring();
    LeaveCriticalSection(&m_cs);
    if (bRender) {
        HGLOBAL h = GlobalCopy(strText.c_str(), (strText.size() + 1) * sizeof(wchar_t));
        if (h && !SetClipboardData(CF_UNICODETEXT, h))
            GlobalFree(h);
    }
    if (bLatePaste)
        Post(KM_FINISH);
    SetEvent(m_hChanged);
    return 0;
}

void CPasteKeeper::OnRenderAllFormats()
{
    // Going away with the text still offered: it stays on the clipboard as data.
    if (!OpenClipboard(m_hWnd))
        return;
    EnterCriticalSection(&m_cs);
    std::wstring strText = m_bTextOn ? m_strText : std::wstring();
    LeaveCriticalSection(&m_cs);
    if (!strText.empty() && GetClipboardOwner() == m_hWnd) {
        HGLOBAL h = GlobalCopy(strText.c_str(), (strText.size() + 1) * sizeof(wchar_t));
        if (h && !SetClipboardData(CF_UNICODETEXT, h))
            GlobalFree(h);
    }
    CloseClipboard();
}

void CPasteKeeper::OnDestroyClipboard()
{
    // Our own offer and put-back empty it with the clipboard open for us.
    if (GetOpenClipboardWindow() == m_hWnd)
        return;
    EnterCriticalSection(&m_cs);
    m_bTextOn = false;
    m_saved.Clear();
    bool bOffering = m_phase == PHASE_OFFERING, bReport = m_bReport;
    if (!bOffering)
        m_phase = PHASE_IDLE;
    m_bReport = false;
    LeaveCriticalSection(&m_cs);
    if (!bOffering) {
        KillTimer(m_hWnd, TIMER_STEP);
        KillTimer(m_hWnd, TIMER_LINGER);
        KillTimer(m_hWnd, TIMER_PUTBACK);
    }
    // As the other program left it: nothing is owed.
    if (bReport)
        Report(OUTCOME_DONE);
    SetEvent(m_hChanged);
    if (m_bQuitting && !bOffering)
        DestroyWindow(m_hWnd);
}

void CPasteKeeper::OnFinish()
{
    KillTimer(m_hWnd, TIMER_LINGER);
    EnterCriticalSection(&m_cs);
    m_step = STEP_READING;
    m_bReturned = false;
    LeaveCriticalSection(&m_cs);
    m_dwDeadline = GetTickCount() + kReadTimeout;
    SetTimer(m_hWnd, TIMER_STEP, kPoll, NULL);
    Step();
}

void CALLBACK CPasteKeeper::OnReturned(HWND, UINT, ULONG_PTR dwData, LRESULT)
{
    CPasteKeeper* pThis = s_pKeeper;
    if (pThis && dwData == pThis->m_nGeneration && pThis->m_step == STEP_RETURNING) {
        pThis->m_bReturned = true;
        pThis->Step();
    }
}

// The target closes the clipboard, then comes back from its paste (answers
// a message), then the margin passes; each with a bound.
void CPasteKeeper::Step()
{
    EnterCriticalSection(&m_cs);
    HWND hwndReader = m_hwndReader, hwndTarget = m_hwndTarget;
    ULONG_PTR nGeneration = m_nGeneration;
    LeaveCriticalSection(&m_cs);
    switch (m_step) {
    case STEP_READING:
        if (hwndReader && GetOpenClipboardWindow() == hwndReader && !IsPast(m_dwDeadline))
            return;
        m_step = STEP_RETURNING;
        m_dwDeadline = GetTickCount() + kReturnTimeout;
        if (IsWindow(hwndTarget) &&
            SendMessageCallbackA(hwndTarget, WM_NULL, 0, 0, OnReturned, nGeneration))
            return;
        [[fallthrough]];
    case STEP_RETURNING:
        if (!m_bReturned && !IsPast(m_dwDeadline))
            return;
        m_step = STEP_MARGIN;
        SetTimer(m_hWnd, TIMER_STEP, m_nRestoreDelay > 0 ? m_nRestoreDelay : 1, NULL);
        return;
    case STEP_MARGIN:
        KillTimer(m_hWnd, TIMER_STEP);
        EnterCriticalSection(&m_cs);
        bool bReport = m_bReport;
        LeaveCriticalSection(&m_cs);
        StartPutBack(kPutBackTimeout, bReport);
        return;
    }
}

void CPasteKeeper::OnLinger()
{
    EnterCriticalSection(&m_cs);
    bool bLinger = m_phase == PHASE_LINGERING;
    LeaveCriticalSection(&m_cs);
    if (bLinger)
        SetTimer(m_hWnd, TIMER_LINGER, kLingerTimeout, NULL);
}

void CPasteKeeper::OnTimer(UINT_PTR nId)
{
    switch (nId) {
    case TIMER_OFFER:
        KillTimer(m_hWnd, TIMER_OFFER);
        TryOffer();
        break;
    case TIMER_STEP:
        Step();
        break;
    case TIMER_LINGER:
        KillTimer(m_hWnd, TIMER_LINGER);
        StartPutBack(kPutBackTimeout, false);
        break;
    case TIMER_PUTBACK:
        KillTimer(m_hWnd, TIMER_PUTBACK);
        TryPutBack();
        break;
    }
}

void CPasteKeeper::StartPutBack(DWORD dwTimeout, bool bReport)
{
    EnterCriticalSection(&m_cs);
    if (m_phase != PHASE_IDLE && m_phase != PHASE_OFFERING)
        m_phase = PHASE_PUTTING_BACK;
    m_bReport = bReport;
    LeaveCriticalSection(&m_cs);
    KillTimer(m_hWnd, TIMER_STEP);
    KillTimer(m_hWnd, TIMER_LINGER);
    m_dwDeadline = GetTickCount() + dwTimeout;
    TryPutBack();
}

void CPasteKeeper::TryPutBack()
{
    EnterCriticalSection(&m_cs);
    bool bDue = m_phase == PHASE_PUTTING_BACK && m_bTextOn;
    LeaveCriticalSection(&m_cs);
    if (bDue && GetClipboardOwner() == m_hWnd) {
        if (!OpenClipboard(m_hWnd)) {
            // Another program holds it open: try again, and tell the typing
            // thread if it waits past the bound.
            bool bLate = IsPast(m_dwDeadline);
            if (bLate && m_bQuitting) {
                DestroyWindow(m_hWnd);
                return;
            }
            EnterCriticalSection(&m_cs);
            bool bReport = m_bReport && bLate;
            if (bReport)
                m_bReport = false;
            LeaveCriticalSection(&m_cs);
            if (bReport)
                Report(OUTCOME_FAILED);
            SetTimer(m_hWnd, TIMER_PUTBACK, bLate ? kRetryEvery : kPoll, NULL);
            return;
        }
        EmptyClipboard();
        EnterCriticalSection(&m_cs);
        bool bEmpty = m_saved.Empty();
        m_saved.Restore();
        m_bTextOn = false;
        LeaveCriticalSection(&m_cs);
        // The user's copy is in the clipboard history already.
        if (!bEmpty)
            MarkUnrecorded();
        CloseClipboard();
    }
    EnterCriticalSection(&m_cs);
    if (bDue && m_phase == PHASE_PUTTING_BACK) {
        m_phase = PHASE_IDLE;
        m_saved.Clear();
    }
    bool bReport = m_bReport;
    m_bReport = false;
    LeaveCriticalSection(&m_cs);
    if (bReport)
        Report(OUTCOME_DONE);
    if (m_bQuitting)
        DestroyWindow(m_hWnd);
}

void CPasteKeeper::OnQuit()
{
    m_bQuitting = true;
    KillTimer(m_hWnd, TIMER_OFFER);
    EnterCriticalSection(&m_cs);
    bool bOurs = m_bTextOn;
    if (bOurs)
        m_phase = PHASE_PUTTING_BACK;
    LeaveCriticalSection(&m_cs);
    if (bOurs)
        StartPutBack(kQuitTimeout, false);
    else
        DestroyWindow(m_hWnd);
}
