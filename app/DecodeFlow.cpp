// The decode's steps, one decode at a time. The engine's decode message is
// answered at once, once the engine is silenced and the text copied: the
// engine's thread never waits for a typing, and nothing the program does
// while a code is typed or held off (Exit, Restart, the device watch, a
// toggle, a window with its own message loop) runs inside the engine's call.
//
//   idle --decode--> typing --typing thread posts its end--> hold-off
//        --timer--> the next decode waiting, or the symbologies back on: idle
//
// "Type again" goes the same road, first waiting for the user's window.
#include "ScanWedgeDlg.h"

#include <new>

#include "logfile.h"
#include "vistrel.h"

namespace {

// Decodes that may wait for the one under way: the engine is silenced, so
// only one on its way already should ever wait; an engine that goes on
// decoding regardless must not grow the queue without bound.
const size_t kMaxWaiting = 16;

// "Type again" waits this many times 20 ms for the user's window.
const int kRetypeWaits = 50;

}  // namespace

LRESULT CScanWedgeDlg::OnScanDecoded(WPARAM wParam, LPARAM)
{
    // A copy: the engine's text lives only until the engine is answered.
    std::string strBytes = wParam ? reinterpret_cast<LPCSTR>(wParam) : "";
    if (m_nStep == STEP_IDLE && !m_bClosing)
        SilenceEngine();
    ReplyMessage(0);
    if (m_bClosing)
        return 0;
    // The engine is silenced until the decode is over, but one may be on
    // its way already: it is handled after this one, in order.
    if (m_nStep != STEP_IDLE)
        WaitInLine(strBytes);
    else
        BeginDecode(strBytes, false);
    return 0;
}

void CScanWedgeDlg::SilenceEngine()
{
    setQRable(0);
    setDMable(0);
    setBarcode(0);
    setPDF417(0);
}

void CScanWedgeDlg::WaitInLine(const std::string& strBytes)
{
    if (m_queDecodes.size() < kMaxWaiting) {
        m_queDecodes.push_back(strBytes);
        return;
    }
    try {
        ScanRecord record = {};
        record.nTime = HistoryNow();
        record.symbology = EnabledSymbology();
        record.strBytes = strBytes;
        ShapedDecode shaped = ShapeDecode(strBytes.c_str(), COutputOptions(), false);
        record.strCode = shaped.strCode;
        record.outcome = SCAN_NOT_TYPED;
        record.cause = NOTICE_QUEUE_FULL;
        LogWrite("Decode", "Refused, %u decodes waiting:%s", (unsigned)m_queDecodes.size(),
                 (LPCSTR)shaped.strLogged);
        ShowNotice(NOTICE_TYPING, NOTICE_QUEUE_FULL);
        AddToHistory(record);
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
}

// The user asked for it: no repeat filter, no log entry (the log keeps what
// the engine decoded); the engine is silenced and held off as for a decode.
bool CScanWedgeDlg::RetypeScan(const std::string& strBytes)
{
    if (m_nStep != STEP_IDLE || m_bClosing)
        return false;
    SilenceEngine();
    m_nStep = STEP_RETYPE_WAIT;
    m_strRetype = strBytes;
    m_nRetypeWaits = 0;
    GiveBackForeground();
    if (!m_hWnd || !SetTimer(TIMER_RETYPE_WAIT, 20, NULL))
        BeginDecode(m_strRetype, true);
    return true;
}

void CScanWedgeDlg::OnRetypeWait()
{
    if (m_nStep == STEP_RETYPE_WAIT && !UserWindowReady() && ++m_nRetypeWaits < kRetypeWaits)
        return;
    if (m_hWnd)
        ::KillTimer(m_hWnd, TIMER_RETYPE_WAIT);
    if (m_nStep == STEP_RETYPE_WAIT && !m_bClosing)
        BeginDecode(m_strRetype, true);
}

void CScanWedgeDlg::BeginDecode(const std::string& strBytes, bool bRetype)
{
    // Busy from here on: a message another program sends us on the way (a
    // notice goes to the shell) may bring the next decode in.
    m_nStep = STEP_TYPING;
    m_bRetype = bRetype;
    // A failure here loses this decode, but must never leave the scanner
    // silenced: the hold-off and the re-enabling always follow.
    try {
        m_record = ScanRecord();
        m_record.nTime = HistoryNow();   // dated now, not typed until it is
        m_record.symbology = EnabledSymbology();
        m_record.bRetyped = bRetype;
        m_record.strBytes = strBytes;
        m_record.outcome = SCAN_REPEAT;
        m_decode = PrepareDecode(strBytes, &m_record);
        if (!bRetype) {
            LogDecode(m_decode);
            // A code that stays in front of the camera is logged, not typed again.
            if (m_repeat.IsRepeat(m_decode.shaped.strCode, m_decode.output.nRepeatWindow)) {
                AddToHistory(m_record);
                HoldOff();
                return;
            }
            if (IsDuplicateToHold()) {
                FinishDecode(NOTICE_DUPLICATE);
                HoldOff();
                return;
            }
        }
        if (StartTyping())
            return;
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
    HoldOff();
}

LRESULT CScanWedgeDlg::OnTypingDone(WPARAM, LPARAM)
{
    // A typing stopped because the program closes is over with it.
    if (m_nStep != STEP_TYPING || m_bClosing || !m_typist.Done())
        return 0;
    try {
        m_record.nTyped = m_typist.Typed();
        m_record.nTotal = CountTyped(m_decode.shaped.strTyped);
        FinishDecode(TypingNoticeCause(TARGET_OK, m_typist.Result()));
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
    HoldOff();
    return 0;
}

void CScanWedgeDlg::HoldOff()
{
    m_nStep = STEP_HOLDOFF;
    if (!m_hWnd || !SetTimer(TIMER_HOLDOFF, m_nDecodeTime, NULL))
        OnHoldOffOver();
}

void CScanWedgeDlg::OnHoldOffOver()
{
    if (m_hWnd)
        ::KillTimer(m_hWnd, TIMER_HOLDOFF);
    if (m_nStep != STEP_HOLDOFF || m_bClosing)
        return;
    if (!m_queDecodes.empty()) {
        std::string strNext = m_queDecodes.front();
        m_queDecodes.pop_front();
        BeginDecode(strNext, false);
        return;
    }
    m_nStep = STEP_IDLE;
    ReenableDecoding();
}

void CScanWedgeDlg::ReenableDecoding()
{
    if (m_bQR)
        setQRable(1);
    if (m_bDM)
        setDMable(1);
    if (m_bBarcode)
        setBarcode(1);
    if (m_bPDF417)
        setPDF417(1);
}

void CScanWedgeDlg::StopDecoding()
{
    m_bClosing = TRUE;
    m_queDecodes.clear();
    m_typist.Cancel();
    if (m_hWnd) {
        ::KillTimer(m_hWnd, TIMER_HOLDOFF);
        ::KillTimer(m_hWnd, TIMER_RETYPE_WAIT);
    }
    m_dlgHistory.DestroyWindow();
}
