#include "fileworker.h"

#include <string.h>

#include <algorithm>
#include <new>
#include <unordered_set>

#include "filecalls.h"

namespace {

const DWORD kLongestPause = 5000;
const DWORD kStopWait = 10000;

bool ReadAt(HANDLE hFile, unsigned long long nOffset, char* p, DWORD n)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)nOffset;
    DWORD nGot = 0;
    return SetFilePointerEx(hFile, at, NULL, FILE_BEGIN) && g_historyFileCalls.pRead(hFile, p, n, &nGot, NULL) &&
           nGot == n;
}

// Beside strPath, never over one put aside before: .old, then .old2, ...
bool PutAside(const std::wstring& strPath, std::wstring* pstrAside)
{
    for (unsigned n = 1; n < 1000; ++n) {
        std::wstring strAside = strPath + L".old" + (n > 1 ? std::to_wstring(n) : std::wstring());
        if (g_historyFileCalls.pMove(strPath.c_str(), strAside.c_str(), 0)) {
            *pstrAside = strAside;
            return true;
        }
        DWORD dwError = GetLastError();
        if (dwError != ERROR_ALREADY_EXISTS && dwError != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

}  // namespace

CHistoryFileWorker::CHistoryFileWorker()
    : m_hWnd(NULL), m_nMessage(0), m_hThread(NULL), m_hWork(CreateEventW(NULL, FALSE, FALSE, NULL)),
      m_hStop(CreateEventW(NULL, TRUE, FALSE, NULL)), m_bStop(false), m_nEpoch(0), m_dwPause(1000),
      m_nGeneration(0), m_hFile(INVALID_HANDLE_VALUE), m_nSize(0), m_bWriteFailed(false)
{
    InitializeCriticalSection(&m_lock);
}

CHistoryFileWorker::~CHistoryFileWorker()
{
    if (m_hThread) {
        EnterCriticalSection(&m_lock);
        m_bStop = true;
        LeaveCriticalSection(&m_lock);
        SetEvent(m_hStop);
        SetEvent(m_hWork);
        WaitForSingleObject(m_hThread, kStopWait);
        CloseHandle(m_hThread);
    }
    CloseHandleNow();
    CloseHandle(m_hWork);
    CloseHandle(m_hStop);
    DeleteCriticalSection(&m_lock);
}

bool CHistoryFileWorker::Start(HWND hWnd, UINT nMessage)
{
    if (m_hThread)
        return true;
    m_hWnd = hWnd;
    m_nMessage = nMessage;
    m_hThread = CreateThread(NULL, 0, ThreadMain, this, 0, NULL);
    // Background work: a decode on the tray thread goes first.
    if (m_hThread)
        SetThreadPriority(m_hThread, THREAD_PRIORITY_BELOW_NORMAL);
    return m_hThread != NULL;
}

void CHistoryFileWorker::Push(CRequest&& request, bool bSupersedes)
{
    EnterCriticalSection(&m_lock);
    // The worker waits only on an empty queue: the event is set for the
    // first request after one, not for every record.
    bool bWake = m_queue.empty();
    m_queue.push_back(std::move(request));
    if (bSupersedes)
        ++m_nEpoch;
    LeaveCriticalSection(&m_lock);
    if (bWake)
        SetEvent(m_hWork);
}

void CHistoryFileWorker::Open(unsigned nGeneration, const std::wstring& strPath, size_t nLimit, size_t nByteLimit)
{
    CRequest request;
    request.kind = OPEN;
    request.nGeneration = nGeneration;
    request.strPath = strPath;
    request.nLimit = nLimit;
    request.nByteLimit = nByteLimit;
    Push(std::move(request), true);
}

void CHistoryFileWorker::Append(unsigned long long nTag, std::string&& data)
{
    CRequest request;
    request.kind = APPEND;
    request.nTag = nTag;
    request.data = std::move(data);
    Push(std::move(request), false);
}

void CHistoryFileWorker::Compact(std::vector<unsigned long long>&& keep)
{
    CRequest request;
    request.kind = COMPACT;
    request.keep = std::move(keep);
    Push(std::move(request), false);
}

void CHistoryFileWorker::Clear()
{
    CRequest request;
    request.kind = CLEAR;
    Push(std::move(request), true);
}

void CHistoryFileWorker::Close(bool bDelete, const std::wstring& strPath)
{
    CRequest request;
    request.kind = CLOSE;
    request.bDelete = bDelete;
    request.strPath = strPath;
    Push(std::move(request), true);
}

void CHistoryFileWorker::Export(CHistoryExport&& job)
{
    CRequest request;
    request.kind = EXPORT;
    request.job = std::move(job);
    Push(std::move(request), false);
}

DWORD WINAPI CHistoryFileWorker::ThreadMain(LPVOID pParam)
{
    static_cast<CHistoryFileWorker*>(pParam)->Run();
    return 0;
}

// Every request is done in order, those waiting at the stop too.
bool CHistoryFileWorker::Next(CRequest* pRequest)
{
    for (;;) {
        EnterCriticalSection(&m_lock);
        bool bHave = !m_queue.empty(), bStop = m_bStop;
        if (bHave) {
            *pRequest = std::move(m_queue.front());
            m_queue.pop_front();
        }
        LeaveCriticalSection(&m_lock);
        if (bHave)
            return true;
        if (bStop)
            return false;
        WaitForSingleObject(m_hWork, INFINITE);
    }
}

// False when the pause is cut short: a stop, or an open, clear or close
// that supersedes what is being tried.
bool CHistoryFileWorker::Pause(DWORD dwMs, unsigned nEpoch)
{
    EnterCriticalSection(&m_lock);
    bool bGoOn = !m_bStop && m_nEpoch == nEpoch;
    LeaveCriticalSection(&m_lock);
    if (!bGoOn || WaitForSingleObject(m_hStop, dwMs) == WAIT_OBJECT_0)
        return false;
    EnterCriticalSection(&m_lock);
    bGoOn = !m_bStop && m_nEpoch == nEpoch;
    LeaveCriticalSection(&m_lock);
    return bGoOn;
}

void CHistoryFileWorker::Post(CHistoryFileResult* pResult)
{
    pResult->nGeneration = m_nGeneration;
    if (!m_hWnd || !PostMessageW(m_hWnd, m_nMessage, 0, (LPARAM)pResult))
        delete pResult;
}

void CHistoryFileWorker::Run()
{
    CRequest request;
    while (Next(&request)) {
        try {
            switch (request.kind) {
            case OPEN: DoOpen(request); break;
            case APPEND: DoAppend(request); break;
            case COMPACT: DoCompact(request); break;
            case CLEAR: DoClear(); break;
            case CLOSE: DoClose(request); break;
            case EXPORT: DoExport(request); break;
            }
        } catch (const std::bad_alloc&) {
            // Nothing of the file changed: the request is given up alone.
        }
        request = CRequest();
    }
}

void CHistoryFileWorker::CloseHandleNow()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

// Tried until it opens: a file held by another program for a while loses
// nothing, the records waiting to be written meanwhile.
bool CHistoryFileWorker::OpenHandle(bool bTruncate, unsigned nEpoch)
{
    DWORD dwPause = m_dwPause;
    bool bWaited = false;
    for (;;) {
        m_hFile = g_historyFileCalls.pOpen(m_strPath.c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                                           bTruncate ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (m_hFile != INVALID_HANDLE_VALUE)
            break;
        DWORD dwError = GetLastError();
        if (!bWaited) {
            CHistoryFileResult* pResult = new CHistoryFileResult;
            pResult->event = HISTORY_FILE_WAITING;
            pResult->dwError = dwError;
            Post(pResult);
            bWaited = true;
        }
        if (!Pause(dwPause, nEpoch)) {
            // At the stop, one last try for what waits to be written.
            EnterCriticalSection(&m_lock);
            bool bLast = m_bStop && m_nEpoch == nEpoch;
            LeaveCriticalSection(&m_lock);
            if (!bLast)
                return false;
            m_hFile = g_historyFileCalls.pOpen(m_strPath.c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, NULL);
            return m_hFile != INVALID_HANDLE_VALUE;
        }
        dwPause = std::min(dwPause * 2, kLongestPause);
    }
    if (bWaited) {
        CHistoryFileResult* pResult = new CHistoryFileResult;
        pResult->event = HISTORY_FILE_OPENED;
        Post(pResult);
    }
    return true;
}

void CHistoryFileWorker::DoOpen(CRequest& request)
{
    CloseHandleNow();
    m_frames.clear();
    m_strPath = request.strPath;
    m_nGeneration = request.nGeneration;
    m_bWriteFailed = false;
    EnterCriticalSection(&m_lock);
    unsigned nEpoch = m_nEpoch;
    LeaveCriticalSection(&m_lock);
    for (int nAside = 0; nAside < 2; ++nAside) {
        if (!OpenHandle(false, nEpoch))
            return;
        LARGE_INTEGER size = {};
        GetFileSizeEx(m_hFile, &size);
        m_nSize = (unsigned long long)size.QuadPart;
        std::string header = HistoryFileHeader(), found(header.size(), '\0');
        if (m_nSize == 0) {
            // A run that starts without a file has nothing older to wait for.
            std::string data = header;
            if (WriteAll(m_hFile, data))
                m_nSize = kHistoryHeaderSize;
            CHistoryFileResult* pResult = new CHistoryFileResult;
            pResult->event = HISTORY_FILE_LOADED;
            pResult->contents.nRead = m_nSize;
            Post(pResult);
            return;
        }
        DWORD nGot = 0;
        LARGE_INTEGER start = {};
        bool bRead = SetFilePointerEx(m_hFile, start, NULL, FILE_BEGIN) &&
                     g_historyFileCalls.pRead(m_hFile, &found[0], (DWORD)found.size(), &nGot, NULL);
        // A read that fails says nothing of what the file is: tried again.
        if ((bRead && found == header) || !bRead) {
            Load(request, nEpoch);
            return;
        }
        if (nGot >= header.size() || found.compare(0, nGot, header, 0, nGot) != 0) {
            // Not ours, or of a later version: kept aside, not overwritten.
            CloseHandleNow();
            CHistoryFileResult* pResult = new CHistoryFileResult;
            pResult->event = HISTORY_FILE_PUT_ASIDE;
            if (!PutAside(m_strPath, &pResult->strPath)) {
                pResult->dwError = GetLastError();
                pResult->strPath.clear();
                Post(pResult);
                return;   // its records stay where they are; this run's are not written
            }
            Post(pResult);
            continue;
        }
        // A header torn short by a crash: nothing in it yet.
        CloseHandleNow();
        if (!OpenHandle(true, nEpoch))
            return;
        std::string data = header;
        m_nSize = WriteAll(m_hFile, data) ? kHistoryHeaderSize : 0;
        CHistoryFileResult* pResult = new CHistoryFileResult;
        pResult->event = HISTORY_FILE_LOADED;
        pResult->contents.nRead = m_nSize;
        Post(pResult);
        return;
    }
}

// A read that fails is tried again after a pause; the file is never
// rewritten from what a failed read left.
void CHistoryFileWorker::Load(const CRequest& request, unsigned nEpoch)
{
    unsigned long long nSize = m_nSize;
    DWORD dwPause = m_dwPause;
    for (unsigned nTry = 1;; ++nTry) {
        CHistoryFileResult* pResult = new CHistoryFileResult;
        if (ReadHistory(m_hFile, nSize, &pResult->contents, request.nLimit, request.nByteLimit)) {
            pResult->event = HISTORY_FILE_LOADED;
            m_frames.reserve(pResult->contents.records.size());
            for (const ScanRecord& record : pResult->contents.records)
                m_frames.push_back({ record.nTag, record.nTag, record.nStored });
            Post(pResult);
            return;
        }
        pResult->dwError = GetLastError();
        pResult->bOutOfMemory = pResult->contents.bOutOfMemory;
        pResult->contents = HistoryFileContents();
        pResult->nTry = nTry;
        bool bLast = nTry >= kHistoryLoadTries;
        pResult->event = bLast ? HISTORY_FILE_LOAD_FAILED : HISTORY_FILE_LOAD_RETRY;
        Post(pResult);
        if (bLast || !Pause(dwPause, nEpoch))
            return;
        dwPause = std::min(dwPause * 2, kLongestPause);
    }
}

void CHistoryFileWorker::DoAppend(CRequest& request)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    unsigned nSize = (unsigned)request.data.size();
    if (!WriteAll(m_hFile, request.data)) {
        // Part of it may be there: the reader skips a torn record.
        LARGE_INTEGER size = {};
        if (GetFileSizeEx(m_hFile, &size))
            m_nSize = (unsigned long long)size.QuadPart;
        if (!m_bWriteFailed) {
            CHistoryFileResult* pResult = new CHistoryFileResult;
            pResult->event = HISTORY_FILE_WRITE_FAILED;
            pResult->dwError = GetLastError();
            Post(pResult);
        }
        m_bWriteFailed = true;
        return;
    }
    m_bWriteFailed = false;
    m_frames.push_back({ request.nTag, m_nSize, nSize });
    m_nSize += nSize;
}

// The kept records' frames copied as they are, in file order.
bool CHistoryFileWorker::CopyKept(HANDLE hTemp, const std::vector<unsigned long long>& keep, std::vector<CFrame>* pFrames)
{
    std::unordered_set<unsigned long long> kept(keep.begin(), keep.end());
    const size_t kPiece = 1 << 20;
    std::vector<char> buffer;
    unsigned long long nFrom = 0, nTo = 0;   // what buffer holds
    std::string out = HistoryFileHeader();
    unsigned long long nOffset = kHistoryHeaderSize;
    for (const CFrame& frame : m_frames) {
        if (!kept.count(frame.nTag))
            continue;
        if (frame.nOffset < nFrom || frame.nOffset + frame.nSize > nTo) {
            nFrom = frame.nOffset;
            nTo = std::min(m_nSize, nFrom + std::max<unsigned long long>(kPiece, frame.nSize));
            if (nTo < nFrom + frame.nSize)
                return false;
            buffer.resize((size_t)(nTo - nFrom));
            if (!ReadAt(m_hFile, nFrom, &buffer[0], (DWORD)buffer.size()))
                return false;
        }
        out.append(&buffer[(size_t)(frame.nOffset - nFrom)], frame.nSize);
        pFrames->push_back({ frame.nTag, nOffset, frame.nSize });
        nOffset += frame.nSize;
        if (out.size() >= kPiece && !WriteAll(hTemp, out))
            return false;
    }
    return WriteAll(hTemp, out) && FlushFileBuffers(hTemp);
}

// Written beside the file, then put in its place: a failure on the way
// leaves the file as it was.
void CHistoryFileWorker::DoCompact(CRequest& request)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    EnterCriticalSection(&m_lock);
    unsigned nEpoch = m_nEpoch;
    LeaveCriticalSection(&m_lock);
    std::wstring strTemp = m_strPath + L".tmp";
    std::vector<CFrame> frames;
    bool bDone = false;
    HANDLE hTemp = g_historyFileCalls.pOpen(strTemp.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, NULL);
    if (hTemp != INVALID_HANDLE_VALUE) {
        bool bWritten = false;
        try {
            bWritten = CopyKept(hTemp, request.keep, &frames);
        } catch (const std::bad_alloc&) {
        }
        CloseHandle(hTemp);
        if (bWritten) {
            CloseHandleNow();
            bDone = g_historyFileCalls.pMove(strTemp.c_str(), m_strPath.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        }
        if (!bDone)
            DeleteFileW(strTemp.c_str());
    }
    DWORD dwError = bDone ? 0 : GetLastError();
    if (m_hFile == INVALID_HANDLE_VALUE && !OpenHandle(false, nEpoch))
        return;
    LARGE_INTEGER size = {};
    GetFileSizeEx(m_hFile, &size);
    m_nSize = (unsigned long long)size.QuadPart;
    if (bDone)
        m_frames.swap(frames);
    CHistoryFileResult* pResult = new CHistoryFileResult;
    pResult->event = bDone ? HISTORY_FILE_COMPACTED : HISTORY_FILE_COMPACT_FAILED;
    pResult->dwError = dwError;
    pResult->nSize = m_nSize;
    Post(pResult);
}

void CHistoryFileWorker::DoClear()
{
    if (m_strPath.empty())
        return;
    CloseHandleNow();
    m_frames.clear();
    EnterCriticalSection(&m_lock);
    unsigned nEpoch = m_nEpoch;
    LeaveCriticalSection(&m_lock);
    if (!OpenHandle(true, nEpoch))
        return;
    std::string data = HistoryFileHeader();
    m_nSize = WriteAll(m_hFile, data) ? kHistoryHeaderSize : 0;
}

void CHistoryFileWorker::DoClose(const CRequest& request)
{
    CloseHandleNow();
    m_frames.clear();
    const std::wstring& strPath = request.strPath.empty() ? m_strPath : request.strPath;
    if (request.bDelete && !strPath.empty())
        DeleteFileW(strPath.c_str());
    m_strPath.clear();
}

void CHistoryFileWorker::DoExport(CRequest& request)
{
    CHistoryFileResult* pResult = new CHistoryFileResult;
    pResult->event = HISTORY_FILE_EXPORTED;
    pResult->strPath = request.job.strPath;
    try {
        ExportTable table = request.job.makeTable();
        request.job.makeTable = nullptr;
        std::string data = request.job.bCsv ? CsvText(table, request.job.strSeparator) : XlsxData(table);
        pResult->nRows = table.rows.size();
        table = ExportTable();
        pResult->bDone = !data.empty() && WriteWholeFile(request.job.strPath, data);
        if (!pResult->bDone)
            pResult->dwError = GetLastError();
    } catch (const std::bad_alloc&) {
        pResult->bOutOfMemory = true;
    }
    Post(pResult);
}
