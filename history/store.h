// The scan history: the decodes newest first, kept in the user's profile
// when asked, bounded by age, count and size, and the codes scanned before
// for the duplicate warning. One owner: the tray window's thread; the file
// is its worker's, which it hands work to and hears from by a message.
#pragma once

#include <deque>
#include <string>
#include <unordered_map>

#include "fileworker.h"
#include "record.h"

// Where "scanned before" looks.
enum DuplicateScope { DUPLICATES_OFF, DUPLICATES_RUN, DUPLICATES_TODAY, DUPLICATES_ALL };

const size_t kHistoryRecords = 100000;
const size_t kHistoryBytes = 64 * 1024 * 1024;
const int kHistoryDays = 30;

class CScanHistory {
public:
    explicit CScanHistory(size_t nLimit = kHistoryRecords, size_t nByteLimit = kHistoryBytes);

    // Adds a record, cut when too long to keep whole, and has it written to
    // the file when there is one (a pasted code without its code); the
    // oldest go while there are more than the limits or older than the days
    // kept (AgeNow).
    void Add(const ScanRecord& record);
    // Newest first: 0 is the last decode.
    size_t Count() const { return m_records.size(); }
    const ScanRecord& At(size_t i) const { return m_records[i]; }
    // How many records were ever added or read back, or cleared: tells a
    // window that something changed.
    size_t Added() const { return m_nAdded; }
    // The memory the records take, their texts included.
    size_t Bytes() const { return m_nBytes; }
    // Where the newest record stands in a numbering that never gives one
    // place to two records: At(i) stands at First() + i. A window follows
    // the history by it, taking in only what came or went.
    unsigned long long First() const { return m_nFirst; }
    // 0: no bound by age.
    void SetDays(int nDays) { m_nDays = nDays; }

    // Starts the file's worker, whose results come to hWnd as nMessage for
    // OnFileResult; false when it cannot start.
    bool StartWorker(HWND hWnd, UINT nMessage) { return m_worker.Start(hWnd, nMessage); }
    // Keeps the history in the file from now on, made when missing (a file
    // that is no history file put aside); what it held is read back on the
    // worker. False when the worker has not started.
    bool OpenFile(const std::wstring& strPath);
    // Keeps no file any more; deletes strPath when asked.
    void CloseFile(bool bDelete, const std::wstring& strPath = std::wstring());
    bool HasFile() const { return m_bFile; }
    // A result of the file's worker: the records read back go behind this
    // run's, bounded by age from nNow; the file is compacted when it holds
    // much more than the records kept, and only once its records are in.
    void OnFileResult(const CHistoryFileResult& result, unsigned long long nNow);
    // Whether the records of the file are in (or the file started empty).
    bool Merged() const { return m_bMerged; }
    // Every record gone, in memory and in the file.
    void Clear();
    // Written on the worker, after the records handed to it before.
    void Export(CHistoryExport&& job) { m_worker.Export(std::move(job)); }
    CHistoryFileWorker& Worker() { return m_worker; }

    // Whether the code was scanned before within the scope; nNow tells
    // which day is today.
    bool ScannedBefore(const std::string& strBytes, DuplicateScope scope, unsigned long long nNow);

    // The time ages are measured from: the earlier of nNow and the newest
    // record read at start plus the time run since. A clock wrong for a
    // while, ahead or behind, deletes nothing.
    unsigned long long AgeNow(unsigned long long nNow) const;

private:
    typedef std::unordered_map<std::string, unsigned> CCodeCounts;
    void Merge(HistoryFileContents& older, unsigned long long nNow);
    void Prune(unsigned long long nNow);
    bool TooOld(const ScanRecord& record, unsigned long long nNow) const;
    void DropOldest();
    void Count(const ScanRecord& record, int nStep);
    void RollDay(unsigned long long nNow);
    void Recount();
    void Append(ScanRecord& record);
    void CompactIfDue();

    size_t m_nLimit;
    size_t m_nByteLimit;
    size_t m_nAdded;
    size_t m_nBytes;
    int m_nDays;
    std::deque<ScanRecord> m_records;
    unsigned long long m_nNewestRead;   // 0: none read
    DWORD m_dwReadTick;                 // when they were read
    // The file, as handed to the worker: its records' bytes, of all it holds.
    CHistoryFileWorker m_worker;
    bool m_bFile;
    unsigned m_nGeneration;             // which opening the worker's results are of
    unsigned long long m_nNextTag;
    unsigned long long m_nFileSize;
    unsigned long long m_nLive;
    unsigned long long m_nSinceCompact;   // bytes handed over since the last rewrite asked
    unsigned long long m_nCompactFloor;   // no rewrite before the file is this big
    bool m_bCompacting;
    bool m_bMerged;   // the records before this run are in: the file may be rewritten
    bool m_bDropOlder;   // cleared before they came
    // The codes scanned, by scope: each record that counts is in each
    // scope's counts while it is kept.
    bool m_bCounting;
    CCodeCounts m_all, m_today, m_run;
    unsigned long long m_nTodayStart, m_nTomorrow;
    unsigned long long m_nFirst = 1ULL << 62;
};
