#include "clipsave.h"

#include <ntsecapi.h>

#include <string>
#include <vector>

#include "saverproto.h"

#ifndef PIPE_REJECT_REMOTE_CLIENTS
#define PIPE_REJECT_REMOTE_CLIENTS 0x00000008
#endif

namespace {

const DWORD kSilenceTimeout = 2000;  // ms the saver may pause while it sends what it has
const int kMaxSessions = 4;

enum ReadResult { READ_DONE, READ_TIMEOUT, READ_BROKEN, READ_CANCELLED };

// The time left of the save's one budget, which bounds every wait.
class CBudget {
public:
    CBudget() : m_dwStart(GetTickCount()) {}
    DWORD Left(DWORD dwWait) const
    {
        DWORD dwSpent = GetTickCount() - m_dwStart;
        DWORD dwLeft = dwSpent >= kSaveBudget ? 0 : kSaveBudget - dwSpent;
        return dwWait < dwLeft ? dwWait : dwLeft;
    }
    bool Spent() const { return Left(1) == 0; }

private:
    DWORD m_dwStart;
};

// A pipe only this user's processes may open, as long as it has a name.
class COwnerOnly {
public:
    COwnerOnly() : m_bReady(false)
    {
        HANDLE hToken;
        DWORD cb = 0;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
            return;
        bool bUser = GetTokenInformation(hToken, TokenUser, m_abUser, sizeof(m_abUser), &cb) != FALSE;
        CloseHandle(hToken);
        PSID pSid = bUser ? ((TOKEN_USER*)m_abUser)->User.Sid : NULL;
        m_bReady = pSid && InitializeAcl((ACL*)m_abAcl, sizeof(m_abAcl), ACL_REVISION) &&
                   AddAccessAllowedAce((ACL*)m_abAcl, ACL_REVISION, GENERIC_ALL, pSid) &&
                   InitializeSecurityDescriptor(&m_sd, SECURITY_DESCRIPTOR_REVISION) &&
                   SetSecurityDescriptorDacl(&m_sd, TRUE, (ACL*)m_abAcl, FALSE);
    }
    SECURITY_ATTRIBUTES* Attributes()
    {
        m_sa = { sizeof(m_sa), &m_sd, FALSE };
        return m_bReady ? &m_sa : NULL;
    }
    bool Ready() const { return m_bReady; }

private:
    bool m_bReady;
    alignas(8) BYTE m_abUser[256];
    alignas(8) BYTE m_abAcl[256];
    SECURITY_DESCRIPTOR m_sd;
    SECURITY_ATTRIBUTES m_sa;
};

// The saver process and this end of its pipe, read with a bound on every wait.
class CSaver {
public:
    CSaver() : m_hProcess(NULL), m_hPipe(INVALID_HANDLE_VALUE), m_hEvent(CreateEventA(NULL, TRUE, FALSE, NULL)) {}
    ~CSaver() { End(); }
    bool Running() const { return m_hProcess != NULL; }
    ReadResult Start();
    // Ends the saver wherever it is: the system closes the clipboard it held.
    void End();
    bool Send(const void* p, DWORD cb);
    // Reads cb bytes, waiting at most dwTimeout ms for each part to come,
    // and no longer than the budget leaves.
    ReadResult Read(void* p, DWORD cb, DWORD dwTimeout, HANDLE hCancel, const CBudget& budget);

private:
    HANDLE Connect();

