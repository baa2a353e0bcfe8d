// The road of one decode: silence the engine, convert, log, leave out a
// repeat, type, hold off, let the engine decode again.
#include "ScanWedgeDlg.h"

#include <new>

#include "charmode.h"
#include "logfile.h"
#include "output.h"
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
        std::vector<UnicodeRun> lost;
        if (TakeAsUtf8(m_strDecoded, m_strDecoded.GetLength()))
            Utf8ToAnsi(m_strDecoded, &lost);
        LogWrite("Decode", "Decode:%s", (LPCSTR)m_strDecoded);
        // A code that stays in front of the camera is logged, not typed again.
        if (!m_repeat.IsRepeat(m_strDecoded, m_output.nRepeatWindow)) {
            CString strTyped =
                ReplaceControlChars(m_strDecoded, m_output.controls, kControlCount, &lost);
            TargetStatus status = SendTextToFocus(strTyped, lost);
            if (status == TARGET_OK)
                m_repeat.NoteTyped();
            ShowNotice(NOTICE_TYPING, TypingNoticeCause(status));
        }
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

TargetStatus CScanWedgeDlg::SendTextToFocus(LPCSTR pszText, const std::vector<UnicodeRun>& lost)
{
    CTypingTarget target;
    TargetStatus status = FindTypingTarget(m_hWnd, &target);
    if (status != TARGET_OK)
        return status;
    HWND hFocus = target.hFocus;

    // A suffix of the user's takes the place of the Enter suffix.
    TypeOptions options = { m_output.strPrefix, m_output.strSuffix,
                            m_bAppendEnter == 1 && !m_output.bSuffix, m_output.nKeyDelay };
    // Characters the code page lacks are not ASCII either: character mode.
    if (!NeedsCharacterMode(pszText) && lost.empty())
        TypeKeys(hFocus, pszText, options, target.keys);
    else
        PlayCharacterMode(hFocus, PlanCharacterMode(pszText, lost, options), options.nKeyDelay);
    return TARGET_OK;
}
