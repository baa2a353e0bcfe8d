// One code on its way to a chosen program: its window found, brought to the
// front when it is not there, and the front given back after the typing.
// The caller waits for the front to change (a foreground hook) within a
// bound before it types; nothing here waits.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "target.h"
#include "targetwindow.h"

enum SendStart {
    SEND_IN_FRONT,     // type now
    SEND_ASKED,        // asked to come forward: wait for the front to change
    SEND_NO_WINDOW,    // not running, or no window matches
    SEND_ELEVATED      // runs with higher rights: typing would be dropped
};

// The Target a code goes to: that of the rule that shaped it (nRule, 0:
// none) when the rule has one, else its output section's.
std::wstring TargetForCode(const std::vector<std::pair<int, std::wstring>>& ruleTargets, int nRule,
                           const std::wstring& strSectionTarget);

class CTargetSender {
public:
    CTargetSender(IWindowSystem& windows, DWORD dwSelfProcess,
                  PFN_TOKEN_ELEVATION pfnRead = ReadTokenElevation);

    // Starts sending to the target (a Target value) or to the window hWindow
    // when given (a window Windows refused to bring forward before).
    SendStart Begin(const std::wstring& strTarget, HWND hWindow = NULL);
    // The front changed while SEND_ASKED: true once the target is in front.
    bool Arrived();
    // The bound passed without the target in front: its taskbar button flashes.
    void Refused();
    // After the last key: the front goes back to the window that had it,
    // unless the user moved on; true when asked for.
    bool GiveBack();
    // The wait is over: the typing has started, or will not.
    void Reached() { m_bAsked = false; }
    // In front but not ready (no focus yet): waited for as if asked forward.
    void Await() { m_bAsked = m_hWindow != NULL; }
    void End() { m_hWindow = m_hPrevious = NULL; m_bAsked = false; }

    bool Asked() const { return m_bAsked; }
    HWND Window() const { return m_hWindow; }
    const std::wstring& Program() const { return m_strProgram; }

private:
    IWindowSystem& m_windows;
    DWORD m_dwSelfProcess;
    PFN_TOKEN_ELEVATION m_pfnRead;
    HWND m_hWindow;
    HWND m_hPrevious;       // in front when the code came
    bool m_bAsked;
    std::wstring m_strProgram;
};
