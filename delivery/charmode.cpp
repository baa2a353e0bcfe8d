#include "charmode.h"

namespace {

// How long a full queue may stay full before typing gives up on the target.
const DWORD kFullQueueMs = 5000;

// How long a Tab may take to move the focus in a form.
const DWORD kFocusWaitMs = 1000;

const WORD kScanTab = 0x0F, kScanReturn = 0x1C;

void AddStep(std::vector<CharStep>& steps, CharStep::Kind kind)
{
    if (steps.empty() || steps.back().kind != kind || kind == CharStep::kKey ||
        kind == CharStep::kEnterSuffix || kind == CharStep::kPause)
        steps.push_back(CharStep{ kind, std::string(), std::wstring(), 0, 0 });
}

// Only code pages of one or two bytes a character can go through WM_CHAR
// byte by byte: under UTF-8 (or GB18030) every character outside ASCII goes
// as UTF-16.
bool PostsBytes(UINT nCodePage)
{
    CPINFO info;
    return nCodePage != CP_UTF8 && GetCPInfo(nCodePage, &info) && info.MaxCharSize <= 2;
}

// The character's bytes in the code page, none when the code page lacks it
// (no look-alike: Ω is not O).
int CharBytes(UINT nCodePage, const wchar_t* pwch, int nUnits, char* pOut)
{
    BOOL bLost = FALSE;
    int n = WideCharToMultiByte(nCodePage, WC_NO_BEST_FIT_CHARS, pwch, nUnits, pOut, 8, NULL, &bLost);
    return bLost ? 0 : n;
}

// Posted messages reach the target in the order they were posted, so
// characters the code page lacks are posted too, as UTF-16 WM_CHAR: the same
// message a Unicode input event becomes, but in its place among the others.
// (Unicode input is queued input, which the target takes only after every
// posted message; to keep the order, posting would have to wait until the
// target had taken the input, which cannot be observed reliably: measured
// under Wine, the toggle state of a marker key pressed after the input, read
// while sharing the target's input state, flipped within 20 ms in four
// waits and not within a second in five.)
class CCharTyping {
public:
    CCharTyping(HWND hFocus, int nKeyDelay, HANDLE hCancel, PFN_POSTMESSAGE pfnPostA,
                PFN_POSTMESSAGE pfnPostW)
        : m_hFocus(hFocus), m_hAsked(NULL), m_dwDlgCode(0), m_nKeyDelay(nKeyDelay),
          m_hCancel(hCancel), m_bFirst(true),
          m_result(TYPING_DONE), m_pfnPostA(pfnPostA), m_pfnPostW(pfnPostW) {}

    TypingResult Result() const { return m_result; }

    bool Chars(const std::string& bytes)
    {
        for (size_t i = 0; i < bytes.size(); ++i) {
            unsigned char b = (unsigned char)bytes[i];
            if (!Pause() || !Post(m_pfnPostA, WM_CHAR, b, 0))
                return false;
            // A double-byte character's trail byte goes with its lead byte.
            if (IsDBCSLeadByte(b) && i + 1 < bytes.size() &&
                !Post(m_pfnPostA, WM_CHAR, (unsigned char)bytes[++i], 0))
                return false;
        }
        return true;
    }

    // Tab and Enter go as the key press where the control leaves that key
    // to its form (a dialog moves the focus on Tab, presses its default
    // button on Enter), else as the character the control takes, in its
    // place: a posted key becomes its character only when the target takes
    // it, behind everything posted after it.
    bool Key(BYTE bVk)
    {
        if (!Pause())
            return false;
        if (ControlTakes(bVk))
            return Post(m_pfnPostA, WM_CHAR, bVk == VK_TAB ? '\t' : '\r', 0);
        LPARAM lDown = 1 | (LPARAM)(bVk == VK_TAB ? kScanTab : kScanReturn) << 16;
        if (!Post(m_pfnPostA, WM_KEYDOWN, bVk, lDown) ||
            !Post(m_pfnPostA, WM_KEYUP, bVk, lDown | 0xC0000000))
            return false;
        if (bVk == VK_TAB)
            FollowFocus();
        return true;
    }

    bool Wait(DWORD dwMs)
    {
        if (PauseTyping(m_hCancel, dwMs)) {
            m_result = TYPING_CANCELLED;
            return false;
        }
        return true;
    }

    bool EnterSuffix() { return Pause() && Post(m_pfnPostA, WM_KEYDOWN, VK_RETURN, 0); }

    bool Unicode(const std::wstring& wide)
    {
        for (size_t i = 0; i < wide.size(); ++i) {
            if (!Pause() || !Post(m_pfnPostW, WM_CHAR, wide[i], 0))
                return false;
            // A surrogate pair is one character.
            if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                !Post(m_pfnPostW, WM_CHAR, wide[++i], 0))
                return false;
        }
        return true;
    }

private:
    // Asked once a control: a text with many lines would otherwise wait
    // for the target at every line break.
    bool ControlTakes(BYTE bVk)
    {
        if (m_hAsked != m_hFocus) {
            m_hAsked = m_hFocus;
            m_dwDlgCode = 0;
            if (!SendMessageTimeoutW(m_hFocus, WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, kFocusWaitMs,
                                     &m_dwDlgCode))
                m_dwDlgCode = 0;
        }
        return (m_dwDlgCode & (DLGC_WANTALLKEYS | (bVk == VK_TAB ? DLGC_WANTTAB : 0))) != 0;
    }

