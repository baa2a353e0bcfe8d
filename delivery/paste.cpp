#include "paste.h"

#include <process.h>

#include <utility>

#include "clipsave.h"
#include "typekeys.h"

namespace {

const DWORD kOpenTimeout = 500;      // ms another program may hold the clipboard before an offer gives up
const DWORD kTakeTimeout = 5000;     // ms the target has to take the Ctrl+V
const DWORD kAskTimeout = 5000;      // ms the target has to ask for the text, once it took the Ctrl+V
const DWORD kReadTimeout = 2000;     // ms the target may keep the clipboard open to read it
const DWORD kReturnTimeout = 2000;   // ms the target has to come back from its paste
const DWORD kPutBackTimeout = 2000;  // ms the put-back is tried before it counts as failed
const DWORD kRetryEvery = 1000;      // ms between later tries
const DWORD kLingerTimeout = 30000;  // ms a text not taken stays on the clipboard for the user
const DWORD kOfferTimeout = 10000;   // ms an offer may take (EmptyClipboard waits for a hung owner)
const DWORD kQuitTimeout = 1000;     // ms the program's end waits for the clipboard
const DWORD kPoll = 10;

enum {
    KM_OFFER = WM_APP,   // the offer the typing thread made ready
    KM_FINISH,           // the target has asked: put back once it is done
    KM_LINGER,           // not taken: the text stays a while
    KM_PUTBACK,          // put back now
    KM_QUIT              // the program ends
};

enum { TIMER_OFFER = 1, TIMER_STEP, TIMER_LINGER, TIMER_PUTBACK };

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

// Clipboard text ends its lines with CR LF.
std::wstring ClipboardText(const std::wstring& strText)
{
    std::wstring out;
    out.reserve(strText.size() + 16);
    for (size_t i = 0; i < strText.size(); ++i) {
        wchar_t ch = strText[i];
        if (ch == L'\r' && i + 1 < strText.size() && strText[i + 1] == L'\n')
            ++i;
        if (ch == L'\r' || ch == L'\n')
            out += L"\r\n";
        else
            out += ch;
    }
    return out;
}

bool IsPast(DWORD dwDeadline)
{
    return (LONG)(GetTickCount() - dwDeadline) >= 0;
}

// This thread shares the target's input state while the Ctrl+V goes, so that
// the toggle bit of V turns once the target has taken the key, as the key
// typing watches its last key.
class CKeyWatch {
public:
    explicit CKeyWatch(DWORD dwThread) : m_dwThread(dwThread)
    {
        MSG msg;   // a thread joins only once it has a message queue
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
        m_bJoined = AttachThreadInput(GetCurrentThreadId(), dwThread, TRUE) != FALSE;
        m_nToggle = GetKeyState('V') & 1;
    }
    ~CKeyWatch()
    {
        if (m_bJoined)
            AttachThreadInput(GetCurrentThreadId(), m_dwThread, FALSE);
    }
    // Also true when it cannot be told: then the request alone counts.
    bool Taken() const
    {
        // Wine shows a thread the key state as of the last message it looked
        // for: looking lets the target's progress through.
        MSG msg;
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
        return !m_bJoined || (GetKeyState('V') & 1) != m_nToggle;
    }

private:
    DWORD m_dwThread;
    bool m_bJoined;
    SHORT m_nToggle;
};

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

CPasteKeeper* s_pKeeper;

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

template <typename F>
bool CPasteKeeper::WaitFor(F fDone, DWORD dwTimeout, HANDLE hCancel)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        EnterCriticalSection(&m_cs);
        bool bDone = fDone();
        LeaveCriticalSection(&m_cs);
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (bDone || dwElapsed >= dwTimeout)
            return true;
        HANDLE handles[2] = { m_hChanged, hCancel };
        if (WaitForMultipleObjects(hCancel ? 2 : 1, handles, FALSE, dwTimeout - dwElapsed) == WAIT_OBJECT_0 + 1)
            return false;
    }
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

// ---------------------------------------------------------------- the typing thread's part

