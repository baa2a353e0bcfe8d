// The road of one decode: silence the engine, convert, log, leave out a
// repeat, type, hold off, let the engine decode again.
#include "ScanWedgeDlg.h"

#include <new>

#include "keystrokes.h"
#include "logfile.h"
#include "output.h"
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
        if (IsUtf8(m_strDecoded, m_strDecoded.GetLength()))
            Utf8ToAnsi(m_strDecoded);
        LogWrite("Decode", "Decode:%s", (LPCSTR)m_strDecoded);
        if (!m_repeat.IsRepeat(m_strDecoded, m_output.nRepeatWindow) &&
            SendTextToFocus(ReplaceControlChars(m_strDecoded, m_output.controls, kControlCount)))
            m_repeat.NoteTyped();
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

bool CScanWedgeDlg::SendTextToFocus(LPCSTR pszDecoded)
{
    CWnd* pTarget = CWnd::FromHandle(::GetForegroundWindow());
    if (pTarget == this)
        return false;

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
        return false;

    // Prefix and suffix ride along with the text until typing takes them as
    // options of its own; a suffix takes the place of the Enter suffix.
    CString strText = m_output.strPrefix + pszDecoded + m_output.strSuffix;
    LPCSTR pszText = strText;
    bool bAppendEnter = m_output.bSuffix ? false : m_bAppendEnter == 1;

    if (!NeedsCharacterMode(pszText)) {
        PlayKeyStrokes(PlanKeyStrokes(pszText, bAppendEnter));
        return true;
    }
    // Every byte on its own: a double-byte character arrives as its lead
    // byte followed by its trail byte, which the control puts together.
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszText); *p; ++p)
        ::PostMessageA(hFocus, WM_CHAR, *p, 0);
    if (bAppendEnter)
        ::PostMessageA(hFocus, WM_KEYDOWN, VK_RETURN, 0);
    return true;
}
