// What becomes of a decode between the log and the keyboard: the control
// characters the user chose to replace, and repeats of a code that stays in
// front of the camera.
#pragma once

#include <afxwin.h>

#include <vector>

#include "utf8.h"

// What one ASCII control character inside a decode is typed as.
struct CControlOutput {
    char ch;            // the control character
    bool bKeep;         // typed as it is; otherwise strWith (empty: dropped)
    CString strWith;
};

// The group separator, record separator and end of transmission of GS1 and
// other structured codes, in this order.
const int kControlCount = 3;
const char kControlChars[kControlCount] = { '\x1D', '\x1E', '\x04' };

// The text with each listed control character kept, dropped or replaced.
// Safe for double-byte text: no control character is ever a trail byte. The
// runs of characters the code page lacks, if given, move with their text.
CString ReplaceControlChars(LPCSTR pszText, const CControlOutput* pControls, int nCount,
                            std::vector<UnicodeRun>* pLost = NULL);

// Tells whether a decode only repeats the one before it: the same text,
// within the window after that one was typed. A different text in between
// starts afresh, and so does a decode that was not typed.
class CRepeatFilter {
public:
    typedef DWORD (WINAPI* PFN_CLOCK)();

    explicit CRepeatFilter(PFN_CLOCK pfnClock = GetTickCount);

    // True when the text repeats the last typed one within nWindowMs (0: never).
    bool IsRepeat(LPCSTR pszText, int nWindowMs);
    // The text last given to IsRepeat has been typed, now.
    void NoteTyped();

private:
    PFN_CLOCK m_pfnClock;
    CString m_strLast;
    bool m_bTyped;
    DWORD m_dwTypedAt;
};
