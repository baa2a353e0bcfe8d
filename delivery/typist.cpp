#include "typist.h"

#include <process.h>

#include "charmode.h"
#include "paste.h"
#include "typekeys.h"

namespace {

// Tries at posting the end of a job, 20 ms apart.
const int kPostTries = 50;

// Tab, Enter, key combinations and pauses go as keys in every mode.
bool IsKeyItem(const TypedItem& item)
{
    return item.kind != TypedItem::kChar || item.Char() == L'\t' || item.Char() == L'\r';
}

std::wstring ItemText(const TypedItem& item)
{
    std::wstring text;
    if (item.kind == TypedItem::kKey)
        AppendKey(text, item.bVk, item.bMods);
    else if (item.kind == TypedItem::kPause)
        AppendPause(text, item.dwMs);
    else
        text.assign(item.awch, item.nUnits);
    return text;
}

// The runs of text go through the clipboard; the keys between them are
// typed as keys. The user's clipboard is saved once for the job and put
// back once, after its last run.
TypingResult PasteWithKeys(const TypingJob& job, CTypingGuard& guard)
{
    CPasteJob paste(guard.CancelEvent(), job.nPasteRestoreDelay);
    std::wstring strRun;
    size_t nRun = 0;
    CTypedWalk walk(job.strText);
    TypedItem item;
    for (bool bMore = true; bMore;) {
        bMore = walk.Next(&item);
        if (bMore && !IsKeyItem(item)) {
            strRun.append(item.awch, item.nUnits);
            ++nRun;
            continue;
        }
        TypingResult result = TYPING_DONE;
        if (!strRun.empty() && (result = guard.Check()) == TYPING_DONE &&
            (result = paste.Paste(strRun, job.hFocus, job.keys, guard.Front())) == TYPING_DONE)
            guard.Count(nRun);
        strRun.clear();
        nRun = 0;
        if (result == TYPING_DONE && bMore)
            result = TypeKeys(job.hFocus, ItemText(item), false, 0, job.keys, guard);
        if (result != TYPING_DONE)
            return result;
    }
    TypingResult result = job.bShiftEnter ? TypeKeys(job.hFocus, std::wstring(), true, 0, job.keys, guard)
                                          : TYPING_DONE;
    TypingResult end = paste.End();
    return result == TYPING_DONE ? end : result;
}

}  // namespace

TypingResult TypeText(const TypingJob& job, CTypingGuard& guard)
{
    if (job.bPaste)
        return PasteWithKeys(job, guard);
    // Posted characters would overtake the keys of a combination, which are
    // input: a text with combinations goes as keys, the rest as Unicode input.
    if (!NeedsCharacterMode(job.strText) || HasKeyCombination(job.strText))
        return TypeKeys(job.hFocus, job.strText, job.bShiftEnter, job.nKeyDelay, job.keys, guard);
    return PlayCharacterMode(job.hFocus, PlanCharacterMode(job.strText, job.bShiftEnter),
                             job.nKeyDelay, guard);
}

CTypist::CTypist()
    : m_hThread(NULL), m_hJob(CreateEventA(NULL, FALSE, FALSE, NULL)),
      m_hDone(CreateEventA(NULL, TRUE, TRUE, NULL)), m_hCancel(CreateEventA(NULL, TRUE, FALSE, NULL)),
      m_hQuit(CreateEventA(NULL, TRUE, FALSE, NULL)), m_handover(), m_result(TYPING_DONE), m_nTyped(0)
{
    InitializeCriticalSection(&m_lock);
}

CTypist::~CTypist()
{
    Cancel();
    if (m_hThread) {
        SetEvent(m_hQuit);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
    }
    DeleteCriticalSection(&m_lock);
    CloseHandle(m_hQuit);
    CloseHandle(m_hCancel);
    CloseHandle(m_hDone);
    CloseHandle(m_hJob);
}

bool CTypist::Start(const TypingJob& job, HWND hNotify, UINT uMsg)
{
    if (WaitForSingleObject(m_hDone, 0) != WAIT_OBJECT_0)
        return false;
    if (!m_hThread)
        m_hThread = (HANDLE)_beginthreadex(NULL, 0, Run, this, 0, NULL);
    if (!m_hThread)
        return false;
    // The thread may still be posting the end of the last job: it posts to
    // the target it took with that job, never to this one.
    EnterCriticalSection(&m_lock);
    m_handover.job = job;
    m_handover.hNotify = hNotify;
    m_handover.uMsg = uMsg;
    LeaveCriticalSection(&m_lock);
    m_result = TYPING_DONE;
    m_nTyped = 0;
    ResetEvent(m_hCancel);
    ResetEvent(m_hDone);
    SetEvent(m_hJob);
    return true;
}

CTypist::Handover CTypist::Take()
{
    EnterCriticalSection(&m_lock);
    Handover handover = m_handover;
    LeaveCriticalSection(&m_lock);
    return handover;
}

unsigned __stdcall CTypist::Run(void* pParam)
{
    CTypist* pThis = static_cast<CTypist*>(pParam);
    // The quit comes first: a job handed over with it is not begun.
    HANDLE ahWait[2] = { pThis->m_hQuit, pThis->m_hJob };
    while (WaitForMultipleObjects(2, ahWait, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        Handover handover = pThis->Take();
        CTypingGuard guard(pThis->m_hCancel, handover.job.hFront);
        pThis->m_result = TypeText(handover.job, guard);
        pThis->m_nTyped = guard.Typed();
        SetEvent(pThis->m_hDone);
        // A full queue refuses the message: a while later it may take it,
        // and the window looks for the job's end itself meanwhile.
        for (int nTries = 0; handover.hNotify && !PostMessageA(handover.hNotify, handover.uMsg, 0, 0) &&
                             IsWindow(handover.hNotify) && nTries < kPostTries; ++nTries) {
            if (WaitForSingleObject(pThis->m_hCancel, 20) == WAIT_OBJECT_0)
                break;
        }
    }
    return 0;
}

void CTypist::Cancel()
{
    SetEvent(m_hCancel);
    WaitForSingleObject(m_hDone, INFINITE);
}
