// The road of one decode through the modules below the tray window: where
// it goes, what it becomes, the log, the typing, and what the user is told.
// The decode's steps (CDecodeFlow) take it from step to step.
#include "ScanWedgeDlg.h"

#include <new>

#include "logfile.h"
#include "utf8.h"
#include "vistrel.h"

void CEngineSwitches::Switch(Symbology symbology, bool bOn)
{
    static int (__cdecl* const s_pfnSwitch[SYM_COUNT])(int) = { setQRable, setDMable, setBarcode, setPDF417 };
    s_pfnSwitch[symbology](bOn ? 1 : 0);
}

LRESULT CScanWedgeDlg::OnScanDecoded(WPARAM wParam, LPARAM)
{
    // A copy: the engine's text lives only until the engine is answered.
    std::string strBytes = wParam ? reinterpret_cast<LPCSTR>(wParam) : "";
    m_flow.Decoded(strBytes);
    return 0;
}

void CScanWedgeDlg::AnswerEngine()
{
    ReplyMessage(0);
}

LRESULT CScanWedgeDlg::OnTypingDone(WPARAM, LPARAM)
{
    m_flow.TypingEnded();
    return 0;
}

bool CScanWedgeDlg::StartTimer(DecodeTimer timer, UINT nMs)
{
    return m_hWnd && SetTimer(timer, nMs, NULL) != 0;
}

void CScanWedgeDlg::StopTimer(DecodeTimer timer)
{
    if (m_hWnd)
        ::KillTimer(m_hWnd, timer);
}

void CScanWedgeDlg::StopDecoding()
{
    m_flow.Stop();
    // Nothing is typed after Exit: what waits is recorded as not typed.
    ::KillTimer(m_hWnd, TIMER_FORWARD);
    std::vector<WaitingCode> codes = m_waiting.TakeAll();
    if (m_sender.Asked()) {
        WaitingCode code = { m_record.strBytes, m_decode.strTarget, 0, NULL };
        codes.push_back(code);
    }
    m_sender.End();
    ReportWaitingCodes(codes, NOTICE_TARGET_EXIT);
    WatchFront();
    m_dlgHistory.DestroyWindow();
}

