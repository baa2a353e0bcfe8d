#include "pasterequest.h"

CAnswerSlot::CAnswerSlot()
    : m_hAnswered(CreateEventA(NULL, FALSE, FALSE, NULL)), m_nLast(0), m_nAwaited(0), m_bAnswered(false),
      m_answer(ANSWER_FAILED)
{
    InitializeCriticalSection(&m_cs);
}

CAnswerSlot::~CAnswerSlot()
{
    CloseHandle(m_hAnswered);
    DeleteCriticalSection(&m_cs);
}

ULONG CAnswerSlot::Expect()
{
    EnterCriticalSection(&m_cs);
    if (++m_nLast == 0)
        ++m_nLast;
    m_nAwaited = m_nLast;
    m_bAnswered = false;
    ULONG nId = m_nLast;
    LeaveCriticalSection(&m_cs);
    return nId;
}

void CAnswerSlot::Answer(ULONG nId, PasteAnswer answer)
{
    EnterCriticalSection(&m_cs);
    bool bKept = nId && nId == m_nAwaited && !m_bAnswered;
    if (bKept) {
        m_bAnswered = true;
        m_answer = answer;
    }
    LeaveCriticalSection(&m_cs);
    if (bKept)
        SetEvent(m_hAnswered);
}

PasteAnswer CAnswerSlot::Wait(ULONG nId, HANDLE hCancel)
{
    for (;;) {
        EnterCriticalSection(&m_cs);
        bool bAnswered = m_nAwaited == nId && m_bAnswered;
        PasteAnswer answer = m_answer;
        if (bAnswered)
            m_nAwaited = 0;
        LeaveCriticalSection(&m_cs);
        if (bAnswered)
            return answer;
        // An answer to an earlier id may have set the event: looked at again.
        HANDLE handles[2] = { m_hAnswered, hCancel };
        if (WaitForMultipleObjects(hCancel ? 2 : 1, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
            EnterCriticalSection(&m_cs);
            if (m_nAwaited == nId)
                m_nAwaited = 0;
            LeaveCriticalSection(&m_cs);
            return ANSWER_CANCELLED;
        }
    }
}
