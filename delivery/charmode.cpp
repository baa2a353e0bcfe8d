#include "charmode.h"

namespace {

// How long a full queue may stay full before typing gives up on the target.
const DWORD kFullQueueMs = 5000;

// How long a Tab may take to move the focus in a form.
const DWORD kFocusWaitMs = 1000;

const WORD kScanTab = 0x0F, kScanReturn = 0x1C;

void AddStep(std::vector<CharStep>& steps, CharStep::Kind kind, UINT nCodePage)
{
    if (steps.empty() || steps.back().kind != kind || kind == CharStep::kKey ||
        kind == CharStep::kEnterSuffix || kind == CharStep::kPause)
        steps.push_back(CharStep{ kind, std::string(), std::wstring(), 0, 0, nCodePage });
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
    CCharTyping(HWND hFocus, int nKeyDelay, CTypingGuard& guard, PFN_POSTMESSAGE pfnPostA,
                PFN_POSTMESSAGE pfnPostW)
        : m_hFocus(hFocus), m_hAsked(NULL), m_dwDlgCode(0), m_nKeyDelay(nKeyDelay), m_guard(guard),
          m_bFirst(true), m_result(TYPING_DONE), m_pfnPostA(pfnPostA), m_pfnPostW(pfnPostW) {}

    TypingResult Result() const { return m_result; }

    bool Chars(const std::string& bytes, UINT nCodePage)
    {
        for (size_t i = 0; i < bytes.size(); ++i) {
            unsigned char b = (unsigned char)bytes[i];
            if (!Before() || !Post(m_pfnPostA, WM_CHAR, b, 0))
                return false;
            // A double-byte character's trail byte goes with its lead byte.
            if (IsDBCSLeadByteEx(nCodePage, b) && i + 1 < bytes.size() &&
                !Post(m_pfnPostA, WM_CHAR, (unsigned char)bytes[++i], 0))
                return false;
            m_guard.Count();
        }
        return true;
    }

    // Tab and Enter go as the key press where the control leaves that key
    // to its form (a dialog moves the focus on Tab, presses its default
    // button on Enter), else as the character the control takes, in its
    // place: a posted key becomes its character only when the target takes
    // it, behind everything posted after it. bMore: something follows, which
    // must not go to the field a Tab was meant to leave.
    bool Key(BYTE bVk, bool bMore)
    {
        if (!Before())
            return false;
        if (ControlTakes(bVk)) {
            if (!Post(m_pfnPostA, WM_CHAR, bVk == VK_TAB ? '\t' : '\r', 0))
                return false;
            m_guard.Count();
            return true;
        }
        LPARAM lDown = 1 | (LPARAM)(bVk == VK_TAB ? kScanTab : kScanReturn) << 16;
        if (!Post(m_pfnPostA, WM_KEYDOWN, bVk, lDown) ||
            !Post(m_pfnPostA, WM_KEYUP, bVk, lDown | 0xC0000000))
            return false;
        m_guard.Count();
        if (bVk != VK_TAB)
            return true;
        // The last Tab is waited for too, so that the next code finds the
        // focus where this one left it; nothing of this one is lost then.
        TypingResult result = FollowFocus();
        return Go(bMore ? result : TYPING_DONE);
    }

    bool Wait(DWORD dwMs) { return Go(m_guard.Pause(dwMs)); }

    bool EnterSuffix() { return Before() && Post(m_pfnPostA, WM_KEYDOWN, VK_RETURN, 0); }

    // Whole characters: a surrogate pair goes as its two halves.
    bool Unicode(const std::wstring& wide)
    {
        for (size_t i = 0; i < wide.size(); ++i) {
            if (!Before() || !Post(m_pfnPostW, WM_CHAR, wide[i], 0))
                return false;
            if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                !Post(m_pfnPostW, WM_CHAR, wide[++i], 0))
                return false;
            m_guard.Count();
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
    // character posted before it: wait for that, bounded. TYPING_FAILED when
    // the focus stayed: a busy target has not taken the Tab yet, and what
    // follows would land in the field the Tab was to leave.
    TypingResult FollowFocus()
    {
        DWORD dwThread = GetWindowThreadProcessId(m_hFocus, NULL);
        DWORD dwStart = GetTickCount();
        do {
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            if (GetGUIThreadInfo(dwThread, &info) && info.hwndFocus && info.hwndFocus != m_hFocus) {
                m_hFocus = info.hwndFocus;
                return TYPING_DONE;
            }
            TypingResult result = m_guard.Pause(2);
            if (result != TYPING_DONE)
                return result;
        } while (GetTickCount() - dwStart < kFocusWaitMs);
        return TYPING_FAILED;
    }

    // Before each character: the key delay, and the guard's look.
    bool Before()
    {
        TypingResult result = m_nKeyDelay > 0 && !m_bFirst ? m_guard.Pause(m_nKeyDelay)
                              : m_bFirst ? m_guard.Check() : m_guard.CheckStream();
        m_bFirst = false;
        return Go(result);
    }

    bool Go(TypingResult result)
    {
        if (result != TYPING_DONE)
            m_result = result;
        return result == TYPING_DONE;
    }

    // A long text can fill the target's queue faster than the target takes
    // from it; a refused post is lost, so it is tried again until there is
    // room, the wait growing to 16 ms, bounded in all.
    bool Post(PFN_POSTMESSAGE pfnPost, UINT message, WPARAM wParam, LPARAM lParam)
    {
        DWORD dwWait = 1, dwWaited = 0;
        while (!pfnPost(m_hFocus, message, wParam, lParam)) {
            if (GetLastError() != ERROR_NOT_ENOUGH_QUOTA || dwWaited >= kFullQueueMs)
                return Go(TYPING_FAILED);
            if (!Go(m_guard.Pause(dwWait)))
                return false;
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
    CTypingGuard& m_guard;
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
    CTypedWalk walk(text);
    for (TypedItem item; walk.Next(&item);) {
        wchar_t ch = item.Char();
        char bytes[8];
        int nBytes = 0;
        if (item.kind == TypedItem::kPause) {
            AddStep(steps, CharStep::kPause, nCodePage);
            steps.back().dwMs = item.dwMs;
        } else if (item.kind == TypedItem::kKey) {
            continue;
        } else if (ch == L'\t' || ch == L'\r') {
            AddStep(steps, CharStep::kKey, nCodePage);
            steps.back().bVk = ch == L'\t' ? VK_TAB : VK_RETURN;
        } else if (ch < 0x80 ||
                   (bBytes && (nBytes = CharBytes(nCodePage, item.awch, item.nUnits, bytes)) > 0)) {
            AddStep(steps, CharStep::kChars, nCodePage);
            if (ch < 0x80)
                steps.back().strBytes += (char)ch;
            else
                steps.back().strBytes.append(bytes, nBytes);
        } else {
            AddStep(steps, CharStep::kUnicode, nCodePage);
            steps.back().strWide.append(item.awch, item.nUnits);
        }
    }
    if (bEnter)
        AddStep(steps, CharStep::kEnterSuffix, nCodePage);
    return steps;
}

TypingResult PlayCharacterMode(HWND hFocus, const std::vector<CharStep>& steps, int nKeyDelay,
                               CTypingGuard& guard, PFN_POSTMESSAGE pfnPostA, PFN_POSTMESSAGE pfnPostW)
{
    CCharTyping typing(hFocus, nKeyDelay, guard, pfnPostA, pfnPostW);
    for (size_t i = 0; i < steps.size(); ++i) {
        const CharStep& step = steps[i];
        bool bGoOn = true;
        switch (step.kind) {
        case CharStep::kChars: bGoOn = typing.Chars(step.strBytes, step.nCodePage); break;
        case CharStep::kUnicode: bGoOn = typing.Unicode(step.strWide); break;
        case CharStep::kKey: bGoOn = typing.Key(step.bVk, i + 1 < steps.size()); break;
        case CharStep::kEnterSuffix: bGoOn = typing.EnterSuffix(); break;
        case CharStep::kPause: bGoOn = typing.Wait(step.dwMs); break;
        }
        if (!bGoOn)
            break;
    }
    return typing.Result();
}
