// The file calls the history makes, in one place: a test puts a failure in.
#pragma once

#include <windows.h>

struct CHistoryFileCalls {
    HANDLE(WINAPI* pOpen)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* pRead)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* pWrite)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* pMove)(LPCWSTR, LPCWSTR, DWORD);
};

// The system's own unless a test has put others in before the file is used.
extern CHistoryFileCalls g_historyFileCalls;
