// The road of one decode: silence the engine, shape, log, leave out a
// repeat, type, tell, hold off, let the engine decode again. The typing
// runs on a thread of its own and the hold-off is waited out with the
// window answering its messages, so the tray stays alive throughout.
#include "ScanWedgeDlg.h"

#include <new>

#include "logfile.h"
#include "utf8.h"
#include "vistrel.h"

// Dated now, not typed until it is.
static ScanRecord NewScanRecord(const std::string& strBytes)
{
    ScanRecord record = { {}, strBytes, std::wstring(), std::wstring(), SCAN_REPEAT, NOTICE_NONE, 0 };
    GetLocalTime(&record.time);
    return record;
}

LRESULT CScanWedgeDlg::OnScanDecoded(WPARAM wParam, LPARAM)
{
    // The engine is silenced until the decode is over, but one may be on
    // its way already: it is handled after this one, in order.
    if (m_bDecoding || m_bRetyping) {
        if (!m_bClosing)
            m_queDecodes.push_back(wParam ? reinterpret_cast<LPCSTR>(wParam) : "");
        return 0;
    }
    setQRable(0);
    setDMable(0);
    setBarcode(0);
    setPDF417(0);

    m_bDecoding = TRUE;
    std::string strBytes = wParam ? reinterpret_cast<LPCSTR>(wParam) : "";
    for (;;) {
        HandleDecode(strBytes);
        if (m_bClosing || m_queDecodes.empty())
            break;
        strBytes = m_queDecodes.front();
        m_queDecodes.pop_front();
    }
    m_bDecoding = FALSE;
    if (!m_bClosing)
        ReenableDecoding();
    return 0;
}

void CScanWedgeDlg::HandleDecode(const std::string& strBytes)
{
    // A failure here loses this decode, but must never leave the scanner
    // silenced: the hold-off and the re-enabling always run.
    try {
        ScanRecord record = NewScanRecord(strBytes);
        PreparedDecode decode = PrepareDecode(strBytes, &record);
        m_strDecoded = decode.shaped.strLogged;
        LogWrite("Decode", "Decode:%s", (LPCSTR)m_strDecoded);
        for (const std::wstring& strError : decode.shaped.ruleErrors)
            LogWrite("Rule", "%s", (LPCSTR)WideToAnsi(strError));
        if (decode.shaped.bRejected)
            LogWrite("Rule", "RULE%d refuses the code", decode.shaped.nRule);
        // A code that stays in front of the camera is logged, not typed again.
        if (!m_repeat.IsRepeat(decode.shaped.strCode, decode.output.nRepeatWindow)) {
            if (!DeliverDecode(decode, &record))
                return;
            if (record.outcome == SCAN_TYPED)
                m_repeat.NoteTyped();
        }
        AddToHistory(record);
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
    WaitWithMessages(NULL, m_nDecodeTime);
}

// The user asked for it: no repeat filter, no log entry (the log keeps what
// the engine decoded), and the engine is neither silenced nor held off.
bool CScanWedgeDlg::RetypeScan(const std::string& strBytes)
{
    if (m_bDecoding || m_bRetyping || m_bClosing)
        return false;
    m_bRetyping = TRUE;
    try {
        GiveBackForeground();
        WaitForUserWindow();
        ScanRecord record = NewScanRecord(strBytes);
        if (DeliverDecode(PrepareDecode(strBytes, &record), &record))
            AddToHistory(record);
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
    m_bRetyping = FALSE;
    // Decodes that arrived meanwhile go their usual road, in order.
    if (!m_bClosing && !m_queDecodes.empty()) {
        std::string strNext = m_queDecodes.front();
        m_queDecodes.pop_front();
        OnScanDecoded(reinterpret_cast<WPARAM>(strNext.c_str()), 0);
    }
    return true;
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
    pRecord->strCode = decode.shaped.strCode;
    pRecord->nRule = decode.shaped.nRule;
    return decode;
}

bool CScanWedgeDlg::DeliverDecode(const PreparedDecode& decode, ScanRecord* pRecord)
{
    if (decode.shaped.bRejected) {
        pRecord->cause = NOTICE_REJECTED;
        m_nRejectedRule = decode.shaped.nRule;
    } else {
        pRecord->cause = decode.status == TARGET_OK ? TypeInto(decode) : TypingNoticeCause(decode.status);
    }
    if (m_bClosing)
        return false;
    pRecord->outcome = pRecord->cause == NOTICE_NONE || pRecord->cause == NOTICE_CLIPBOARD_NOT_BACK
                       ? SCAN_TYPED : SCAN_NOT_TYPED;
    if (pRecord->cause == NOTICE_PASTE_NOT_TAKEN)
        LogWrite("Paste", "the pasted text was not taken; the clipboard holds it");
    else if (pRecord->cause == NOTICE_CLIPBOARD_NOT_BACK)
        LogWrite("Paste", "the clipboard could not be put back: another program holds it open");
    ShowNotice(NOTICE_TYPING, pRecord->cause);
    return true;
}

void CScanWedgeDlg::AddToHistory(const ScanRecord& record)
{
    m_history.Add(record);
    if (m_dlgHistory.GetSafeHwnd())
        m_dlgHistory.Refresh();
}

NoticeCause CScanWedgeDlg::TypeInto(const PreparedDecode& decode)
{
    TypingJob job = { decode.target.hFocus, decode.target.keys, decode.shaped.strTyped,
                      decode.shaped.bShiftEnter, decode.output.nKeyDelay, decode.output.bPaste,
                      decode.output.nPasteRestoreDelay };
    if (!m_typist.Start(job))
        return NOTICE_TYPED_FAILED;
    WaitWithMessages(m_typist.DoneEvent(), INFINITE);
    return TypingNoticeCause(TARGET_OK, m_typist.Result());
}

void CScanWedgeDlg::WaitWithMessages(HANDLE hEvent, DWORD dwMs)
{
    DWORD dwStart = GetTickCount();
    DWORD nHandles = hEvent ? 1 : 0;
    while (!m_bClosing) {
        DWORD dwWait = INFINITE;
        if (dwMs != INFINITE) {
            DWORD dwPassed = GetTickCount() - dwStart;
            if (dwPassed >= dwMs)
                return;
            dwWait = dwMs - dwPassed;
        }
        DWORD dwResult = MsgWaitForMultipleObjectsEx(nHandles, &hEvent, dwWait, QS_ALLINPUT,
                                                     MWMO_INPUTAVAILABLE);
        if (dwResult == WAIT_OBJECT_0 + nHandles) {
            MSG msg;
            while (!m_bClosing && PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
                if (!AfxPumpMessage())
                    StopDecoding();   // WM_QUIT: the program ends
            }
        } else if (dwResult != WAIT_TIMEOUT) {
            return;   // the event, or a wait that cannot go on
        }
    }
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
    m_dlgHistory.DestroyWindow();
}
