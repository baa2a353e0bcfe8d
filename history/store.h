// The scan history: the decodes newest first, kept in the user's profile
// when asked, bounded by age, count and size, and the codes scanned before
// for the duplicate warning. One owner: the tray window's thread.
#pragma once

#include <deque>
#include <string>
#include <unordered_map>

#include "histfile.h"
#include "record.h"

// Where "scanned before" looks.
enum DuplicateScope { DUPLICATES_OFF, DUPLICATES_RUN, DUPLICATES_TODAY, DUPLICATES_ALL };

const size_t kHistoryRecords = 100000;
const size_t kHistoryBytes = 64 * 1024 * 1024;
const int kHistoryDays = 30;

class CScanHistory {
public:
    explicit CScanHistory(size_t nLimit = kHistoryRecords, size_t nByteLimit = kHistoryBytes);
    ~CScanHistory();

    // Adds a record, cut when too long to keep whole, and writes it to the
    // file when there is one (a pasted code without its code); the oldest go
    // while there are more than the limits or older than the days kept,
    // counted from this record's time.
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

    // Keeps the history in the file from now on, made when missing; a file
    // that is no history file is put aside. *pnOlder: how much of it the
    // records before this run take, for StartHistoryLoad and Merge.
    bool OpenFile(const std::wstring& strPath, unsigned long long* pnOlder);
    // Keeps no file any more; deletes it when asked.
    void CloseFile(bool bDelete);
    bool HasFile() const { return m_hFile != INVALID_HANDLE_VALUE; }
    // The records read back from the file, older than any added since it
    // opened; nNow bounds them by age. The file is compacted when it holds
    // much more than the records kept.
    void Merge(HistoryFileContents& older, unsigned long long nNow);
    // Every record gone, in memory and in the file.
    void Clear();

    // Whether the code was scanned before within the scope; nNow tells
    // which day is today.
    bool ScannedBefore(const std::string& strBytes, DuplicateScope scope, unsigned long long nNow);

private:
    typedef std::unordered_map<std::string, unsigned> CCodeCounts;
    void Prune(unsigned long long nNewest);
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
    // The file: its records' bytes, of all it holds.
    std::wstring m_strPath;
    HANDLE m_hFile;
    unsigned long long m_nFileSize;
    unsigned long long m_nLive;
    bool m_bMerged;   // the records before this run are in: the file may be rewritten
    bool m_bDropOlder;   // cleared before they came
    // The codes scanned, by scope: each record that counts is in each
    // scope's counts while it is kept.
    bool m_bCounting;
    CCodeCounts m_all, m_today, m_run;
    unsigned long long m_nTodayStart, m_nTomorrow;
    unsigned long long m_nFirst = 1ULL << 62;
};
