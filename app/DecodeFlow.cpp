// The engine's decode message is answered at once, once the engine is
// silenced and the text copied: the engine's thread never waits for a
// typing, and nothing the program does while a code is typed or held off
// (Exit, Restart, the device watch, a toggle, a window with its own message
// loop) runs inside the engine's call.
#include "DecodeFlow.h"

#include <new>

namespace {

// Decodes that may wait for the one under way: the engine is silenced, so
// only one on its way already should ever wait; an engine that goes on
// decoding regardless must not grow the queue without bound.
const size_t kMaxWaiting = 16;

// "Type again" waits this many times 20 ms for the user's window.
const int kRetypeWaits = 50;

// The typing thread's message can be lost (a full queue refuses it): the
// typing is looked at this often, so that the scanner is never left silenced.
const UINT kWatchdogMs = 1000;

}  // namespace

CDecodeFlow::CDecodeFlow(IScanEngine& engine, IDecodeHost& host)
    : m_engine(engine), m_host(host), m_abOn(), m_nStep(STEP_IDLE), m_bClosing(false),
      m_bChangedMeanwhile(false), m_nInEngine(0), m_nRetypeWaits(0)
{
}

void CDecodeFlow::SetSymbology(Symbology symbology, bool bOn)
{
    m_abOn[symbology] = bOn;
    if (m_nStep == STEP_WAKING || m_nInEngine)
        m_bChangedMeanwhile = true;
    else if (!Busy() && !m_bClosing)
        Switch(symbology, bOn);
}

// Every call of the steps into the engine goes through here.
void CDecodeFlow::Switch(Symbology symbology, bool bOn)
{
    EnterEngine();
    m_engine.Switch(symbology, bOn);
    LeaveEngine();
}

void CDecodeFlow::LeaveEngine()
{
    if (--m_nInEngine || m_nStep != STEP_IDLE || m_bClosing)
        return;
    // Idle again: the user's choice made meanwhile, then what waits.
    ApplyChanges();
    if (m_nStep == STEP_IDLE && !m_bClosing && !m_queWaiting.empty())
        TakeNext();
}

// The engine follows the user's choice as it stands now.
void CDecodeFlow::ApplyChanges()
{
    ++m_nInEngine;
    while (m_bChangedMeanwhile && !m_bClosing) {
        m_bChangedMeanwhile = false;
        for (int i = 0; i < SYM_COUNT && !m_bClosing; ++i)
            m_engine.Switch((Symbology)i, m_abOn[i]);
    }
    --m_nInEngine;
}

void CDecodeFlow::Decoded(const std::string& strBytes)
{
    // From inside a call into the engine, calling back into it would meet it
    // half switched: the decode waits for the call to return.
    // Busy before the engine is called: a decode it delivers meanwhile waits.
    bool bIdle = m_nStep == STEP_IDLE && !m_bClosing && !m_nInEngine;
    if (bIdle) {
        m_nStep = STEP_STARTING;
        Silence();
    }
    m_host.AnswerEngine();
    if (m_bClosing)
        return;
    // The engine is silenced until the decode is over, but one may be on
    // its way already: it is handled after this one, in order.
    if (bIdle)
        Begin(strBytes, false);
    else
        WaitInLine(strBytes);
}

void CDecodeFlow::Silence()
{
    for (int i = 0; i < SYM_COUNT && !m_bClosing; ++i)
        Switch((Symbology)i, false);
}

// The first decode in line starts, the engine silenced first.
void CDecodeFlow::TakeNext()
{
    std::string strNext = m_queWaiting.front();
    m_queWaiting.pop_front();
    m_nStep = STEP_STARTING;
    Silence();
    if (!m_bClosing)
        Begin(strNext, false);
}

void CDecodeFlow::WaitInLine(const std::string& strBytes)
{
    if (m_queWaiting.size() < kMaxWaiting) {
        try {
            m_queWaiting.push_back(strBytes);
            return;
        } catch (const std::bad_alloc&) {
        }
    }
    m_host.RefuseDecode(strBytes, m_queWaiting.size());
}

bool CDecodeFlow::Retype(const std::string& strBytes)
{
    if (m_nStep != STEP_IDLE || m_bClosing || m_nInEngine)
        return false;
    m_nStep = STEP_RETYPE_WAIT;
    Silence();
    m_strRetype = strBytes;
    m_nRetypeWaits = 0;
    m_host.GiveBackForeground();
    if (m_nStep == STEP_RETYPE_WAIT && !m_bClosing && !m_host.StartTimer(DECODE_TIMER_RETYPE, 20))
        Begin(m_strRetype, true);
    return true;
}