    // The posted Tab moves the focus once the target takes it, after every
    // character posted before it: wait for that, bounded.
    void FollowFocus()
    {
        DWORD dwThread = GetWindowThreadProcessId(m_hFocus, NULL);
        DWORD dwStart = GetTickCount();
        do {
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            if (GetGUIThreadInfo(dwThread, &info) && info.hwndFocus && info.hwndFocus != m_hFocus) {
                m_hFocus = info.hwndFocus;
                return;
            }
        } while (!PauseTyping(m_hCancel, 2) && GetTickCount() - dwStart < kFocusWaitMs);
    }

    bool Pause()
    {
        if (m_nKeyDelay > 0 && !m_bFirst && PauseTyping(m_hCancel, m_nKeyDelay)) {
            m_result = TYPING_CANCELLED;
            return false;
        }
        m_bFirst = false;
        return true;
    }

    // A long text can fill the target's queue faster than the target takes
    // from it; a refused post is lost, so it is tried again until there is
    // room, the wait growing to 16 ms, bounded in all.
    bool Post(PFN_POSTMESSAGE pfnPost, UINT message, WPARAM wParam, LPARAM lParam)
    {
        DWORD dwWait = 1, dwWaited = 0;
        while (!pfnPost(m_hFocus, message, wParam, lParam)) {
            if (GetLastError() != ERROR_NOT_ENOUGH_QUOTA || dwWaited >= kFullQueueMs) {
                m_result = TYPING_FAILED;
                return false;
            }
            if (PauseTyping(m_hCancel, dwWait)) {
                m_result = TYPING_CANCELLED;
                return false;
            }
            dwWaited += dwWait;
            if (dwWait < 16)
                dwWait *= 2;
        }
        return true;
    }

    HWND m_hFocus;
    HWND m_hAsked;            // the control whose dialog code m_dwDlgCode is
    DWORD_PTR m_dwDlgCode;
    int m_nKeyDelay;
    HANDLE m_hCancel;
    bool m_bFirst;
    TypingResult m_result;
    PFN_POSTMESSAGE m_pfnPostA;
    PFN_POSTMESSAGE m_pfnPostW;
};

}  // namespace

std::vector<CharStep> PlanCharacterMode(const std::wstring& text, bool bEnter, UINT nCodePage)
{
    if (nCodePage == CP_ACP)
        nCodePage = GetACP();
    bool bBytes = PostsBytes(nCodePage);
    std::vector<CharStep> steps;
    for (size_t i = 0; i < text.size();) {
        wchar_t ch = text[i];
        int nUnits = ch >= 0xD800 && ch <= 0xDBFF && i + 1 < text.size() ? 2 : 1;
        char bytes[8];
        int nBytes = 0;
        if (ch == kKeyMarker || ch == kPauseMarker) {
            if (ch == kPauseMarker && i + 1 < text.size()) {
                AddStep(steps, CharStep::kPause);
                steps.back().dwMs = text[i + 1];
            }
            nUnits = 2;
        } else if (ch == L'\t' || ch == L'\r') {
            AddStep(steps, CharStep::kKey);
            steps.back().bVk = ch == L'\t' ? VK_TAB : VK_RETURN;
        } else if (ch < 0x80 || (bBytes && (nBytes = CharBytes(nCodePage, &text[i], nUnits, bytes)) > 0)) {
            AddStep(steps, CharStep::kChars);
            if (ch < 0x80)
                steps.back().strBytes += (char)ch;
            else
                steps.back().strBytes.append(bytes, nBytes);
        } else {
            AddStep(steps, CharStep::kUnicode);
            steps.back().strWide.append(&text[i], nUnits);
        }
        i += nUnits;
    }
    if (bEnter)
        AddStep(steps, CharStep::kEnterSuffix);
    return steps;
}

TypingResult PlayCharacterMode(HWND hFocus, const std::vector<CharStep>& steps, int nKeyDelay,
                               HANDLE hCancel, PFN_POSTMESSAGE pfnPostA, PFN_POSTMESSAGE pfnPostW)
{
    CCharTyping typing(hFocus, nKeyDelay, hCancel, pfnPostA, pfnPostW);
    for (const CharStep& step : steps) {
        bool bGoOn = true;
        switch (step.kind) {
        case CharStep::kChars: bGoOn = typing.Chars(step.strBytes); break;
        case CharStep::kUnicode: bGoOn = typing.Unicode(step.strWide); break;
        case CharStep::kKey: bGoOn = typing.Key(step.bVk); break;
        case CharStep::kEnterSuffix: bGoOn = typing.EnterSuffix(); break;
        case CharStep::kPause: bGoOn = typing.Wait(step.dwMs); break;
        }
        if (!bGoOn)
            break;
    }
    return typing.Result();
}
