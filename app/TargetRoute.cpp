// A code sent to a chosen program: the program's window brought to the
// front, typed into once it is there, the front given back; or the code
// kept until the program can take it. The front is watched by a hook, not
// by looking again and again, and only while something waits for it.
#include "ScanWedgeDlg.h"

#include "logfile.h"
#include "resource.h"
#include "uitext.h"
#include "utf8.h"

namespace {

// Bringing a window forward is asynchronous: this long the code waits for
// the target to be in front, and its focus set, before Windows is taken to
// have refused; looked at each tick besides the hook's word.
const DWORD kForwardBoundMs = 250;
const UINT kForwardTickMs = 10;
// A window just shown may not have its focus yet.
const UINT kShownSettleMs = 300;

// The hook's callback has no context of its own: the one tray window.
CScanWedgeDlg* s_pTray = NULL;

}  // namespace

std::wstring CScanWedgeDlg::TargetFor(const PreparedDecode& decode) const
{
    return TargetForCode(m_ruleTargets, decode.shaped.nRule, decode.output.strTarget);
}

bool CScanWedgeDlg::StartSending()
{
    SendStart start = m_sender.Begin(m_decode.strTarget, m_bReleased ? m_released.hRefused : NULL);
    if (!m_sender.Program().empty())
        m_record.strProgram = m_sender.Program();
    NoticeCause cause = NOTICE_NONE;
    switch (start) {
    case SEND_IN_FRONT:
        if (TypeIntoTarget())
            return true;
        cause = m_nSendCause;
        // A window just come may not have set its focus yet: it has the
        // same bound as one asked forward.
        if (cause != NOTICE_TYPED_NO_FOCUS)
            break;
        m_sender.Await();
        // fall through
    case SEND_ASKED:
        LogWrite("Target", "bringing %s to the front", (LPCSTR)WideToAnsi(m_sender.Program()));
        WatchFront();
        m_dwForwardSince = GetTickCount();
        if (SetTimer(TIMER_FORWARD, kForwardTickMs, NULL))
            return true;
        m_sender.Refused();
        cause = WaitForTarget(m_sender.Window(), NOTICE_TARGET_REFUSED);
        break;
    case SEND_NO_WINDOW:
        cause = WaitForTarget(NULL, NOTICE_TARGET_WAITS);
        break;
    case SEND_ELEVATED:
        cause = NOTICE_TARGET_ELEVATED;
        break;
    }
    m_sender.End();
    m_record.nTotal = CountTyped(m_decode.shaped.strTyped);
    FinishDecode(cause);
    return false;
}

bool CScanWedgeDlg::TypeIntoTarget()
{
    // Read as for the window in front, now that the target is there: the
    // focus and the keyboard state are the target's own.
    CTypingTarget target = {};
    TargetStatus status = FindTypingTarget(m_hWnd, &target);
    if (status == TARGET_OK && target.dwProcessId != m_windows.ProcessOf(m_sender.Window()))
        status = TARGET_NO_FOCUS;
    m_nSendCause = TypingNoticeCause(status);
    if (status != TARGET_OK)
        return false;
    m_decode.target = target;
    TypingJob job = { target.hWindow, target.hFocus, target.keys,
                      m_decode.shaped.strTyped, m_decode.shaped.bShiftEnter, m_decode.output.nKeyDelay,
                      m_decode.output.bPaste, m_decode.output.nPasteRestoreDelay };
    if (m_typist.Start(job, m_hWnd, WM_TYPING_DONE))
        return true;
    m_nSendCause = NOTICE_TYPED_FAILED;
    return false;
}

NoticeCause CScanWedgeDlg::WaitForTarget(HWND hRefused, NoticeCause cause)
{
    WaitingCode code;
    code.strBytes = m_record.strBytes;
    code.strTarget = m_decode.strTarget;
    code.dwSince = m_bReleased ? m_released.dwSince : GetTickCount();
    code.hRefused = hRefused;
    if (!m_waiting.Add(code))
        return NOTICE_QUEUE_FULL;
    LogWrite("Target", "%s: the code waits (%u waiting)", (LPCSTR)WideToAnsi(m_decode.strTarget),
             (unsigned)m_waiting.Count());
    WatchFront();
    SetTimer(TIMER_WAITING, 1000, NULL);
    return cause;
}

void CScanWedgeDlg::OnForwardTick()
{
    if (!m_sender.Asked()) {
        ::KillTimer(m_hWnd, TIMER_FORWARD);
        return;
    }
    bool bUp = GetTickCount() - m_dwForwardSince >= kForwardBoundMs;
    if (m_windows.Foreground() == m_sender.Window()) {
        bool bTyping = TypeIntoTarget();
        if (!bTyping && m_nSendCause == NOTICE_TYPED_NO_FOCUS && !bUp)
            return;   // in front, its focus on the way
        m_sender.Reached();
        ::KillTimer(m_hWnd, TIMER_FORWARD);
        WatchFront();
        if (!bTyping)
            m_flow.TypingEnded();
        return;
    }
    if (!bUp)
        return;
    ::KillTimer(m_hWnd, TIMER_FORWARD);
    LogWrite("Target", "%s did not come to the front", (LPCSTR)WideToAnsi(m_sender.Program()));
    m_sender.Refused();
    m_nSendCause = WaitForTarget(m_sender.Window(), NOTICE_TARGET_REFUSED);
    m_sender.End();
    WatchFront();
    m_flow.TypingEnded();
}

