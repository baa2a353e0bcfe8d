// The road of one decode: silence the engine, shape, log, leave out a
// repeat, type, tell, hold off, let the engine decode again. The typing
// runs on a thread of its own and the hold-off is waited out with the
// window answering its messages, so the tray stays alive throughout.
#include "ScanWedgeDlg.h"

#include <new>

#include "logfile.h"
#include "vistrel.h"

LRESULT CScanWedgeDlg::OnScanDecoded(WPARAM wParam, LPARAM)
{
    // The engine is silenced until the decode is over, but one may be on
    // its way already: it is handled after this one, in order.
    if (m_bDecoding) {
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
        ScanRecord record = { {}, strBytes, std::wstring(), std::wstring(), SCAN_REPEAT, NOTICE_NONE };
        GetLocalTime(&record.time);
        // The program in front chooses the output options.
        CTypingTarget target;
        TargetStatus status = FindTypingTarget(m_hWnd, &target);
        if (target.dwProcessId)
            record.strProgram = ProgramFileName(target.dwProcessId);
        const COutputOptions& output = m_outputs.For(record.strProgram);
        ShapedDecode shaped = ShapeDecode(strBytes.c_str(), output, m_bAppendEnter == 1);
        record.strCode = shaped.strCode;
        m_strDecoded = shaped.strLogged;
        LogWrite("Decode", "Decode:%s", (LPCSTR)m_strDecoded);
        // A code that stays in front of the camera is logged, not typed again.
        if (!m_repeat.IsRepeat(shaped.strCode, output.nRepeatWindow)) {
            record.cause = status == TARGET_OK ? TypeInto(target, shaped, output.nKeyDelay)
                                               : TypingNoticeCause(status);
            if (m_bClosing)
                return;
            record.outcome = record.cause == NOTICE_NONE ? SCAN_TYPED : SCAN_NOT_TYPED;
            if (record.cause == NOTICE_NONE)
                m_repeat.NoteTyped();
            ShowNotice(NOTICE_TYPING, record.cause);
        }
        m_history.Add(record);
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }
    WaitWithMessages(NULL, m_nDecodeTime);
}

NoticeCause CScanWedgeDlg::TypeInto(const CTypingTarget& target, const ShapedDecode& shaped,
                                    int nKeyDelay)
{
    TypingJob job = { target.hFocus, target.keys, shaped.strTyped, shaped.bShiftEnter, nKeyDelay };
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
}
