#include "sharedwatch.h"

#include <process.h>

#include <deque>

#include "shared.h"

// Shared with the thread, which holds it for as long as it runs: at the end
// of the program it may still be waiting on a share.
struct CSharedSettingsWatch::CState {
    CState() : hWake(CreateEventA(NULL, FALSE, FALSE, NULL)), bQuit(false), hWnd(NULL)
    {
        InitializeCriticalSection(&cs);
    }
    ~CState()
    {
        DeleteCriticalSection(&cs);
        CloseHandle(hWake);
    }

    CRITICAL_SECTION cs;
    HANDLE hWake;
    // Under cs:
    bool bQuit;
    std::wstring strPath;
    std::string strPin;
    HWND hWnd;
    std::deque<CSharedRead> results;
};

namespace {

class CLock {
public:
    explicit CLock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
    ~CLock() { LeaveCriticalSection(&m_cs); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};

enum Reach { REACH_UNKNOWN, REACH_OK, REACH_FAILED };

struct CLook {
    std::wstring strPath;
    std::string strPin;
    Reach reach = REACH_UNKNOWN;
    bool bSeen = false;          // stamp: of the file last told of (read, refused or too large)
    CSharedStamp stamp = {};
};

// The file as it stands, read and checked; false while it is being written.
bool Examine(CLook& look, const CSharedStamp& stamp, CSharedRead& result, DWORD& dwError)
{
    if (!stamp.TooLarge()) {
        dwError = ReadSharedFile(look.strPath.c_str(), result.strBytes);
        // Grown past the bound meanwhile: the next look sees its size.
        if (dwError == ERROR_FILE_TOO_LARGE)
            return false;
        if (dwError)
            return true;
        CSharedStamp after;
        // Being written meanwhile: the next look reads it whole.
        if (StampSharedFile(look.strPath.c_str(), &after) == 0 && !(after == stamp))
            return false;
    }
    look.reach = REACH_OK;
    look.bSeen = true;
    look.stamp = stamp;
    if (stamp.TooLarge()) {
        result.kind = CSharedRead::TOO_LARGE;
        result.nSize = ((ULONGLONG)stamp.nSizeHigh << 32) | stamp.nSizeLow;
        return true;
    }
    result.strSha256 = Sha256Hex(result.strBytes);
    result.kind = look.strPin.empty() || result.strSha256 == look.strPin ? CSharedRead::READ : CSharedRead::REFUSED;
    if (result.kind == CSharedRead::REFUSED)
        result.strBytes.clear();
    return true;
}

// One look: a result when something changed.
bool Look(CLook& look, CSharedRead& result)
{
    result.strPath = look.strPath;
    result.strPin = look.strPin;
    result.dwError = 0;
    result.nSize = 0;
    CSharedStamp stamp;
    DWORD dwError = StampSharedFile(look.strPath.c_str(), &stamp);
    if (!dwError && !(look.bSeen && stamp == look.stamp)) {
        if (!Examine(look, stamp, result, dwError))
            return false;
        if (!dwError)
            return true;
    }
    Reach before = look.reach;
    look.reach = dwError ? REACH_FAILED : REACH_OK;
    result.dwError = dwError;
    result.kind = dwError ? CSharedRead::UNREACHABLE : CSharedRead::REACHABLE_AGAIN;
    return dwError ? before != REACH_FAILED : before == REACH_FAILED;
}

}  // namespace

CSharedSettingsWatch::CSharedSettingsWatch() : m_state(std::make_shared<CState>()), m_hThread(NULL)
{
}

CSharedSettingsWatch::~CSharedSettingsWatch()
{
    EnterCriticalSection(&m_state->cs);
    m_state->bQuit = true;
    m_state->hWnd = NULL;
    LeaveCriticalSection(&m_state->cs);
    SetEvent(m_state->hWake);
    if (m_hThread) {
        // A look held up by the network is left to end with the program.
        WaitForSingleObject(m_hThread, 1000);
        CloseHandle(m_hThread);
    }
}

void CSharedSettingsWatch::Check(const std::wstring& strPath, const std::string& strPin, HWND hWndNotify)
{
    {
        CLock lock(m_state->cs);
        m_state->strPath = strPath;
        m_state->strPin = strPin;
        m_state->hWnd = hWndNotify;
    }
    if (!m_hThread && !strPath.empty()) {
        std::shared_ptr<CState>* pState = new std::shared_ptr<CState>(m_state);
        m_hThread = (HANDLE)_beginthreadex(NULL, 0, Run, pState, 0, NULL);
        if (!m_hThread)
            delete pState;
    }
    SetEvent(m_state->hWake);
}

bool CSharedSettingsWatch::Take(CSharedRead& result)
{
    CLock lock(m_state->cs);
    if (m_state->results.empty())
        return false;
    result = m_state->results.front();
    m_state->results.pop_front();
    return true;
}

unsigned __stdcall CSharedSettingsWatch::Run(void* pParam)
{
    std::unique_ptr<std::shared_ptr<CState>> pHeld(static_cast<std::shared_ptr<CState>*>(pParam));
    CState& state = **pHeld;
    CLook look;
    for (;;) {
        WaitForSingleObject(state.hWake, INFINITE);
        // Nothing a share holds may end the program: a look that fails is
        // as if the file could not be read, and the next one tries again.
        try {
            bool bQuit;
            std::wstring strPath;
            std::string strPin;
            {
                CLock lock(state.cs);
                bQuit = state.bQuit;
                strPath = state.strPath;
                strPin = state.strPin;
            }
            if (bQuit)
                return 0;
            if (strPath != look.strPath || strPin != look.strPin) {
                look = CLook();
                look.strPath = strPath;
                look.strPin = strPin;
            }
            CSharedRead result;
            if (strPath.empty() || !Look(look, result))
                continue;
            HWND hWnd;
            {
                CLock lock(state.cs);
                state.results.push_back(result);
                hWnd = state.hWnd;
            }
            if (hWnd)
                PostMessageA(hWnd, WM_SHARED_SETTINGS, 0, 0);
        } catch (...) {
            look.bSeen = false;
        }
    }
}