    HANDLE m_hProcess;
    HANDLE m_hPipe;
    HANDLE m_hEvent;
};

// Makes this end of the pipe and returns the saver's end, inheritable. The
// pipe has a random name and is joined at once by this process, the one
// client its single instance takes: no other process can reach it.
HANDLE CSaver::Connect()
{
    BYTE abRandom[16];
    if (!RtlGenRandom(abRandom, sizeof(abRandom)))
        return NULL;
    WCHAR szPipe[64];
    int n = wsprintfW(szPipe, L"\\\\.\\pipe\\norza-clip-");
    for (BYTE b : abRandom)
        n += wsprintfW(szPipe + n, L"%02x", b);
    static COwnerOnly s_owner;
    if (!s_owner.Ready())
        return NULL;
    DWORD dwOpen = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE;
    DWORD dwMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
    m_hPipe = CreateNamedPipeW(szPipe, dwOpen, dwMode | PIPE_REJECT_REMOTE_CLIENTS, 1, 65536, 65536, 0,
                               s_owner.Attributes());
    if (m_hPipe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)   // before Vista
        m_hPipe = CreateNamedPipeW(szPipe, dwOpen, dwMode, 1, 65536, 65536, 0, s_owner.Attributes());
    if (m_hPipe == INVALID_HANDLE_VALUE)
        return NULL;
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), NULL, TRUE };
    HANDLE hChild = CreateFileW(szPipe, GENERIC_READ | GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, NULL);
    OVERLAPPED ov = {};
    ov.hEvent = m_hEvent;
    ResetEvent(m_hEvent);
    bool bOurs = hChild != INVALID_HANDLE_VALUE &&
                 (ConnectNamedPipe(m_hPipe, &ov) || GetLastError() == ERROR_PIPE_CONNECTED);
    typedef BOOL(WINAPI * PFN_CLIENT_PID)(HANDLE, PULONG);
    PFN_CLIENT_PID pfnClientPid =
        (PFN_CLIENT_PID)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetNamedPipeClientProcessId");
    ULONG nClient = 0;
    if (bOurs && pfnClientPid && pfnClientPid(m_hPipe, &nClient))
        bOurs = nClient == GetCurrentProcessId();
    if (!bOurs) {
        if (hChild != INVALID_HANDLE_VALUE)
            CloseHandle(hChild);
        return NULL;
    }
    return hChild;
}

// The attribute list of Vista and later, named here: the headers give it
// only to programs that need Vista to start.
typedef BOOL(WINAPI* PFN_INIT_ATTRIBUTES)(LPVOID, DWORD, DWORD, PSIZE_T);
typedef BOOL(WINAPI* PFN_UPDATE_ATTRIBUTE)(LPVOID, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
typedef VOID(WINAPI* PFN_DELETE_ATTRIBUTES)(LPVOID);
const DWORD_PTR kHandleListAttribute = 0x20002;   // PROC_THREAD_ATTRIBUTE_HANDLE_LIST
const DWORD kExtendedStartupInfo = 0x00080000;    // EXTENDED_STARTUPINFO_PRESENT

struct CStartupInfoEx {
    STARTUPINFOW si;
    LPVOID pAttributes;
};

// Starts the saver with hChild as its standard input and output. Where the
// system can, it inherits that handle alone: not whatever else this process,
// or an engine DLL loaded in it, made inheritable.
BOOL StartWithHandle(LPCWSTR pszExe, std::wstring& strLine, HANDLE hChild, PROCESS_INFORMATION* pInfo)
{
    CStartupInfoEx start = {};
    start.si.cb = sizeof(start.si);
    start.si.dwFlags = STARTF_USESTDHANDLES;
    start.si.hStdInput = start.si.hStdOutput = hChild;
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    PFN_INIT_ATTRIBUTES pfnInit =
        (PFN_INIT_ATTRIBUTES)(void*)GetProcAddress(hKernel, "InitializeProcThreadAttributeList");
    PFN_UPDATE_ATTRIBUTE pfnUpdate =
        (PFN_UPDATE_ATTRIBUTE)(void*)GetProcAddress(hKernel, "UpdateProcThreadAttribute");
    PFN_DELETE_ATTRIBUTES pfnDelete =
        (PFN_DELETE_ATTRIBUTES)(void*)GetProcAddress(hKernel, "DeleteProcThreadAttributeList");
    std::vector<BYTE> attributes;
    SIZE_T cb = 0;
    bool bList = false;
    HANDLE ahInherit[1] = { hChild };
    DWORD dwFlags = CREATE_NO_WINDOW;
    if (pfnInit && pfnUpdate && pfnDelete) {
        pfnInit(NULL, 1, 0, &cb);
        attributes.resize(cb ? cb : 1);
        bList = cb && pfnInit(&attributes[0], 1, 0, &cb);
        if (bList && pfnUpdate(&attributes[0], 0, kHandleListAttribute, ahInherit, sizeof(ahInherit), NULL, NULL)) {
            start.si.cb = sizeof(start);
            start.pAttributes = &attributes[0];
            dwFlags |= kExtendedStartupInfo;
        }
    }
    BOOL bStarted = CreateProcessW(pszExe, &strLine[0], NULL, NULL, TRUE, dwFlags, NULL, NULL, &start.si, pInfo);
    if (bList)
        pfnDelete(&attributes[0]);
    return bStarted;
}

ReadResult CSaver::Start()
{
    WCHAR szExe[MAX_PATH + 16];
    DWORD n = GetModuleFileNameW(NULL, szExe, MAX_PATH);
    while (n && szExe[n - 1] != L'\\')
        --n;
    if (!n)
        return READ_BROKEN;
    lstrcpyW(szExe + n, L"NorzaClip.exe");
    HANDLE hChild = Connect();
    if (!hChild) {
        End();
        return READ_BROKEN;
    }
    // Its only arguments are the pipe's ends, as standard input and output.
    std::wstring strLine = std::wstring(L"\"") + szExe + L"\"";
    PROCESS_INFORMATION pi = {};
    BOOL bStarted = StartWithHandle(szExe, strLine, hChild, &pi);
    CloseHandle(hChild);
    if (!bStarted) {
        End();
        return READ_BROKEN;
    }
    CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    return READ_DONE;
}

void CSaver::End()
{
    if (m_hProcess) {
        TerminateProcess(m_hProcess, 1);
        WaitForSingleObject(m_hProcess, 1000);
        CloseHandle(m_hProcess);
        m_hProcess = NULL;
    }
    if (m_hPipe != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hPipe);
        m_hPipe = INVALID_HANDLE_VALUE;
    }
}

