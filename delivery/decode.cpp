// The road of one decode: silence the engine, convert, log, type, hold off,
// let the engine decode again.
#include "ScanWedgeDlg.h"

#include <new>

#include "charmode.h"
#include "keystrokes.h"
#include "logfile.h"
#include "utf8.h"
#include "vistrel.h"

LRESULT CScanWedgeDlg::OnScanDecoded(WPARAM wParam, LPARAM)
{
    setQRable(0);
    setDMable(0);
    setBarcode(0);
    setPDF417(0);

    // A failure here loses this decode, but must never leave the scanner
    // silenced: the hold-off and the re-enabling below always run.
    try {
        m_strDecoded = reinterpret_cast<LPCSTR>(wParam);
        std::vector<UnicodeRun> lost;
        if (TakeAsUtf8(m_strDecoded, m_strDecoded.GetLength()))
            Utf8ToAnsi(m_strDecoded, &lost);
        LogWrite("Decode", "Decode:%s", (LPCSTR)m_strDecoded);
        SendTextToFocus(m_strDecoded, lost);
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }

    Sleep(m_nDecodeTime);

    if (m_bQR)
        setQRable(1);
    if (m_bDM)
        setDMable(1);
    if (m_bBarcode)
        setBarcode(1);
    if (m_bPDF417)
        setPDF417(1);
    return 0;
}

void CScanWedgeDlg::SendTextToFocus(LPCSTR pszText, const std::vector<UnicodeRun>& lost)
{
    CWnd* pTarget = CWnd::FromHandle(::GetForegroundWindow());
    if (pTarget == this)
        return;

    // The focus belongs to the target's input queue: join it for a moment.
    // This thread is the one attached and detached, so the target keeps its
    // own input state afterwards; Wine gives the shared state to the thread
    // named first and would otherwise send the keys below to this program.
    DWORD dwTargetThread = GetWindowThreadProcessId(pTarget ? pTarget->m_hWnd : NULL, NULL);
    DWORD dwThisThread = GetCurrentThreadId();
    AttachThreadInput(dwThisThread, dwTargetThread, TRUE);
    HWND hFocus = ::GetFocus();
    AttachThreadInput(dwThisThread, dwTargetThread, FALSE);
    if (!hFocus)
        return;

    // Characters the code page lacks are not ASCII either: character mode.
    if (!NeedsCharacterMode(pszText) && lost.empty()) {
        PlayKeyStrokes(PlanKeyStrokes(pszText, m_bAppendEnter == 1));
        return;
    }
    CharModeOptions options = { "", "", m_bAppendEnter == 1, 0 };
    PlayCharacterMode(hFocus, PlanCharacterMode(pszText, lost, options), options.nKeyDelay);
}
