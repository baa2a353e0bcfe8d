// Watches the organisation's shared settings file from a thread of its own:
// a share that does not answer can hold a look at a file for long, and must
// never hold the tray window. Each look compares the file's time stamp with
// the last read and reads it whole when it changed; the window hears only
// of what changed.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// Posted to the window when a result waits to be taken.
#define WM_SHARED_SETTINGS (WM_USER + 8)

struct CSharedRead {
    enum Kind { READ, UNREACHABLE, REACHABLE_AGAIN };
    Kind kind;
    std::string strPath;    // the file looked at
    std::string strBytes;   // READ: the whole file
    DWORD dwError;          // UNREACHABLE: why
};

class CSharedSettingsWatch {
public:
    CSharedSettingsWatch();
    ~CSharedSettingsWatch();
    CSharedSettingsWatch(const CSharedSettingsWatch&) = delete;
    CSharedSettingsWatch& operator=(const CSharedSettingsWatch&) = delete;

    // Asks for a look at the file (empty: none is named). A look under way
    // takes the request up once it is done.
    void Check(const std::string& strPath, HWND hWndNotify);
    // The oldest result not taken yet.
    bool Take(CSharedRead& result);

private:
    struct CState;
    static unsigned __stdcall Run(void* pParam);

    std::shared_ptr<CState> m_state;
    HANDLE m_hThread;
};