bool CSaver::Send(const void* p, DWORD cb)
{
    OVERLAPPED ov = {};
    ov.hEvent = m_hEvent;
    ResetEvent(m_hEvent);
    DWORD n = 0;
    if (!WriteFile(m_hPipe, p, cb, NULL, &ov) && GetLastError() != ERROR_IO_PENDING)
        return false;
    return GetOverlappedResult(m_hPipe, &ov, &n, TRUE) && n == cb;
}

ReadResult CSaver::Read(void* p, DWORD cb, DWORD dwTimeout, HANDLE hCancel, const CBudget& budget)
{
    for (DWORD nGot = 0; nGot < cb;) {
        OVERLAPPED ov = {};
        ov.hEvent = m_hEvent;
        ResetEvent(m_hEvent);
        DWORD n = 0;
        if (!ReadFile(m_hPipe, (BYTE*)p + nGot, cb - nGot, NULL, &ov)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return READ_BROKEN;
            HANDLE handles[3] = { m_hEvent, hCancel ? hCancel : m_hProcess, m_hProcess };
            DWORD dwWait = WaitForMultipleObjects(hCancel ? 3 : 2, handles, FALSE, budget.Left(dwTimeout));
            if (dwWait != WAIT_OBJECT_0) {
                CancelIo(m_hPipe);
                GetOverlappedResult(m_hPipe, &ov, &n, TRUE);
                return dwWait == WAIT_OBJECT_0 + 1 && hCancel ? READ_CANCELLED
                     : dwWait == WAIT_TIMEOUT ? READ_TIMEOUT : READ_BROKEN;
            }
        }
        if (!GetOverlappedResult(m_hPipe, &ov, &n, FALSE) || !n)
            return READ_BROKEN;
        nGot += n;
    }
    return READ_DONE;
}

CSaver s_saver;

enum SessionResult { SESSION_DONE, SESSION_LOCKED, SESSION_CHANGED, SESSION_INCOMPLETE, SESSION_BROKEN, SESSION_CANCELLED };

// A format that does not come in time cannot be saved; a saver that says
// nothing at all is started again.
SessionResult Broken(ReadResult r, bool bInFormat)
{
    return r == READ_CANCELLED ? SESSION_CANCELLED : r == READ_TIMEOUT && bInFormat ? SESSION_INCOMPLETE : SESSION_BROKEN;
}

