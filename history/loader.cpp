// The history file read back on a thread of its own: the scanner starts
// meanwhile, and the records reach the window that owns them by a message.
#include "histfile.h"

#include <new>

namespace {

struct CLoadJob {
    std::wstring strPath;
    unsigned long long nSize;
    HWND hWnd;
    UINT nMessage;
};

DWORD WINAPI LoadThread(LPVOID pParam)
{
    CLoadJob* pJob = static_cast<CLoadJob*>(pParam);
    HistoryFileContents* pContents = new (std::nothrow) HistoryFileContents;
    if (pContents && !ReadHistoryFile(pJob->strPath, pJob->nSize, pContents)) {
        delete pContents;
        pContents = NULL;
    }
    // A window gone meanwhile takes nothing.
    if (!PostMessageW(pJob->hWnd, pJob->nMessage, 0, (LPARAM)pContents))
        delete pContents;
    delete pJob;
    return 0;
}

}  // namespace

bool StartHistoryLoad(const std::wstring& strPath, unsigned long long nSize, HWND hWnd, UINT nMessage)
{
    CLoadJob* pJob = new (std::nothrow) CLoadJob{ strPath, nSize, hWnd, nMessage };
    if (!pJob)
        return false;
    HANDLE hThread = CreateThread(NULL, 0, LoadThread, pJob, 0, NULL);
    if (!hThread) {
        delete pJob;
        return false;
    }
    CloseHandle(hThread);
    return true;
}
