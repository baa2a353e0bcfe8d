#include "targetsend.h"

CTargetSender::CTargetSender(IWindowSystem& windows, DWORD dwSelfProcess, PFN_TOKEN_ELEVATION pfnRead)
    : m_windows(windows), m_dwSelfProcess(dwSelfProcess), m_pfnRead(pfnRead), m_hWindow(NULL),
      m_hPrevious(NULL), m_bAsked(false)
{
}

SendStart CTargetSender::Begin(const std::wstring& strTarget, HWND hWindow)
{
    End();
    CTargetChoice chosen;
    if (!hWindow && ParseTargetChoice(strTarget, &chosen))
        hWindow = FindTargetWindow(m_windows, chosen, m_dwSelfProcess);
    m_strProgram = hWindow ? m_windows.ProgramOf(hWindow) : chosen.strProgram;
    if (!hWindow || !m_windows.IsShown(hWindow))
        return SEND_NO_WINDOW;
    // Input into a program of higher rights is dropped without an error:
    // better not typed, and said so, than typed into nothing.
    if (CheckElevation(m_windows.ProcessOf(hWindow), m_pfnRead) == TARGET_ELEVATED)
        return SEND_ELEVATED;
    m_hWindow = hWindow;
    m_hPrevious = m_windows.Foreground();
    if (BringForward(m_windows, hWindow) == FORWARD_IN_FRONT)
        return SEND_IN_FRONT;
    m_bAsked = true;
    return SEND_ASKED;
}

bool CTargetSender::Arrived()
{
    if (!m_bAsked || m_windows.Foreground() != m_hWindow)
        return false;
    m_bAsked = false;
    return true;
}

void CTargetSender::Refused()
{
    m_bAsked = false;
    if (m_hWindow)
        m_windows.Flash(m_hWindow);
}

bool CTargetSender::GiveBack()
{
    return GiveBackFront(m_windows, m_hPrevious, m_hWindow);
}

std::wstring TargetForCode(const std::vector<std::pair<int, std::wstring>>& ruleTargets, int nRule,
                           const std::wstring& strSectionTarget)
{
    for (const auto& rule : ruleTargets) {
        if (nRule && rule.first == nRule)
            return rule.second;
    }
    return strSectionTarget;
}
