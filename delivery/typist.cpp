#include "typist.h"

#include <process.h>

#include "charmode.h"
#include "paste.h"
#include "typekeys.h"

namespace {

bool IsKeyItem(wchar_t ch)
{
    return ch == L'\t' || ch == L'\r' || ch == kKeyMarker || ch == kPauseMarker;
}

// The runs of text go through the clipboard; Tab, Enter, key combinations
// and pauses between them are keys, as in the other modes.
TypingResult PasteWithKeys(const TypingJob& job, HANDLE hCancel)
{
    const std::wstring& text = job.strText;
    for (size_t i = 0; i < text.size();) {
        size_t n = 0;
        TypingResult result;
        if (!IsKeyItem(text[i])) {
            while (i + n < text.size() && !IsKeyItem(text[i + n]))
                ++n;
            result = PasteText(text.substr(i, n), job.hFocus, job.keys, hCancel);
        } else {
            n = text[i] == kKeyMarker || text[i] == kPauseMarker ? 2 : 1;
            result = TypeKeys(job.hFocus, text.substr(i, n), false, 0, job.keys, hCancel);
        }
        if (result != TYPING_DONE)
            return result;
        i += n;
    }
    return job.bShiftEnter ? TypeKeys(job.hFocus, std::wstring(), true, 0, job.keys, hCancel) : TYPING_DONE;
}

}  // namespace

TypingResult TypeText(const TypingJob& job, HANDLE hCancel)
{
    if (job.bPaste)
        return PasteWithKeys(job, hCancel);
    // Posted characters would overtake the keys of a combination, which are
    // input: a text with combinations goes as keys, the rest as Unicode input.
    if (!NeedsCharacterMode(job.strText) || HasKeyCombination(job.strText))
        return TypeKeys(job.hFocus, job.strText, job.bShiftEnter, job.nKeyDelay, job.keys, hCancel);
    return PlayCharacterMode(job.hFocus, PlanCharacterMode(job.strText, job.bShiftEnter),
                             job.nKeyDelay, hCancel);
}

CTypist::CTypist()
    : m_hThread(NULL), m_hJob(CreateEventA(NULL, FALSE, FALSE, NULL)),
      m_hDone(CreateEventA(NULL, TRUE, TRUE, NULL)), m_hCancel(CreateEventA(NULL, TRUE, FALSE, NULL)),
      m_bQuit(false), m_job(), m_result(TYPING_DONE)
{
}

CTypist::~CTypist()
{
    Cancel();
    if (m_hThread) {
        m_bQuit = true;
        SetEvent(m_hJob);
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
    }
    CloseHandle(m_hCancel);
    CloseHandle(m_hDone);
    CloseHandle(m_hJob);
}

bool CTypist::Start(const TypingJob& job)
{
    if (WaitForSingleObject(m_hDone, 0) != WAIT_OBJECT_0)
        return false;
    if (!m_hThread)
        m_hThread = (HANDLE)_beginthreadex(NULL, 0, Run, this, 0, NULL);
    if (!m_hThread)
        return false;
    m_job = job;
    ResetEvent(m_hCancel);
    ResetEvent(m_hDone);
    SetEvent(m_hJob);
    return true;
}

unsigned __stdcall CTypist::Run(void* pParam)
{
    CTypist* pThis = static_cast<CTypist*>(pParam);
    while (WaitForSingleObject(pThis->m_hJob, INFINITE) == WAIT_OBJECT_0 && !pThis->m_bQuit) {
        pThis->m_result = TypeText(pThis->m_job, pThis->m_hCancel);
        SetEvent(pThis->m_hDone);
    }
    return 0;
}

void CTypist::Cancel()
{
    SetEvent(m_hCancel);
    WaitForSingleObject(m_hDone, INFINITE);
}
