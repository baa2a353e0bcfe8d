#include "targetwindow.h"

#include <algorithm>

#include "target.h"

namespace {

std::wstring Lowered(std::wstring str)
{
    if (!str.empty())
        CharLowerBuffW(&str[0], (DWORD)str.size());
    return str;
}

std::wstring Trimmed(const std::wstring& str)
{
    size_t nBegin = str.find_first_not_of(L" \t");
    if (nBegin == std::wstring::npos)
        return std::wstring();
    return str.substr(nBegin, str.find_last_not_of(L" \t") - nBegin + 1);
}

BOOL CALLBACK AddWindow(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

// A window a user can bring forward: shown, with a title, not a tool window.
bool IsCandidate(IWindowSystem& windows, HWND hWnd, DWORD dwSelfProcess)
{
    return windows.IsShown(hWnd) && windows.ProcessOf(hWnd) != dwSelfProcess && !windows.Title(hWnd).empty();
}

}  // namespace

bool ParseTargetChoice(const std::wstring& strValue, CTargetChoice* pSpec)
{
    size_t nBar = strValue.find(L'|');
    CTargetChoice chosen;
    chosen.strProgram = Lowered(Trimmed(strValue.substr(0, nBar)));
    if (nBar != std::wstring::npos)
        chosen.strTitle = Trimmed(strValue.substr(nBar + 1));
    if (chosen.strProgram.empty())
        return false;
    *pSpec = chosen;
    return true;
}

bool WildcardMatch(const WCHAR* pszPattern, const WCHAR* pszText)
{
    // Greedy with one backtrack point: linear enough for titles.
    const WCHAR* pStar = NULL;
    const WCHAR* pResume = NULL;
    while (*pszText) {
        WCHAR chPattern = (WCHAR)(ULONG_PTR)CharLowerW((LPWSTR)(ULONG_PTR)*pszPattern);
        WCHAR chText = (WCHAR)(ULONG_PTR)CharLowerW((LPWSTR)(ULONG_PTR)*pszText);
        if (*pszPattern == L'*') {
            pStar = pszPattern++;
            pResume = pszText;
        } else if (*pszPattern && (*pszPattern == L'?' || chPattern == chText)) {
            ++pszPattern;
            ++pszText;
        } else if (pStar) {
            pszPattern = pStar + 1;
            pszText = ++pResume;
        } else {
            return false;
        }
    }
    while (*pszPattern == L'*')
        ++pszPattern;
    return !*pszPattern;
}

HWND FindTargetWindow(IWindowSystem& windows, const CTargetChoice& chosen, DWORD dwSelfProcess)
{
    for (HWND hWnd : windows.TopWindows()) {
        if (!IsCandidate(windows, hWnd, dwSelfProcess) || Lowered(windows.ProgramOf(hWnd)) != chosen.strProgram)
            continue;
        if (chosen.strTitle.empty() || WildcardMatch(chosen.strTitle.c_str(), windows.Title(hWnd).c_str()))
            return hWnd;
    }
    return NULL;
}

std::vector<std::wstring> ProgramsWithWindows(IWindowSystem& windows, DWORD dwSelfProcess)
{
    std::vector<std::wstring> programs;
    for (HWND hWnd : windows.TopWindows()) {
        if (!IsCandidate(windows, hWnd, dwSelfProcess))
            continue;
        std::wstring strProgram = Lowered(windows.ProgramOf(hWnd));
        if (!strProgram.empty() && std::find(programs.begin(), programs.end(), strProgram) == programs.end())
            programs.push_back(strProgram);
    }
    std::sort(programs.begin(), programs.end());
    return programs;
}

ForwardState BringForward(IWindowSystem& windows, HWND hTarget)
{
    if (windows.IsMinimised(hTarget))
        windows.Restore(hTarget);
    if (windows.Foreground() == hTarget)
        return FORWARD_IN_FRONT;
    windows.RequestForeground(hTarget);
    return windows.Foreground() == hTarget ? FORWARD_IN_FRONT : FORWARD_ASKED;
}

bool GiveBackFront(IWindowSystem& windows, HWND hPrevious, HWND hTarget)
{
    if (!hPrevious || hPrevious == hTarget || windows.Foreground() != hTarget || !windows.IsShown(hPrevious))
        return false;
    windows.RequestForeground(hPrevious);
    return true;
}

std::vector<HWND> CWin32Windows::TopWindows()
{
    std::vector<HWND> windows;
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool CWin32Windows::IsShown(HWND hWnd)
{
    return IsWindowVisible(hWnd) && !(GetWindowLongA(hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

bool CWin32Windows::IsMinimised(HWND hWnd)
{
    return IsIconic(hWnd) != FALSE;
}

std::wstring CWin32Windows::Title(HWND hWnd)
{
    // Read without a message to the window's thread: a hung program's window
    // must not hold up the choice.
    WCHAR szTitle[256] = {};
    InternalGetWindowText(hWnd, szTitle, ARRAYSIZE(szTitle));
    return szTitle;
}

DWORD CWin32Windows::ProcessOf(HWND hWnd)
{
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    return dwProcessId;
}

std::wstring CWin32Windows::ProgramOf(HWND hWnd)
{
    return ProgramFileName(ProcessOf(hWnd));
}

HWND CWin32Windows::Foreground()
{
    return GetForegroundWindow();
}

void CWin32Windows::Restore(HWND hWnd)
{
    ShowWindowAsync(hWnd, SW_RESTORE);
}

// Windows lets the program that gave the last input event move the front.
// That is made true with one key of no meaning (0xE8 is assigned to nothing)
// pressed and released in the same call, so it can neither stay down nor
// open a menu, as an injected Alt would; no input queue is joined.
void CWin32Windows::RequestForeground(HWND hWnd)
{
    const WORD kUnassignedKey = 0xE8;
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = kUnassignedKey;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    SetForegroundWindow(hWnd);
}

void CWin32Windows::Flash(HWND hWnd)
{
    FLASHWINFO info = { sizeof(info), hWnd, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0 };
    FlashWindowEx(&info);
}
