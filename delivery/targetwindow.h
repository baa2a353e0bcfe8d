// The program codes are sent to when one is chosen: which of its windows
// gets them, bringing that window to the front and giving the front back.
// The window functions come in through IWindowSystem so that every choice
// can be played without real windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// "erp.exe" or "erp.exe|Goods receipt*": the program's file name and a
// pattern its window's title must match (* and ?, any case; empty: any).
struct CTargetChoice {
    std::wstring strProgram;
    std::wstring strTitle;
};

// False for an empty value: codes go to the window in front.
bool ParseTargetChoice(const std::wstring& strValue, CTargetChoice* pSpec);

// The whole text matches the pattern; * any run, ? any one character, any case.
bool WildcardMatch(const WCHAR* pszPattern, const WCHAR* pszText);

class IWindowSystem {
public:
    virtual ~IWindowSystem() {}
    // The top-level windows, the one in front first (z-order).
    virtual std::vector<HWND> TopWindows() = 0;
    virtual bool IsShown(HWND hWnd) = 0;
    virtual bool IsMinimised(HWND hWnd) = 0;
    virtual std::wstring Title(HWND hWnd) = 0;
    virtual DWORD ProcessOf(HWND hWnd) = 0;
    virtual std::wstring ProgramOf(HWND hWnd) = 0;   // its file name
    virtual HWND Foreground() = 0;
    // Restores a minimised window without waiting for its program.
    virtual void Restore(HWND hWnd) = 0;
    // Asks Windows to bring the window forward; the answer may come later.
    virtual void RequestForeground(HWND hWnd) = 0;
    virtual void Flash(HWND hWnd) = 0;
};

// The real window functions.
class CWin32Windows : public IWindowSystem {
public:
    std::vector<HWND> TopWindows() override;
    bool IsShown(HWND hWnd) override;
    bool IsMinimised(HWND hWnd) override;
    std::wstring Title(HWND hWnd) override;
    DWORD ProcessOf(HWND hWnd) override;
    std::wstring ProgramOf(HWND hWnd) override;
    HWND Foreground() override;
    void Restore(HWND hWnd) override;
    void RequestForeground(HWND hWnd) override;
    void Flash(HWND hWnd) override;
};

// The most recently active shown top-level window of the program whose
// title matches; NULL when there is none. Windows of dwSelfProcess never.
HWND FindTargetWindow(IWindowSystem& windows, const CTargetChoice& chosen, DWORD dwSelfProcess);

// The running programs with a shown titled window, each once, in lower
// case: what the settings window offers to choose from.
std::vector<std::wstring> ProgramsWithWindows(IWindowSystem& windows, DWORD dwSelfProcess);

enum ForwardState { FORWARD_IN_FRONT, FORWARD_ASKED };

// Restores the window when minimised and, unless it is in front already,
// asks for it to come forward: FORWARD_ASKED means wait for the front to
// change (or the bound to pass) before typing.
ForwardState BringForward(IWindowSystem& windows, HWND hTarget);

// After the last key: the window that had the front gets it back, unless the
// user moved on meanwhile (the target is no longer in front) or it is gone.
bool GiveBackFront(IWindowSystem& windows, HWND hPrevious, HWND hTarget);
