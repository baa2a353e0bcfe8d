// Watches the organisation's shared settings file from a thread of its own:
// a share that does not answer can hold a look at a file for long, and must
// never hold the tray window. Each look compares the file's time stamp with
// the last read and reads it whole when it changed, unless it is too large
// to be a settings file; a file whose SHA-256 is not the one pinned is
// refused. The window hears only of what changed.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// Posted to the window when a result waits to be taken.
#define WM_SHARED_SETTINGS (WM_USER + 8)

struct CSharedRead {
    enum Kind { READ, UNREACHABLE, REACHABLE_AGAIN, TOO_LARGE, REFUSED };
    Kind kind;
    std::wstring strPath;   // the file looked at
    std::string strPin;     // the SHA-256 pinned when it was looked at; empty: none
    std::string strBytes;   // READ: the whole file
    std::string strSha256;  // READ, REFUSED: of the file's bytes
    DWORD dwError;          // UNREACHABLE: why
    ULONGLONG nSize;        // TOO_LARGE: bytes
};

class CSharedSettingsWatch {
public:
    CSharedSettingsWatch();
    ~CSharedSettingsWatch();
    CSharedSettingsWatch(const CSharedSettingsWatch&) = delete;
    CSharedSettingsWatch& operator=(const CSharedSettingsWatch&) = delete;

    // Asks for a look at the file (empty: none is named), its content
    // pinned by strPin (NormalSha256; empty: not pinned). A look under way
    // takes the request up once it is done; another file or pin is read anew.
    void Check(const std::wstring& strPath, const std::string& strPin, HWND hWndNotify);
    // The oldest result not taken yet.
    bool Take(CSharedRead& result);

private:
    struct CState;
    static unsigned __stdcall Run(void* pParam);

    std::shared_ptr<CState> m_state;
    HANDLE m_hThread;
};