// Reads a format's cb bytes into memory the copy keeps; NULL in *phData
// when this process cannot hold them.
ReadResult ReadFormat(DWORD cb, HGLOBAL* phData, HANDLE hCancel, const CBudget& budget)
{
    *phData = NULL;
    HGLOBAL hData = GlobalAlloc(GMEM_MOVEABLE, cb ? cb : 1);
    BYTE* pData = hData ? (BYTE*)GlobalLock(hData) : NULL;
    if (!pData) {
        if (hData)
            GlobalFree(hData);
        return READ_DONE;
    }
    ReadResult r = s_saver.Read(pData, cb, kSilenceTimeout, hCancel, budget);
    GlobalUnlock(hData);
    if (r != READ_DONE)
        GlobalFree(hData);
    else
        *phData = hData;
    return r;
}

// One request to the saver: every format into *pSaved. *pdwSeq is the
// clipboard's sequence number as the saver found it, then as it left it.
SessionResult SaveSession(CSavedClipboard* pSaved, DWORD* pdwSeq, HANDLE hCancel, const CBudget& budget)
{
    DWORD request[2] = { 0, 0 }, head[3];
    if (!s_saver.Send(request, sizeof(request)))
        return SESSION_BROKEN;
    ReadResult r = s_saver.Read(head, sizeof(head), kSaveBudget, hCancel, budget);
    if (r != READ_DONE)
        return Broken(r, false);
    if (head[0] != SAVER_OPEN)
        return head[0] == SAVER_LOCKED ? SESSION_LOCKED : SESSION_CHANGED;
    *pdwSeq = head[1];
    DWORD nTotal = 0;
    for (DWORD i = 0; i < head[2]; ++i) {
        DWORD begin[2], cb;
        if ((r = s_saver.Read(begin, sizeof(begin), kSilenceTimeout, hCancel, budget)) != READ_DONE)
            return Broken(r, false);
        // The format's program renders it now: a hung one holds it.
        if ((r = s_saver.Read(&cb, sizeof(cb), kRenderTimeout, hCancel, budget)) != READ_DONE)
            return Broken(r, true);
        if (cb == kSaverLeftOut)
            continue;
        if (cb == kSaverNotCopied || cb > kMaxSavedBytes - nTotal)
            return SESSION_INCOMPLETE;
        nTotal += cb;
        HGLOBAL hData;
        if ((r = ReadFormat(cb, &hData, hCancel, budget)) != READ_DONE)
            return Broken(r, true);
        if (!hData || !pSaved->Add(begin[1], hData, cb))
            return SESSION_INCOMPLETE;
    }
    r = s_saver.Read(pdwSeq, sizeof(*pdwSeq), kSilenceTimeout, hCancel, budget);
    return r == READ_DONE ? SESSION_DONE : Broken(r, false);
}

}  // namespace

SaveResult SaveClipboard(CSavedClipboard* pSaved, DWORD* pdwSeq, HANDLE hCancel)
{
    pSaved->Clear();
    CBudget budget;
    for (int nSession = 0; nSession < kMaxSessions && !budget.Spent(); ++nSession) {
        if (!s_saver.Running() && s_saver.Start() != READ_DONE)
            return SAVE_FAILED;
        switch (SaveSession(pSaved, pdwSeq, hCancel, budget)) {
        case SESSION_DONE:
            return SAVE_DONE;
        case SESSION_LOCKED:
            return SAVE_LOCKED;
        case SESSION_CANCELLED:
            s_saver.End();
            pSaved->Clear();
            return SAVE_CANCELLED;
        case SESSION_INCOMPLETE:
            // The saver may still wait for a program that hangs, with the
            // clipboard open: it goes, and the system closes the clipboard.
            s_saver.End();
            pSaved->Clear();
            return SAVE_INCOMPLETE;
        case SESSION_BROKEN:
            s_saver.End();
            [[fallthrough]];
        case SESSION_CHANGED:
            pSaved->Clear();
            break;
        }
    }
    pSaved->Clear();
    return budget.Spent() ? SAVE_INCOMPLETE : SAVE_FAILED;
}

void EndClipboardSaver()
{
    s_saver.End();
}
