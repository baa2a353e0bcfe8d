// The history file's one owner: a thread of its own opens it, reads it
// back, appends to it, rewrites it and clears it, and writes the exports.
// The tray thread hands it work and takes its results by a message; it
// never waits on the file.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "export.h"
#include "histfile.h"

enum HistoryFileEvent {
    HISTORY_FILE_WAITING,        // cannot be opened (dwError): tried again, records kept to write
    HISTORY_FILE_OPENED,         // opened after waiting
    HISTORY_FILE_PUT_ASIDE,      // not a history file: moved to strPath
    HISTORY_FILE_LOADED,         // contents: what it held
    HISTORY_FILE_LOAD_RETRY,     // a read failed (dwError, or out of memory): tried again
    HISTORY_FILE_LOAD_FAILED,    // read failed every time: its records stay in it unread
    HISTORY_FILE_COMPACTED,
    HISTORY_FILE_COMPACT_FAILED, // nSize: the file as it stays
    HISTORY_FILE_WRITE_FAILED,
    HISTORY_FILE_EXPORTED        // bDone, nRows, strPath
};

struct CHistoryFileResult {
    HistoryFileEvent event;
    unsigned nGeneration = 0;    // the opening it belongs to
    DWORD dwError = 0;
    bool bOutOfMemory = false;
    bool bDone = false;
    unsigned nTry = 0;
    size_t nRows = 0;
    unsigned long long nSize = 0;
    std::wstring strPath;
    HistoryFileContents contents;
};

// An export: the table is made on the worker, from records copied for it.
struct CHistoryExport {
    std::wstring strPath;
    bool bCsv = false;
    std::wstring strSeparator;
    std::function<ExportTable()> makeTable;
};

// How often a failed read at start is tried, and the pauses between.
const unsigned kHistoryLoadTries = 4;

class CHistoryFileWorker {
public:
    CHistoryFileWorker();
    // What waits is written first (the file given a last chance to open).
    ~CHistoryFileWorker();
    // Results go to hWnd as nMessage, lParam a CHistoryFileResult* the
    // receiver deletes.
    bool Start(HWND hWnd, UINT nMessage);
    bool Started() const { return m_hThread != NULL; }

    // Opens the file, made when missing, and reads back the newest nLimit
    // records within nByteLimit of memory.
    void Open(unsigned nGeneration, const std::wstring& strPath, size_t nLimit, size_t nByteLimit);
    void Append(unsigned long long nTag, std::string&& data);
    // Keeps only the records of these tags.
    void Compact(std::vector<unsigned long long>&& keep);
    void Clear();
    // Deletes strPath ("": the file open) when asked.
    void Close(bool bDelete, const std::wstring& strPath = std::wstring());
    void Export(CHistoryExport&& job);
    // Pauses between tries, in ms (tests shorten them).
    void SetPause(DWORD dwPause) { m_dwPause = dwPause; }

private:
    enum Kind { OPEN, APPEND, COMPACT, CLEAR, CLOSE, EXPORT };
    struct CRequest {
        Kind kind;
        unsigned nGeneration = 0;
        std::wstring strPath;
        size_t nLimit = 0, nByteLimit = 0;
        unsigned long long nTag = 0;
        std::string data;
        std::vector<unsigned long long> keep;
        bool bDelete = false;
        CHistoryExport job;
    };
    struct CFrame {
        unsigned long long nTag, nOffset;
        unsigned nSize;
    };

    void Push(CRequest&& request, bool bSupersedes);
    static DWORD WINAPI ThreadMain(LPVOID pParam);
    void Run();
    bool Next(CRequest* pRequest);
    bool Pause(DWORD dwMs, unsigned nEpoch);
    void Post(CHistoryFileResult* pResult);

    void DoOpen(CRequest& request);
    bool OpenHandle(bool bTruncate, unsigned nEpoch);
    void Load(const CRequest& request, unsigned nEpoch);
    void DoAppend(CRequest& request);
    void DoCompact(CRequest& request);
    bool CopyKept(HANDLE hTemp, const std::vector<unsigned long long>& keep, std::vector<CFrame>* pFrames);
    void DoClear();
    void DoClose(const CRequest& request);
    void DoExport(CRequest& request);
    void CloseHandleNow();

    HWND m_hWnd;
    UINT m_nMessage;
    HANDLE m_hThread, m_hWork, m_hStop;
    CRITICAL_SECTION m_lock;
    std::deque<CRequest> m_queue;   // under m_lock
    bool m_bStop;                   // under m_lock
    unsigned m_nEpoch;              // under m_lock: an open, clear or close waiting
    DWORD m_dwPause;

    // The worker's own.
    std::wstring m_strPath;
    unsigned m_nGeneration;
    HANDLE m_hFile;
    unsigned long long m_nSize;
    std::vector<CFrame> m_frames;   // the records in the file the store may keep
    bool m_bWriteFailed;
};
