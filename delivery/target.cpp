#include "target.h"

#include "typekeys.h"

BOOL ReadTokenElevation(DWORD dwProcessId, DWORD* pdwElevated)
{
    HANDLE hProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId);
    if (!hProcess)
        return FALSE;
    HANDLE hToken = NULL;
    BOOL bRead = FALSE;
    if (OpenProcessToken(hProcess, TOKEN_QUERY, &hToken)) {
        TOKEN_ELEVATION elevation = {};
        DWORD cb = 0;
        bRead = GetTokenInformation(hToken, TokenElevation, &elevation, sizeof(elevation), &cb);
        if (bRead)
            *pdwElevated = elevation.TokenIsElevated;
        CloseHandle(hToken);
    }
    CloseHandle(hProcess);
    return bRead;
}

std::wstring ProgramFileName(DWORD dwProcessId)
{
    HANDLE hProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcessId);
    if (!hProcess)
        return std::wstring();
    // Looked up: the program also starts on systems older than Vista, which
    // lack it; the limited query right reads any process, elevated or not.
    typedef BOOL (WINAPI* PFN_QUERYNAME)(HANDLE, DWORD, LPWSTR, PDWORD);
    static PFN_QUERYNAME s_pfnQuery = (PFN_QUERYNAME)(void*)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameW");
    WCHAR szPath[MAX_PATH] = {};
    DWORD cch = MAX_PATH;
    BOOL bRead = s_pfnQuery && s_pfnQuery(hProcess, 0, szPath, &cch);
    CloseHandle(hProcess);
    if (!bRead)
        return std::wstring();
    const WCHAR* pName = szPath;
    for (const WCHAR* p = szPath; *p; ++p) {
        if (*p == L'\\' || *p == L'/')
            pName = p + 1;
    }
    return pName;
}

Elevation ProcessElevation(DWORD dwProcessId, PFN_TOKEN_ELEVATION pfnRead)
{
    DWORD dwElevated = 0;
    if (!pfnRead(dwProcessId, &dwElevated))
        return ELEVATION_UNKNOWN;
    return dwElevated ? ELEVATION_YES : ELEVATION_NO;
}

TargetStatus CheckElevation(DWORD dwTargetProcessId, PFN_TOKEN_ELEVATION pfnRead)
{
    if (ProcessElevation(dwTargetProcessId, pfnRead) != ELEVATION_YES)
        return TARGET_OK;
    return ProcessElevation(GetCurrentProcessId(), pfnRead) == ELEVATION_NO ? TARGET_ELEVATED
                                                                            : TARGET_OK;
}

TargetStatus FindTypingTarget(HWND hSelf, CTypingTarget* pTarget, PFN_TOKEN_ELEVATION pfnRead)
{
    CTypingTarget target = {};
    target.hWindow = GetForegroundWindow();
    *pTarget = target;
    if (!target.hWindow)
        return TARGET_NO_FOCUS;
    DWORD dwThreadId = GetWindowThreadProcessId(target.hWindow, &target.dwProcessId);
    DWORD dwSelfProcessId = 0;
    if (hSelf && GetWindowThreadProcessId(hSelf, &dwSelfProcessId) && dwSelfProcessId == target.dwProcessId)
        return TARGET_SELF;
    target.dwThreadId = dwThreadId;
    // First: Windows refuses to join the input queue of a process with
    // higher rights, which would look like a window without focus.
    TargetStatus status = CheckElevation(target.dwProcessId, pfnRead);
    if (status != TARGET_OK) {
        *pTarget = target;
        return status;
    }

    // The focus belongs to the target's input queue: join it for a moment.
    // This thread is the one attached and detached, so the target keeps its
    // own input state afterwards; Wine gives the shared state to the thread
    // named first and would otherwise send the keys to this program.
    DWORD dwThisThread = GetCurrentThreadId();
    if (target.dwThreadId == dwThisThread) {
        target.hFocus = GetFocus();
        target.keys = TakeKeyboardSnapshot();
    } else if (AttachThreadInput(dwThisThread, target.dwThreadId, TRUE)) {
        target.hFocus = GetFocus();
        target.keys = TakeKeyboardSnapshot();
        AttachThreadInput(dwThisThread, target.dwThreadId, FALSE);
    } else {
        // Not joined: GetFocus would name this thread's own focus.
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        if (GetGUIThreadInfo(target.dwThreadId, &info))
            target.hFocus = info.hwndFocus;
        target.keys = TakeKeyboardSnapshot();
    }
    *pTarget = target;
    return target.hFocus ? TARGET_OK : TARGET_NO_FOCUS;
}
