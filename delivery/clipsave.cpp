#include "clipsave.h"

#include <string.h>

#include <new>
#include <string>

namespace {

const wchar_t kSaverSwitch[] = L" /norza-clipboard-saver ";   // then the pipe's name

const DWORD kOpenTimeout = 500;      // ms the saver waits for a clipboard another program holds open
const DWORD kStartTimeout = 8000;    // ms a saver has to start and answer (Wine waits up to 5 s for a hung owner)
const DWORD kSilenceTimeout = 2000;  // ms the saver may pause while it sends what it has
const DWORD kLeftOut = 0xFFFFFFFF;   // sent in place of a format's size: not copied
const int kMaxSessions = 8;

// What a saver answers on opening the clipboard.
enum { SAVER_OPEN, SAVER_LOCKED, SAVER_CHANGED };

// How a format's data is copied: memory as it is, pictures as their bits.
enum DataKind { DATA_NONE, DATA_GLOBAL, DATA_ENHMETAFILE, DATA_METAFILEPICT };

DataKind KindOf(UINT nFormat)
{
    switch (nFormat) {
    case CF_ENHMETAFILE:
        return DATA_ENHMETAFILE;
    case CF_METAFILEPICT:
        return DATA_METAFILEPICT;
    case CF_BITMAP:         // made again from the DIB
    case CF_PALETTE:
    case CF_OWNERDISPLAY:   // drawn by its owner, no data at all
    case CF_DSPTEXT:        // shown by viewers only
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
        return DATA_NONE;
    }
    // Private and GDI object formats hold handles only their owner knows.
    return nFormat >= CF_PRIVATEFIRST && nFormat <= CF_GDIOBJLAST ? DATA_NONE : DATA_GLOBAL;
}

// A metafile picture travels as its mapping mode and extents, then the bits.
struct MetafileHead {
    LONG mm, xExt, yExt;
};

void FreeData(UINT nFormat, HANDLE hData)
{
    switch (KindOf(nFormat)) {
    case DATA_GLOBAL:
        GlobalFree(hData);
        break;
    case DATA_ENHMETAFILE:
        DeleteEnhMetaFile((HENHMETAFILE)hData);
        break;
    case DATA_METAFILEPICT:
        if (const METAFILEPICT* p = (const METAFILEPICT*)GlobalLock(hData)) {
            DeleteMetaFile(p->hMF);
            GlobalUnlock(hData);
        }
        GlobalFree(hData);
        break;
    case DATA_NONE:
        break;
    }
}

// ---------------------------------------------------------------- the saver

bool WriteAll(HANDLE hPipe, const void* p, DWORD cb)
{
    DWORD n = 0;
    return WriteFile(hPipe, p, cb, &n, NULL) && n == cb;
}

bool ReadAll(HANDLE hPipe, void* p, DWORD cb)
{
    for (DWORD nGot = 0, n = 0; nGot < cb; nGot += n) {
        if (!ReadFile(hPipe, (BYTE*)p + nGot, cb - nGot, &n, NULL) || !n)
            return false;
    }
    return true;
}

// Fetches the format, which its program may render only now, and sends its
// size and bytes, or kLeftOut when there are none to copy.
bool SendFormat(HANDLE hPipe, UINT nFormat)
{
    DataKind kind = KindOf(nFormat);
    HANDLE h = kind != DATA_NONE ? GetClipboardData(nFormat) : NULL;
    const METAFILEPICT* pPicture = kind == DATA_METAFILEPICT && h ? (const METAFILEPICT*)GlobalLock(h) : NULL;
    std::vector<BYTE> bits;
    const void* p = NULL;
    DWORD cb = kLeftOut;
    UINT n = kind == DATA_ENHMETAFILE && h ? GetEnhMetaFileBits((HENHMETAFILE)h, 0, NULL)
           : pPicture ? GetMetaFileBitsEx(pPicture->hMF, 0, NULL) : 0;
    size_t nHead = pPicture ? sizeof(MetafileHead) : 0;
    if (n && bits.max_size() - nHead > n) {
        try {
            bits.resize(nHead + n);
        } catch (const std::bad_alloc&) {
            n = 0;   // too big to copy: left out
        }
    }
    if (kind == DATA_GLOBAL && h && (p = GlobalLock(h)) != NULL) {
        cb = (DWORD)GlobalSize(h);
    } else if (n && kind == DATA_ENHMETAFILE && GetEnhMetaFileBits((HENHMETAFILE)h, n, bits.data()) == n) {
        p = bits.data();
        cb = n;
    } else if (n && pPicture && GetMetaFileBitsEx(pPicture->hMF, n, bits.data() + nHead) == n) {
        MetafileHead head = { pPicture->mm, pPicture->xExt, pPicture->yExt };
        memcpy(bits.data(), &head, nHead);
        p = bits.data();
        cb = (DWORD)(nHead + n);
    }
    bool bOk = WriteAll(hPipe, &cb, sizeof(cb)) && (cb == kLeftOut || WriteAll(hPipe, p, cb));
    if (kind == DATA_GLOBAL && p)
        GlobalUnlock(h);
    if (pPicture)
        GlobalUnlock(h);
    return bOk;
}

bool OpenWithin(DWORD dwTimeout)
{
    for (DWORD dwStart = GetTickCount();; Sleep(10)) {
        if (OpenClipboard(NULL))
            return true;
        if (GetTickCount() - dwStart >= dwTimeout)
            return false;
    }
}

// One request: the clipboard's formats from nFrom on, each announced before
// it is fetched, so that the program that pastes knows which one hangs. With
// dwExpect, only a clipboard that has not changed since is saved.
bool ServeSave(HANDLE hPipe, DWORD dwExpect, DWORD nFrom)
{
    DWORD head[3] = { SAVER_LOCKED, 0, 0 };
    if (!OpenWithin(kOpenTimeout))
        return WriteAll(hPipe, head, sizeof(head));
    std::vector<UINT> formats;
    for (UINT nFormat = EnumClipboardFormats(0); nFormat; nFormat = EnumClipboardFormats(nFormat))
        formats.push_back(nFormat);
    head[1] = GetClipboardSequenceNumber();
    head[0] = dwExpect && dwExpect != head[1] ? SAVER_CHANGED : SAVER_OPEN;
    head[2] = (DWORD)formats.size();
    bool bOk = WriteAll(hPipe, head, sizeof(head));
    for (DWORD i = nFrom; bOk && head[0] == SAVER_OPEN && i < formats.size(); ++i) {
        DWORD begin[2] = { i, formats[i] };
        bOk = WriteAll(hPipe, begin, sizeof(begin)) && SendFormat(hPipe, formats[i]);
    }
    DWORD dwSeq = GetClipboardSequenceNumber();
    if (bOk && head[0] == SAVER_OPEN)
        bOk = WriteAll(hPipe, &dwSeq, sizeof(dwSeq));
    CloseClipboard();
    return bOk;
}

// Started with the switch and the name of a pipe, a program that pastes is
// a saver and nothing else: it answers requests on the pipe until it closes.
struct CSaverEntry {
    CSaverEntry()
    {
        const wchar_t* pszSwitch = wcsstr(GetCommandLineW(), kSaverSwitch);
        if (!pszSwitch)
            return;
        HANDLE hPipe = CreateFileW(pszSwitch + wcslen(kSaverSwitch), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                   OPEN_EXISTING, 0, NULL);
        DWORD request[2];
        while (hPipe != INVALID_HANDLE_VALUE && ReadAll(hPipe, request, sizeof(request)) &&
               ServeSave(hPipe, request[0], request[1])) {
        }
        ExitProcess(0);
    }
} s_saverEntry;

// ---------------------------------------------------------------- the program that pastes

enum ReadResult { READ_DONE, READ_TIMEOUT, READ_BROKEN, READ_CANCELLED };

// The saver process and its pipe, read with a bound on every wait.
class CSaver {
public:
    CSaver() : m_hProcess(NULL), m_hPipe(INVALID_HANDLE_VALUE), m_hEvent(CreateEventA(NULL, TRUE, FALSE, NULL)) {}
    ~CSaver() { End(); }
    bool Running() const { return m_hProcess != NULL; }
    ReadResult Start(HANDLE hCancel);
    // Ends the saver wherever it is: the system closes the clipboard it held.
    void End();
    bool Send(const void* p, DWORD cb);
    // Reads cb bytes, waiting at most dwTimeout ms for each part to come.
    ReadResult Read(void* p, DWORD cb, DWORD dwTimeout, HANDLE hCancel);

private:
    HANDLE m_hProcess;
    HANDLE m_hPipe;
    HANDLE m_hEvent;
};

ReadResult CSaver::Start(HANDLE hCancel)
{
    static LONG s_nPipes;
    WCHAR szPipe[80], szExe[MAX_PATH];
    wsprintfW(szPipe, L"\\\\.\\pipe\\norza-clipboard-%lu-%ld", GetCurrentProcessId(),
              InterlockedIncrement(&s_nPipes));
    if (!GetModuleFileNameW(NULL, szExe, MAX_PATH))
        return READ_BROKEN;
    m_hPipe = CreateNamedPipeW(szPipe, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                               PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, NULL);
    if (m_hPipe == INVALID_HANDLE_VALUE)
        return READ_BROKEN;
    // Nothing is inherited: the saver opens the pipe by its name.
    std::wstring strLine = std::wstring(L"\"") + szExe + L"\"" + kSaverSwitch + szPipe;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(szExe, &strLine[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &si, &pi)) {
        End();
        return READ_BROKEN;
    }
    CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    OVERLAPPED ov = {};
    ov.hEvent = m_hEvent;
    ResetEvent(m_hEvent);
    if (ConnectNamedPipe(m_hPipe, &ov) || GetLastError() == ERROR_PIPE_CONNECTED)
        return READ_DONE;
    HANDLE handles[3] = { m_hEvent, m_hProcess, hCancel };
    DWORD dwWait = GetLastError() == ERROR_IO_PENDING
                   ? WaitForMultipleObjects(hCancel ? 3 : 2, handles, FALSE, kStartTimeout) : WAIT_FAILED;
    DWORD n;
    if (dwWait == WAIT_OBJECT_0 && GetOverlappedResult(m_hPipe, &ov, &n, FALSE))
        return READ_DONE;
    if (dwWait != WAIT_FAILED) {
        CancelIo(m_hPipe);
        GetOverlappedResult(m_hPipe, &ov, &n, TRUE);
    }
    End();
    return dwWait == WAIT_OBJECT_0 + 2 ? READ_CANCELLED : READ_BROKEN;
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

ReadResult CSaver::Read(void* p, DWORD cb, DWORD dwTimeout, HANDLE hCancel)
{
    for (DWORD nGot = 0; nGot < cb;) {
        OVERLAPPED ov = {};
        ov.hEvent = m_hEvent;
        ResetEvent(m_hEvent);
        DWORD n = 0;
        if (!ReadFile(m_hPipe, (BYTE*)p + nGot, cb - nGot, NULL, &ov)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return READ_BROKEN;
            HANDLE handles[2] = { m_hEvent, hCancel };
            DWORD dwWait = WaitForMultipleObjects(hCancel ? 2 : 1, handles, FALSE, dwTimeout);
            if (dwWait != WAIT_OBJECT_0) {
                CancelIo(m_hPipe);
                GetOverlappedResult(m_hPipe, &ov, &n, TRUE);
                return dwWait == WAIT_OBJECT_0 + 1 ? READ_CANCELLED : READ_TIMEOUT;
            }
        }
        if (!GetOverlappedResult(m_hPipe, &ov, &n, FALSE) || !n)
            return READ_BROKEN;
        nGot += n;
    }
    return READ_DONE;
}

CSaver s_saver;

enum SessionResult { SESSION_DONE, SESSION_LOCKED, SESSION_CHANGED, SESSION_STUCK, SESSION_BROKEN, SESSION_CANCELLED };

SessionResult Broken(ReadResult r)
{
    return r == READ_CANCELLED ? SESSION_CANCELLED : r == READ_TIMEOUT ? SESSION_STUCK : SESSION_BROKEN;
}

// One request to the saver: formats from *pnFrom on into *pSaved. On
// SESSION_STUCK *pnFrom is the format that hung; *pdwSeq is the clipboard's
// sequence number as the saver found it, then as it left it.
SessionResult SaveSession(CSavedClipboard* pSaved, DWORD dwExpect, DWORD* pnFrom, DWORD* pdwSeq, HANDLE hCancel)
{
    DWORD request[2] = { dwExpect, *pnFrom }, head[3];
    if (!s_saver.Send(request, sizeof(request)))
        return SESSION_BROKEN;
    ReadResult r = s_saver.Read(head, sizeof(head), kStartTimeout, hCancel);
    if (r != READ_DONE)
        return r == READ_TIMEOUT ? SESSION_BROKEN : Broken(r);
    if (head[0] != SAVER_OPEN)
        return head[0] == SAVER_LOCKED ? SESSION_LOCKED : SESSION_CHANGED;
    *pdwSeq = head[1];
    for (DWORD i = *pnFrom; i < head[2]; ++i) {
        DWORD begin[2], cb;
        *pnFrom = i;
        if ((r = s_saver.Read(begin, sizeof(begin), kSilenceTimeout, hCancel)) != READ_DONE)
            return Broken(r);
        if ((r = s_saver.Read(&cb, sizeof(cb), kRenderTimeout, hCancel)) != READ_DONE)
            return Broken(r);
        if (cb == kLeftOut)
            continue;
        // Read into the memory the copy keeps; a copy too big for this
        // process is read and left out.
        HGLOBAL hData = GlobalAlloc(GMEM_MOVEABLE, cb ? cb : 1);
        BYTE* pData = hData ? (BYTE*)GlobalLock(hData) : NULL;
        for (DWORD nPart, nDone = 0; r == READ_DONE && nDone < cb; nDone += nPart) {
            BYTE abSpare[4096];
            nPart = pData ? cb : cb - nDone < sizeof(abSpare) ? cb - nDone : sizeof(abSpare);
            r = s_saver.Read(pData ? pData : abSpare, nPart, kSilenceTimeout, hCancel);
        }
        if (pData)
            GlobalUnlock(hData);
        if (r != READ_DONE || !pData) {
            if (hData)
                GlobalFree(hData);
            if (r != READ_DONE)
                return Broken(r);
            continue;
        }
        pSaved->Add(begin[1], hData, cb);
    }
    *pnFrom = head[2];
    r = s_saver.Read(pdwSeq, sizeof(*pdwSeq), kSilenceTimeout, hCancel);
    return r == READ_DONE ? SESSION_DONE : Broken(r);
}

}  // namespace

HGLOBAL GlobalCopy(const void* pData, SIZE_T cb)
{
    HGLOBAL hCopy = GlobalAlloc(GMEM_MOVEABLE, cb ? cb : 1);
    void* p = hCopy ? GlobalLock(hCopy) : NULL;
    if (!p) {
        if (hCopy)
            GlobalFree(hCopy);
        return NULL;
    }
    memcpy(p, pData, cb);
    GlobalUnlock(hCopy);
    return hCopy;
}

CSavedClipboard& CSavedClipboard::operator=(CSavedClipboard&& other)
{
    if (this != &other) {
        Clear();
        m_formats = std::move(other.m_formats);
        other.m_formats.clear();
    }
    return *this;
}

void CSavedClipboard::Add(UINT nFormat, HGLOBAL hBytes, DWORD cb)
{
    HANDLE hData = NULL;
    DataKind kind = KindOf(nFormat);
    const BYTE* pBytes = kind != DATA_GLOBAL ? (const BYTE*)GlobalLock(hBytes) : NULL;
    if (kind == DATA_GLOBAL) {
        hData = hBytes;
    } else if (pBytes && kind == DATA_ENHMETAFILE) {
        hData = SetEnhMetaFileBits(cb, pBytes);
    } else if (pBytes && kind == DATA_METAFILEPICT && cb > sizeof(MetafileHead)) {
        const MetafileHead* pHead = (const MetafileHead*)pBytes;
        METAFILEPICT mfp = { pHead->mm, pHead->xExt, pHead->yExt,
                             SetMetaFileBitsEx(cb - sizeof(MetafileHead), pBytes + sizeof(MetafileHead)) };
        hData = mfp.hMF ? GlobalCopy(&mfp, sizeof(mfp)) : NULL;
        if (mfp.hMF && !hData)
            DeleteMetaFile(mfp.hMF);
    }
    if (pBytes)
        GlobalUnlock(hBytes);
    if (kind != DATA_GLOBAL)
        GlobalFree(hBytes);
    if (hData)
        m_formats.push_back({ nFormat, hData });
}

void CSavedClipboard::Restore()
{
    for (const Format& f : m_formats) {
        if (!SetClipboardData(f.nFormat, f.hData))
            FreeData(f.nFormat, f.hData);
    }
    m_formats.clear();
}

void CSavedClipboard::Clear()
{
    for (const Format& f : m_formats)
        FreeData(f.nFormat, f.hData);
    m_formats.clear();
}

SaveResult SaveClipboard(CSavedClipboard* pSaved, DWORD* pdwSeq, HANDLE hCancel)
{
    pSaved->Clear();
    DWORD dwStart = GetTickCount(), dwExpect = 0, nFrom = 0;
    for (int nSession = 0; nSession < kMaxSessions; ++nSession) {
        ReadResult started = s_saver.Running() ? READ_DONE : s_saver.Start(hCancel);
        if (started != READ_DONE)
            return started == READ_CANCELLED ? SAVE_CANCELLED : SAVE_FAILED;
        switch (SaveSession(pSaved, dwExpect, &nFrom, pdwSeq, hCancel)) {
        case SESSION_DONE:
            return SAVE_DONE;
        case SESSION_LOCKED:
            return SAVE_LOCKED;
        case SESSION_CANCELLED:
            s_saver.End();
            return SAVE_CANCELLED;
        case SESSION_STUCK:
            // The format's program does not answer: the saver waits for it
            // with the clipboard open, so it goes, and a new one goes on.
            s_saver.End();
            if (GetTickCount() - dwStart >= kSaveBudget)
                return SAVE_DONE;
            dwExpect = *pdwSeq;
            ++nFrom;
            break;
        case SESSION_BROKEN:
            s_saver.End();
            [[fallthrough]];
        case SESSION_CHANGED:
            pSaved->Clear();
            dwExpect = nFrom = 0;
            break;
        }
    }
    return SAVE_FAILED;
}

void EndClipboardSaver()
{
    s_saver.End();
}
