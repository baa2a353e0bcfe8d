// Codes whose target program could not be reached: they wait, within
// bounds, for a window of it to appear or to be brought to the front.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "targetwindow.h"

struct WaitingCode {
    std::string strBytes;      // as the engine decoded it
    std::wstring strTarget;    // the Target value it is meant for
    DWORD dwSince;             // tick count when it began to wait
    // Windows refused to bring this window forward: the code goes once the
    // user brings it forward; NULL: the program had no matching window.
    HWND hRefused;
};

class CWaitingCodes {
public:
    CWaitingCodes() : m_nMaxCodes(20), m_dwMaxMs(120000) {}

    void SetBounds(int nMaxCodes, int nSeconds);
    // False when the bound is reached: the code is not kept.
    bool Add(const WaitingCode& code);
    bool Empty() const { return m_codes.empty(); }
    size_t Count() const { return m_codes.size(); }

    // The codes that waited longer than the bound, taken out.
    std::vector<WaitingCode> TakeExpired(DWORD dwNow);
    // The first code, in order, that can go now: its program has a matching
    // window, or the refused window is in front. Taken out; false if none.
    bool TakeReady(IWindowSystem& windows, DWORD dwSelfProcess, WaitingCode* pCode);
    // Puts a code taken by TakeReady back at the head, as it could not go yet.
    void PutBack(const WaitingCode& code) { m_codes.push_front(code); }
    std::vector<WaitingCode> TakeAll();

private:
    std::deque<WaitingCode> m_codes;
    size_t m_nMaxCodes;
    DWORD m_dwMaxMs;
};
