#include "waitlist.h"

void CWaitingCodes::SetBounds(int nMaxCodes, int nSeconds)
{
    m_nMaxCodes = nMaxCodes > 0 ? (size_t)nMaxCodes : 1;
    m_dwMaxMs = (DWORD)(nSeconds > 0 ? nSeconds : 1) * 1000;
}

bool CWaitingCodes::Add(const WaitingCode& code)
{
    if (m_codes.size() >= m_nMaxCodes)
        return false;
    m_codes.push_back(code);
    return true;
}

std::vector<WaitingCode> CWaitingCodes::TakeExpired(DWORD dwNow)
{
    std::vector<WaitingCode> expired;
    for (auto it = m_codes.begin(); it != m_codes.end();) {
        // Unsigned difference: right across the tick count's wrap.
        if (dwNow - it->dwSince >= m_dwMaxMs) {
            expired.push_back(*it);
            it = m_codes.erase(it);
        } else {
            ++it;
        }
    }
    return expired;
}

bool CWaitingCodes::TakeReady(IWindowSystem& windows, DWORD dwSelfProcess, WaitingCode* pCode)
{
    HWND hFront = windows.Foreground();
    for (auto it = m_codes.begin(); it != m_codes.end(); ++it) {
        CTargetChoice chosen;
        if (!ParseTargetChoice(it->strTarget, &chosen))
            continue;
        bool bReady = it->hRefused ? hFront == it->hRefused
                                   : FindTargetWindow(windows, chosen, dwSelfProcess) != NULL;
        if (bReady) {
            *pCode = *it;
            m_codes.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<WaitingCode> CWaitingCodes::TakeAll()
{
    std::vector<WaitingCode> codes(m_codes.begin(), m_codes.end());
    m_codes.clear();
    return codes;
}
