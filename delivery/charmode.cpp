#include "charmode.h"

#include <string.h>

namespace {

// How long a full queue may stay full before typing gives up on the target.
const DWORD kFullQueueMs = 5000;

bool IsLeadByte(unsigned char b)
{
    return IsDBCSLeadByte(b) != FALSE;
}

void AddChars(std::vector<CharStep>& steps, const char* pBytes, size_t nBytes)
{
    if (steps.empty() || steps.back().kind != CharStep::kChars)
        steps.push_back(CharStep{ CharStep::kChars, std::string(), 0, std::wstring() });
    steps.back().strBytes.append(pBytes, nBytes);
}

void AddKey(std::vector<CharStep>& steps, BYTE bVk)
{
    steps.push_back(CharStep{ CharStep::kKey, std::string(), bVk, std::wstring() });
}

// Prefix and suffix: Tab and CR are keys, everything else characters.
void AddAffix(std::vector<CharStep>& steps, const char* psz)
{
    for (; psz && *psz; ++psz) {
        if (*psz == '\t')
            AddKey(steps, VK_TAB);
        else if (*psz == '\r')
            AddKey(steps, VK_RETURN);
        else
            AddChars(steps, psz, 1);
    }
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
    CCharTyping(HWND hFocus, int nKeyDelay, PFN_POSTMESSAGE pfnPostA, PFN_POSTMESSAGE pfnPostW)
        : m_hFocus(hFocus), m_nKeyDelay(nKeyDelay), m_bFirst(true), m_pfnPostA(pfnPostA),
          m_pfnPostW(pfnPostW) {}

    bool Chars(const std::string& bytes)
    {
        for (size_t i = 0; i < bytes.size(); ++i) {
            Pause();
            unsigned char b = (unsigned char)bytes[i];
            if (!Post(m_pfnPostA, WM_CHAR, b))
                return false;
            // A double-byte character's trail byte goes with its lead byte.
            if (IsLeadByte(b) && i + 1 < bytes.size() &&
                !Post(m_pfnPostA, WM_CHAR, (unsigned char)bytes[++i]))
                return false;
        }
        return true;
    }

    bool Key(BYTE bVk)
    {
        Pause();
        return Post(m_pfnPostA, WM_KEYDOWN, bVk);
    }

    bool Unicode(const std::wstring& wide)
    {
        for (size_t i = 0; i < wide.size(); ++i) {
            Pause();
            if (!Post(m_pfnPostW, WM_CHAR, wide[i]))
                return false;
            // A surrogate pair is one character.
            if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                !Post(m_pfnPostW, WM_CHAR, wide[++i]))
                return false;
        }
        return true;
    }

private:
    void Pause()
    {
        if (m_nKeyDelay > 0 && !m_bFirst)
            Sleep(m_nKeyDelay);
        m_bFirst = false;
    }

    // A long text can fill the target's queue faster than the target takes
    // from it; a refused post is lost, so it is tried again until there is
    // room, the wait growing to 16 ms, bounded in all.
    bool Post(PFN_POSTMESSAGE pfnPost, UINT message, WPARAM wParam)
    {
        DWORD dwWait = 1, dwWaited = 0;
        while (!pfnPost(m_hFocus, message, wParam, 0)) {
            if (GetLastError() != ERROR_NOT_ENOUGH_QUOTA || dwWaited >= kFullQueueMs)
                return false;
            Sleep(dwWait);
            dwWaited += dwWait;
            if (dwWait < 16)
                dwWait *= 2;
        }
        return true;
    }

    HWND m_hFocus;
    int m_nKeyDelay;
    bool m_bFirst;
    PFN_POSTMESSAGE m_pfnPostA;
    PFN_POSTMESSAGE m_pfnPostW;
};

}  // namespace

std::vector<CharStep> PlanCharacterMode(const char* pszText, const std::vector<UnicodeRun>& lost,
                                        const TypeOptions& options)
{
    std::vector<CharStep> steps;
    AddAffix(steps, options.pszPrefix);
    int nLength = pszText ? (int)strlen(pszText) : 0;
    size_t nRun = 0;
    for (int i = 0; i < nLength;) {
        if (nRun < lost.size() && lost[nRun].nOffset == i) {
            steps.push_back(CharStep{ CharStep::kUnicode, std::string(), 0, lost[nRun].strWide });
            i += lost[nRun++].nBytes;
            continue;
        }
        int nEnd = nRun < lost.size() ? lost[nRun].nOffset : nLength;
        AddChars(steps, pszText + i, nEnd - i);
        i = nEnd;
    }
    if (options.pszSuffix && *options.pszSuffix)
        AddAffix(steps, options.pszSuffix);
    else if (options.bShiftEnter)
        AddKey(steps, VK_RETURN);
    return steps;
}

bool PlayCharacterMode(HWND hFocus, const std::vector<CharStep>& steps, int nKeyDelay,
                       PFN_POSTMESSAGE pfnPostA, PFN_POSTMESSAGE pfnPostW)
{
    CCharTyping typing(hFocus, nKeyDelay, pfnPostA, pfnPostW);
    for (const CharStep& step : steps) {
        switch (step.kind) {
        case CharStep::kChars:
            if (!typing.Chars(step.strBytes))
                return false;
            break;
        case CharStep::kKey:
            if (!typing.Key(step.bVk))
                return false;
            break;
        case CharStep::kUnicode:
            if (!typing.Unicode(step.strWide))
                return false;
            break;
        }
    }
    return true;
}
