#include "typist.h"

#include <process.h>

#include "charmode.h"
#include "typekeys.h"

TypingResult TypeText(const TypingJob& job, HANDLE hCancel)
{
    // Posted characters would overtake the keys of a combination, which are
    // input: a text with combinations goes as keys, the rest as Unicode input.
    if (!NeedsCharacterMode(job.strText) || HasKeyCombination(job.strText))
        return TypeKeys(job.hFocus, job.strText, job.bShiftEnter, job.nKeyDelay, job.keys, hCancel);
    return PlayCharacterMode(job.hFocus, PlanCharacterMode(job.strText, job.bShiftEnter),
                             job.nKeyDelay, hCancel);
}

CTypist::CTypist()
    : m_hThread(NULL), m_hDone(CreateEventA(NULL, TRUE, TRUE, NULL)),
      m_hCancel(CreateEventA(NULL, TRUE, FALSE, NULL)), m_job(), m_result(TYPING_DONE)
{
}

CTypist::~CTypist()
{
    Cancel();
    CloseHandle(m_hCancel);
    CloseHandle(m_hDone);
}

bool CTypist::Start(const TypingJob& job)
{
    if (m_hThread && WaitForSingleObject(m_hDone, 0) != WAIT_OBJECT_0)
        return false;
    Join();
    m_job = job;
    ResetEvent(m_hCancel);
    ResetEvent(m_hDone);
    m_hThread = (HANDLE)_beginthreadex(NULL, 0, Run, this, 0, NULL);
    if (!m_hThread) {
        SetEvent(m_hDone);
        return false;
    }
    return true;
}

unsigned __stdcall CTypist::Run(void* pParam)
{
    CTypist* pThis = static_cast<CTypist*>(pParam);
    pThis->m_result = TypeText(pThis->m_job, pThis->m_hCancel);
    SetEvent(pThis->m_hDone);
    return 0;
}

void CTypist::Cancel()
{
    SetEvent(m_hCancel);
    Join();
}

void CTypist::Join()
{
    if (!m_hThread)
        return;
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = NULL;
}