// A failure here loses this decode, but must never leave the scanner
// silenced: the steps go on to the hold-off and the re-enabling whatever
// becomes of it.
bool CScanWedgeDlg::StartDecode(const std::string& strBytes, bool bRetype)
{
    m_bRetype = bRetype;
    // A code that waited was logged, filtered and recorded when it came.
    m_bReleased = m_bReleasing;
    m_bReleasing = false;
    m_nSendCause = NOTICE_NONE;
    m_sender.End();
    try {
        m_record = ScanRecord();
        m_record.nTime = HistoryNow();   // dated now, not typed until it is
        m_record.symbology = EnabledSymbology();
        m_record.bRetyped = bRetype;
        m_record.strBytes = strBytes;
        m_record.outcome = SCAN_REPEAT;
        m_decode = PrepareDecode(strBytes, &m_record);
        if (!bRetype && !m_bReleased) {
            LogDecode(m_decode);
            // A code that stays in front of the camera is logged, not typed again.
            if (m_repeat.IsRepeat(m_decode.shaped.strCode, m_decode.output.nRepeatWindow)) {
                AddToHistory(m_record);
                return false;
            }
            if (IsDuplicateToHold()) {
                FinishDecode(NOTICE_DUPLICATE);
                return false;
            }
        }
        return StartTyping();
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

void CScanWedgeDlg::EndDecode()
{
    try {
        if (m_nSendCause != NOTICE_NONE) {
            m_record.nTotal = CountTyped(m_decode.shaped.strTyped);
            FinishDecode(m_nSendCause);
            return;
        }
        m_record.nTyped = m_typist.Typed();
        m_record.nTotal = CountTyped(m_decode.shaped.strTyped);
        // After the last key, not before the target took the front.
        if (m_sender.Window() && m_decode.output.bReturnFocus)
            m_sender.GiveBack();
        m_sender.End();
        FinishDecode(TypingNoticeCause(TARGET_OK, m_typist.Result()));
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
}

void CScanWedgeDlg::RefuseDecode(const std::string& strBytes, size_t nWaiting)
{
    try {
        ScanRecord record = {};
        record.nTime = HistoryNow();
        record.symbology = EnabledSymbology();
        record.strBytes = strBytes;
        ShapedDecode shaped = ShapeDecode(strBytes.c_str(), COutputOptions(), false);
        record.strCode = shaped.strCode;
        record.outcome = SCAN_NOT_TYPED;
        record.cause = HISTORY_CAUSE_QUEUE_FULL;
        LogWrite("Decode", "Refused, %u decodes waiting:%s", (unsigned)nWaiting, (LPCSTR)shaped.strLogged);
        ShowNotice(NOTICE_TYPING, NOTICE_QUEUE_FULL, 0, 0, SoundOutcome(NOTICE_QUEUE_FULL, L""));
        AddToHistory(record);
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
}

PreparedDecode CScanWedgeDlg::PrepareDecode(const std::string& strBytes, ScanRecord* pRecord)
{
    PreparedDecode decode;
    decode.status = FindTypingTarget(m_hWnd, &decode.target);
    if (decode.target.dwProcessId)
        pRecord->strProgram = ProgramFileName(decode.target.dwProcessId);
    // The program in front chooses the output options.
    decode.output = m_outputs.For(pRecord->strProgram);
    decode.shaped = ShapeDecode(strBytes.c_str(), decode.output, m_bAppendEnter == 1, CP_ACP, &m_rules,
                                pRecord->strProgram);
    decode.strTarget = m_bReleased ? m_released.strTarget : TargetFor(decode);
    CTargetChoice chosen;
    if (ParseTargetChoice(decode.strTarget, &chosen)) {
        // Shaped as for the program that gets it.
        if (_wcsicmp(chosen.strProgram.c_str(), pRecord->strProgram.c_str()) != 0) {
            pRecord->strProgram = chosen.strProgram;
            decode.output = m_outputs.For(chosen.strProgram);
            decode.shaped = ShapeDecode(strBytes.c_str(), decode.output, m_bAppendEnter == 1, CP_ACP, &m_rules,
                                        chosen.strProgram);
        }
    } else {
        decode.strTarget.clear();
    }
    pRecord->strCode = decode.shaped.strCode;
    pRecord->nRule = decode.shaped.nRule;
    pRecord->bPasted = decode.output.bPaste;
    return decode;
}

bool CScanWedgeDlg::IsDuplicateToHold()
{
    m_record.bDuplicate = m_history.ScannedBefore(m_record.strBytes, (DuplicateScope)m_decode.output.nDuplicateScope,
                                                  m_record.nTime);
    if (m_record.bDuplicate)
        LogWrite("Decode", "scanned before: %s", m_decode.output.bDuplicateSkip ? "not typed" : "typed anyway");
    return m_record.bDuplicate && m_decode.output.bDuplicateSkip;
}

void CScanWedgeDlg::LogDecode(const PreparedDecode& decode)
{
    m_strDecoded = decode.shaped.strLogged;
    LogWrite("Decode", "Decode:%s", (LPCSTR)m_strDecoded);
    for (const std::wstring& strError : decode.shaped.ruleErrors)
        LogWrite("Rule", "%s", (LPCSTR)WideToAnsi(strError));
    if (decode.shaped.bRejected)
        LogWrite("Rule", "RULE%d refuses the code", decode.shaped.nRule);
    if (!decode.shaped.strLinkError.empty())
        LogWrite("DigitalLink", "not a valid Digital Link (%s): typed as scanned", decode.shaped.strLinkError.c_str());
    ShowNotice(NOTICE_CODE, decode.shaped.strLinkError.empty() ? NOTICE_NONE : NOTICE_LINK_INVALID);
}

bool CScanWedgeDlg::StartTyping()
{
    const PreparedDecode& decode = m_decode;
    NoticeCause cause = NOTICE_TYPED_FAILED;
    if (decode.shaped.bRejected) {
        cause = NOTICE_REJECTED;
    } else if (!decode.strTarget.empty()) {
        return StartSending();
    } else if (decode.status != TARGET_OK) {
        cause = TypingNoticeCause(decode.status);
    } else {
        // Keys go only while the window found in front stays there.
        TypingJob job = { decode.target.hWindow, decode.target.hFocus, decode.target.keys,
                          decode.shaped.strTyped, decode.shaped.bShiftEnter, decode.output.nKeyDelay,
                          decode.output.bPaste, decode.output.nPasteRestoreDelay };
        if (m_typist.Start(job, m_hWnd, WM_TYPING_DONE))
            return true;
    }
    FinishDecode(cause);
    return false;
}

void CScanWedgeDlg::FinishDecode(NoticeCause cause)
{
    ScanRecord& record = m_record;
    record.cause = HistoryCauseOf(cause);
    // Pasted, the user's clipboard not back yet: typed, and said so.
    record.outcome = CountsAsTyped(cause) ? SCAN_TYPED : cause == NOTICE_DUPLICATE ? SCAN_DUPLICATE : SCAN_NOT_TYPED;
    if (cause == NOTICE_PASTE_NOT_TAKEN)
        LogWrite("Paste", "the pasted text was not taken; the clipboard holds it");
    else if (cause == NOTICE_CLIPBOARD_NOT_BACK)
        LogWrite("Paste", "the clipboard could not be put back: another program holds it open");
    else if (cause == NOTICE_CLIPBOARD_NOT_SAVED)
        LogWrite("Paste", "not pasted: the clipboard could not be saved whole, so it was left as it was");
    // A code not typed whole is no repeat of itself: scanned again, it goes.
    if (record.outcome == SCAN_TYPED && !m_bRetype)
        m_repeat.NoteTyped();
    // A code scanned before and typed anyway still sounds as scanned before.
    bool bDuplicateTyped = record.bDuplicate && cause == NOTICE_NONE;
    bool bSoundSeen = SoundOutcome(bDuplicateTyped ? NOTICE_DUPLICATE : cause, record.strProgram);
    if (NoticeTakesTexts(cause)) {
        m_astrNoticeTexts[0] = VisibleCode(record.strCode);
        m_astrNoticeTexts[1] = record.strProgram;
        // Each code that waits is told of, not only the first.
        ShowNotice(NOTICE_TYPING, cause, 0, 0, true);
    } else if (cause == NOTICE_REJECTED)
        ShowNotice(NOTICE_TYPING, cause, record.nRule, 0, bSoundSeen);
    else if (bDuplicateTyped)
        ShowNotice(NOTICE_TYPING, NOTICE_DUPLICATE, 1, 0, bSoundSeen);   // typed anyway
    else
        ShowNotice(NOTICE_TYPING, cause, (int)record.nTyped, (int)record.nTotal, bSoundSeen);
    AddToHistory(record);
    if (m_bRetype && m_dlgHistory.GetSafeHwnd())
        m_dlgHistory.ShowResult(record);
}

void CScanWedgeDlg::AddToHistory(const ScanRecord& record)
{
    m_history.Add(record);
    if (m_dlgHistory.GetSafeHwnd())
        m_dlgHistory.Refresh();
}
