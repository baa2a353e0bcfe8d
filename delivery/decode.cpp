// The road of one decode: silence the engine, convert, log, type, hold off,
// let the engine decode again.
#include "ScanWedgeDlg.h"

#include <new>

#include "logfile.h"
#include "typekeys.h"
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
        ShowNotice(NOTICE_TYPING, TypingNoticeCause(SendTextToFocus(m_strDecoded)));
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

TargetStatus CScanWedgeDlg::SendTextToFocus(LPCSTR pszText)
{
    CTypingTarget target;
    TargetStatus status = FindTypingTarget(m_hWnd, &target);
    if (status != TARGET_OK)
        return status;
    HWND hFocus = target.hFocus;

    if (!NeedsCharacterMode(pszText)) {
        TypeOptions options = { NULL, NULL, m_bAppendEnter == 1, 0 };
        TypeKeys(hFocus, pszText, options, target.keys);
        return TARGET_OK;
    }
    // Every byte on its own: a double-byte character arrives as its lead
    // byte followed by its trail byte, which the control puts together.
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszText); *p; ++p)
        ::PostMessageA(hFocus, WM_CHAR, *p, 0);
    if (m_bAppendEnter == 1)
        ::PostMessageA(hFocus, WM_KEYDOWN, VK_RETURN, 0);
    return TARGET_OK;
}