bool CDecodeFlow::Release(const std::string& strBytes)
{
    if (m_nStep != STEP_IDLE || m_bClosing)
        return false;
    m_nStep = STEP_STARTING;
    Silence();
    if (!m_bClosing)
        Begin(strBytes, false);
    return true;
}

void CDecodeFlow::RetypeWait()
{
    if (m_nStep == STEP_RETYPE_WAIT && !m_host.UserWindowReady() && ++m_nRetypeWaits < kRetypeWaits)
        return;
    m_host.StopTimer(DECODE_TIMER_RETYPE);
    if (m_nStep == STEP_RETYPE_WAIT && !m_bClosing)
        Begin(m_strRetype, true);
}

void CDecodeFlow::Begin(const std::string& strBytes, bool bRetype)
{
    // Busy from here on: a message another program sends on the way (a
    // notice goes to the shell) may bring the next decode in.
    m_nStep = STEP_STARTING;
    bool bTyping = m_host.StartDecode(strBytes, bRetype);
    if (m_bClosing)
        return;
    if (!bTyping) {
        HoldOff();
        return;
    }
    m_nStep = STEP_TYPING;
    // Without its timer the watchdog cannot look: then only the typing's own
    // message leads on.
    m_host.StartTimer(DECODE_TIMER_WATCHDOG, kWatchdogMs);
}

void CDecodeFlow::TypingEnded()
{
    // A typing stopped because the program closes is over with it; a message
    // of a typing the watchdog found over already is of no concern.
    if (m_nStep != STEP_TYPING || m_bClosing || !m_host.TypingOver())
        return;
    EndTyping();
}

void CDecodeFlow::EndTyping()
{
    m_host.StopTimer(DECODE_TIMER_WATCHDOG);
    m_host.EndDecode();
    if (!m_bClosing)
        HoldOff();
}

void CDecodeFlow::HoldOff()
{
    m_nStep = STEP_HOLDOFF;
    if (!m_host.StartTimer(DECODE_TIMER_HOLDOFF, (UINT)m_host.HoldOffTime()))
        HoldOffOver();
}

void CDecodeFlow::HoldOffOver()
{
    m_host.StopTimer(DECODE_TIMER_HOLDOFF);
    if (m_nStep != STEP_HOLDOFF || m_bClosing)
        return;
    if (!m_queWaiting.empty()) {
        std::string strNext = m_queWaiting.front();
        m_queWaiting.pop_front();
        Begin(strNext, false);
        return;
    }
    Wake();
}

// Idle only once every symbology is on: a decode the engine delivers from
// inside a switch waits in line, and starts once the engine is awake whole.
void CDecodeFlow::Wake()
{
    m_nStep = STEP_WAKING;
    m_bChangedMeanwhile = false;
    for (int i = 0; i < SYM_COUNT && !m_bClosing; ++i) {
        if (m_abOn[i])
            Switch((Symbology)i, true);
    }
    // A symbology switched by the user meanwhile.
    ApplyChanges();
    if (m_bClosing)
        return;
    if (m_queWaiting.empty()) {
        m_nStep = STEP_IDLE;
        m_host.FlowIdle();
        return;
    }
    TakeNext();
}

void CDecodeFlow::Look()
{
    if (m_nStep == STEP_TYPING && !m_bClosing && m_host.TypingOver())
        EndTyping();
}

void CDecodeFlow::OnTimer(DecodeTimer timer)
{
    switch (timer) {
    case DECODE_TIMER_HOLDOFF:
        HoldOffOver();
        break;
    case DECODE_TIMER_RETYPE:
        RetypeWait();
        break;
    case DECODE_TIMER_WATCHDOG:
        if (m_nStep != STEP_TYPING || m_bClosing)
            m_host.StopTimer(DECODE_TIMER_WATCHDOG);
        else if (m_host.TypingOver())
            EndTyping();
        break;
    }
}

void CDecodeFlow::Stop()
{
    m_bClosing = true;
    m_queWaiting.clear();
    m_host.StopTyping();
    m_host.StopTimer(DECODE_TIMER_HOLDOFF);
    m_host.StopTimer(DECODE_TIMER_RETYPE);
    m_host.StopTimer(DECODE_TIMER_WATCHDOG);
}
