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
    std::string strPath;
    HWND hWnd;
    std::deque<CSharedRead> results;
};

namespace {

enum Reach { REACH_UNKNOWN, REACH_OK, REACH_FAILED };

struct CLook {
    std::string strPath;
    Reach reach = REACH_UNKNOWN;
    bool bRead = false;
    CSharedStamp stamp = {};
};

// One look: a result when something changed.
bool Look(CLook& look, CSharedRead& result)
{
    result.strPath = look.strPath;
    result.dwError = 0;
    CSharedStamp stamp;
    DWORD dwError = StampSharedFile(look.strPath.c_str(), &stamp);
    if (!dwError && !(look.bRead && stamp == look.stamp)) {
        dwError = ReadSharedFile(look.strPath.c_str(), result.strBytes);
        CSharedStamp after;
        // Being written meanwhile: the next look reads it whole.
        if (!dwError && StampSharedFile(look.strPath.c_str(), &after) == 0 && !(after == stamp))
            return false;
        if (!dwError) {
            look.reach = REACH_OK;
            look.bRead = true;
            look.stamp = stamp;
            result.kind = CSharedRead::READ;
            return true;
        }
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

void CSharedSettingsWatch::Check(const std::string& strPath, HWND hWndNotify)
{
    EnterCriticalSection(&m_state->cs);
    m_state->strPath = strPath;
    m_state->hWnd = hWndNotify;
    LeaveCriticalSection(&m_state->cs);
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
    EnterCriticalSection(&m_state->cs);
    bool bAny = !m_state->results.empty();
    if (bAny) {
        result = m_state->results.front();
        m_state->results.pop_front();
    }
    LeaveCriticalSection(&m_state->cs);
    return bAny;
}

unsigned __stdcall CSharedSettingsWatch::Run(void* pParam)
{
    std::unique_ptr<std::shared_ptr<CState>> pHeld(static_cast<std::shared_ptr<CState>*>(pParam));
    CState& state = **pHeld;
    CLook look;
    for (;;) {
        WaitForSingleObject(state.hWake, INFINITE);
        EnterCriticalSection(&state.cs);
        bool bQuit = state.bQuit;
        std::string strPath = state.strPath;
        LeaveCriticalSection(&state.cs);
        if (bQuit)
            return 0;
        if (strPath != look.strPath)
            look = CLook{ strPath };
        CSharedRead result;
        if (strPath.empty() || !Look(look, result))
            continue;
        EnterCriticalSection(&state.cs);
        state.results.push_back(result);
        HWND hWnd = state.hWnd;
        LeaveCriticalSection(&state.cs);
        if (hWnd)
            PostMessageA(hWnd, WM_SHARED_SETTINGS, 0, 0);
    }
}