void CScanWedgeDlg::OnFrontChanged(bool bShown)
{
    if (m_sender.Asked())
        OnForwardTick();
    else if (bShown && !m_waiting.Empty())
        SetTimer(TIMER_SHOWN, kShownSettleMs, NULL);
    else
        ReleaseWaitingCode();
}

void CScanWedgeDlg::ReleaseWaitingCode()
{
    if (m_waiting.Empty() || m_flow.Busy() || !m_bStarted)
        return;
    WaitingCode code;
    if (!m_waiting.TakeReady(m_windows, GetCurrentProcessId(), &code))
        return;
    m_released = code;
    m_bReleasing = true;
    if (!m_flow.Release(code.strBytes)) {
        m_bReleasing = false;
        m_waiting.PutBack(code);
    }
    WatchFront();
}

void CScanWedgeDlg::ExpireWaitingCodes()
{
    ReportWaitingCodes(m_waiting.TakeExpired(GetTickCount()), NOTICE_TARGET_EXPIRED);
    // Wine delivers no window events of other programs: a look each tick
    // there, and a net on Windows for an event missed. A window just come is
    // given time to settle, as after its show event: typed into at once, a
    // program still starting takes the keys but not at once their state,
    // and the typing waits out its bound for it.
    WaitingCode code;
    if (m_waiting.TakeReady(m_windows, GetCurrentProcessId(), &code)) {
        m_waiting.PutBack(code);
        SetTimer(TIMER_SHOWN, kShownSettleMs, NULL);
    }
    if (m_waiting.Empty())
        ::KillTimer(m_hWnd, TIMER_WAITING);
    WatchFront();
}

void CScanWedgeDlg::ReportWaitingCodes(const std::vector<WaitingCode>& codes, NoticeCause cause)
{
    for (const WaitingCode& code : codes) {
        try {
            ScanRecord record = {};
            record.nTime = HistoryNow();
            record.symbology = EnabledSymbology();
            record.strBytes = code.strBytes;
            ShapedDecode shaped = ShapeDecode(code.strBytes.c_str(), COutputOptions(), false);
            record.strCode = shaped.strCode;
            CTargetChoice chosen;
            if (ParseTargetChoice(code.strTarget, &chosen))
                record.strProgram = chosen.strProgram;
            record.outcome = SCAN_NOT_TYPED;
            record.cause = HistoryCauseOf(cause);
            LogWrite("Target", "not typed, %s never came:%s", (LPCSTR)WideToAnsi(code.strTarget),
                     (LPCSTR)shaped.strLogged);
            if (cause != NOTICE_TARGET_EXIT) {
                m_astrNoticeTexts[0] = VisibleCode(record.strCode);
                m_astrNoticeTexts[1] = record.strProgram;
                SoundOutcome(cause, record.strProgram);
                ShowNotice(NOTICE_TYPING, cause, 0, 0, true);
            }
            AddToHistory(record);
        } catch (const CException&) {
        } catch (const std::bad_alloc&) {
        }
    }
}

void CScanWedgeDlg::WatchFront()
{
    bool bWatch = m_sender.Asked() || !m_waiting.Empty();
    if (bWatch && !m_hFrontHook) {
        s_pTray = this;
        m_hFrontHook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, NULL, OnWinEvent, 0, 0,
                                       WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
        // A program started after the scan may show its window without
        // taking the front.
        m_hShowHook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, NULL, OnWinEvent, 0, 0,
                                      WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    } else if (!bWatch && m_hFrontHook) {
        UnhookWinEvent(m_hFrontHook);
        if (m_hShowHook)
            UnhookWinEvent(m_hShowHook);
        m_hFrontHook = m_hShowHook = NULL;
    }
}

void CALLBACK CScanWedgeDlg::OnWinEvent(HWINEVENTHOOK, DWORD dwEvent, HWND hWnd, LONG idObject, LONG, DWORD, DWORD)
{
    // Of the shown objects only top-level windows: carets and menus show too.
    if (dwEvent == EVENT_OBJECT_SHOW && (idObject != OBJID_WINDOW || !hWnd || GetAncestor(hWnd, GA_ROOT) != hWnd))
        return;
    if (s_pTray)
        s_pTray->OnFrontChanged(dwEvent == EVENT_OBJECT_SHOW);
}

void CScanWedgeDlg::ShowTargetInTip()
{
    std::wstring strTip = L"Norza";
    CTargetChoice chosen;
    if (ParseTargetChoice(m_outputs.base.strTarget, &chosen))
        strTip = UiFormat(IDS_TRAY_SENDING_TO, chosen.strProgram);
    lstrcpynA(m_nid.szTip, WideToAnsi(strTip), sizeof(m_nid.szTip));
    if (m_bIconAdded)
        Shell_NotifyIconA(NIM_MODIFY, &m_nid);
}
