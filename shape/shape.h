// What becomes of one decode between the engine and the keyboard: the text
// it stands for, what the log keeps, and what is typed. Plain inputs, plain
// results: no window, no typing.
#pragma once

#include <afxwin.h>

#include <string>

#include "rules.h"
#include "settings.h"

struct ShapedDecode {
    std::wstring strCode;     // the decode read as text (UTF-8 or the code page)
    CString strLogged;        // the decode in the ANSI code page, as the log keeps it
    std::wstring strTyped;    // prefix, code and suffix, as typedtext.h describes
    bool bShiftEnter;         // Shift+Enter follows (the Enter suffix)
    int nRule;                // the rule that shaped it; 0: none
    bool bRejected;           // that rule refuses the code: nothing is typed
    std::vector<std::wstring> ruleErrors;   // rules cut off on this code
    std::vector<RuleSkip> ruleSkips;        // rules passed over for a part the code lacks
    std::string strLinkError;   // a Digital Link to type converted is not valid: why; typed as scanned

    ShapedDecode() : bShiftEnter(false), nRule(0), bRejected(false) {}
};

// Reads the decode's bytes (NULL: none) and shapes what is typed.
// - Encoding: UTF-8 when TakeAsUtf8 says so, else the ANSI code page; where
//   that is UTF-8 itself, bytes that are not UTF-8 are read in the code page
//   of the user's locale.
// - Line breaks (CR, LF, CR LF) become one Enter key, tabs the Tab key; GS,
//   RS and EOT are kept, dropped or replaced as the options say; every other
//   control character (0x01..0x1F, 0x7F) is left out, since edit controls
//   take them as commands (paste, undo, cut, backspace). The log keeps them.
// - The first of the rules (if any) that applies to the program in front,
//   matches the code and finds in it every part its output names puts its
//   output in the code's place, or refuses the code.
// - Where the code is typed whole, a valid GS1 Digital Link URI takes the
//   form options.nDigitalLink asks for; GS, RS and EOT then go as above.
// - The prefix and suffix go around the code, and what they type obeys the
//   same rules; a suffix takes the place of the Enter suffix.
ShapedDecode ShapeDecode(const char* pszDecode, const COutputOptions& options,
                         bool bAppendEnter, UINT nCodePage = CP_ACP, const CRules* pRules = NULL,
                         const std::wstring& strProgram = std::wstring());

// Tells whether a decode only repeats the one before it: the same text,
// within the window after that one was typed. A different text in between
// starts afresh, and so does a decode that was not typed.
class CRepeatFilter {
public:
    typedef DWORD (WINAPI* PFN_CLOCK)();

    explicit CRepeatFilter(PFN_CLOCK pfnClock = GetTickCount);

    // True when the text repeats the last typed one within nWindowMs (0: never).
    bool IsRepeat(const std::wstring& strCode, int nWindowMs);
    // The text last given to IsRepeat has been typed, now.
    void NoteTyped();

private:
    PFN_CLOCK m_pfnClock;
    std::wstring m_strLast;
    bool m_bTyped;
    DWORD m_dwTypedAt;
};
