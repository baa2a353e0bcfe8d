#include "paste.h"

#include <utility>

#include "keeper.h"
#include "typekeys.h"

namespace {

const DWORD kTakeTimeout = 5000;     // ms the target has to take the Ctrl+V
const DWORD kAskTimeout = 5000;      // ms the target has to ask for the text, once it took the Ctrl+V
const DWORD kOfferTimeout = 10000;   // ms an offer may take (EmptyClipboard waits for a hung owner)

// Clipboard text ends its lines with CR LF.
std::wstring ClipboardText(const std::wstring& strText)
{
    std::wstring out;
    out.reserve(strText.size() + 16);
    CTypedWalk walk(strText);
    for (TypedItem item; walk.Next(&item);) {
        if (item.kind != TypedItem::kChar)
            continue;
        if (item.Char() == L'\r')
            out += L"\r\n";
        else
            out.append(item.awch, item.nUnits);
    }
    return out;
}

}  // namespace

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
        if (CTypingGuard(hCancel).Pause(kPoll) != TYPING_DONE)
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

TypingResult PasteText(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys,
                       HANDLE hCancel, int nRestoreDelay, HWND hFront)
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
    // The guard looks at the front just before the Ctrl+V.
    CTypingGuard guard(hCancel, hFront);
    result = SendPlan(PlanShortcut('V', layout, keys), 0, guard, hFocus);
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