TypingResult CPasteKeeper::Offer(const std::wstring& strText, HWND hTarget, int nRestoreDelay, HANDLE hCancel)
{
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hTarget, &dwPid);
    for (int nTry = 0; nTry < 3; ++nTry) {
        // Our own earlier text, not taken, is replaced; the user's content
        // saved with it stays the one to give back.
        bool bHeld = Holding();
        CSavedClipboard saved;
        DWORD dwSeq = 0;
        if (!bHeld) {
            SaveResult result = SaveClipboard(&saved, &dwSeq, hCancel);
            if (result != SAVE_DONE)
                return result == SAVE_CANCELLED ? TYPING_CANCELLED : TYPING_FAILED;
        }
        EnterCriticalSection(&m_cs);
        m_phase = PHASE_OFFERING;
        m_outcome = OUTCOME_PENDING;
        m_bHeld = bHeld;
        if (!bHeld)
            m_saved = std::move(saved);
        m_dwSeq = dwSeq;
        m_bAbandoned = m_bKeySent = m_bKeyTaken = m_bPreRead = m_bAsked = false;
        m_strText = strText;
        m_hwndTarget = hTarget;
        m_dwTargetPid = dwPid;
        m_nRestoreDelay = nRestoreDelay;
        m_hwndReader = NULL;
        ++m_nGeneration;
        LeaveCriticalSection(&m_cs);
        Post(KM_OFFER);
        Outcome outcome = OUTCOME_PENDING;
        if (!WaitFor([&] { return (outcome = m_outcome) != OUTCOME_PENDING; }, kOfferTimeout, hCancel)) {
            // Nothing was pasted: once made, the offer is taken back.
            EnterCriticalSection(&m_cs);
            m_bAbandoned = true;
            LeaveCriticalSection(&m_cs);
            Post(KM_PUTBACK);
            return TYPING_CANCELLED;
        }
        if (outcome != OUTCOME_CHANGED)
            return outcome == OUTCOME_DONE ? TYPING_DONE : TYPING_FAILED;
        // Someone copied since the save: save again.
    }
    return TYPING_FAILED;
}

TypingResult CPasteKeeper::Linger(TypingResult result)
{
    EnterCriticalSection(&m_cs);
    if (m_phase == PHASE_WAITING)
        m_phase = PHASE_LINGERING;
    LeaveCriticalSection(&m_cs);
    Post(KM_LINGER);
    return result;
}

void CPasteKeeper::NoteKeySent()
{
    EnterCriticalSection(&m_cs);
    m_bKeySent = true;
    LeaveCriticalSection(&m_cs);
}

TypingResult CPasteKeeper::WaitForTarget(const CKeyWatch& watch, HANDLE hCancel)
{
    // A target that has not taken the Ctrl+V may still take it and paste:
    // the user's content must not be there when it does. Its request shows
    // it took the key as well as its key state does.
    bool bAsked = false, bGone = false;
    for (DWORD dwStart = GetTickCount(); !watch.Taken();) {
        EnterCriticalSection(&m_cs);
        bAsked = m_bAsked;
        LeaveCriticalSection(&m_cs);
        if (bAsked)
            break;
        if (GetTickCount() - dwStart >= kTakeTimeout)
            return Linger(TYPING_NOT_TAKEN);
        if (PauseTyping(hCancel, kPoll))
            return Linger(TYPING_CANCELLED);
    }
    EnterCriticalSection(&m_cs);
    m_bKeyTaken = true;
    m_bAsked |= m_bPreRead;
    LeaveCriticalSection(&m_cs);
    if (!WaitFor([&] { return (bAsked = m_bAsked) || (bGone = m_phase != PHASE_WAITING); }, kAskTimeout, hCancel))
        return Linger(TYPING_CANCELLED);
    if (!bAsked)
        return bGone ? TYPING_FAILED : Linger(TYPING_NOT_TAKEN);
    EnterCriticalSection(&m_cs);
    // Another program may have changed the clipboard since: left as it is.
    bool bOurs = m_phase == PHASE_WAITING;
    if (bOurs) {
        m_phase = PHASE_TAKEN;
        m_outcome = OUTCOME_PENDING;
        m_bReport = true;
    }
    DWORD dwFinish = kReadTimeout + kReturnTimeout + m_nRestoreDelay + kPutBackTimeout + 2000;
    LeaveCriticalSection(&m_cs);
    if (!bOurs)
        return TYPING_DONE;
    Post(KM_FINISH);
    Outcome outcome = OUTCOME_PENDING;
    if (!WaitFor([&] { return (outcome = m_outcome) != OUTCOME_PENDING; }, dwFinish, hCancel)) {
        EnterCriticalSection(&m_cs);
        m_bReport = false;
        LeaveCriticalSection(&m_cs);
        return TYPING_CANCELLED;
    }
    return outcome == OUTCOME_DONE ? TYPING_DONE : TYPING_CLIPBOARD_NOT_BACK;
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

}  // namespace

TypingResult PasteText(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys,
                       HANDLE hCancel, int nRestoreDelay)
{
    if (strText.empty())
        return TYPING_DONE;
    if (hCancel && WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0)
        return TYPING_CANCELLED;
    CPasteKeeper& keeper = Keeper();
    if (!keeper.Start())
        return TYPING_FAILED;
    TypingResult result = keeper.Offer(ClipboardText(strText), hFocus, nRestoreDelay, hCancel);
    if (result != TYPING_DONE)
        return result;
    DWORD dwThread = GetWindowThreadProcessId(hFocus, NULL);
    CKeyWatch watch(dwThread);
    CThreadLayout layout(GetKeyboardLayout(dwThread));
    keeper.NoteKeySent();
    result = SendPlan(PlanShortcut('V', layout, keys), 0, hCancel, hFocus);
    if (result != TYPING_DONE) {
        // No Ctrl+V reached the target: nothing to wait for.
        keeper.PutBackNow();
        return result;
    }
    return keeper.WaitForTarget(watch, hCancel);
}

void GiveClipboardBack()
{
    Keeper().End();
}
