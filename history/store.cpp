#include "store.h"

#include <algorithm>
#include <vector>

#include "typedtext.h"

namespace {

size_t RecordBytes(const ScanRecord& record)
{
    return sizeof(ScanRecord) + record.strBytes.capacity() +
           (record.strCode.capacity() + record.strProgram.capacity()) * sizeof(wchar_t);
}

// The start of the code, never ending inside a key or pause of a typed text
// or between the halves of a surrogate pair.
std::wstring CodeStart(const std::wstring& strCode)
{
    size_t nEnd = 0;
    while (nEnd < strCode.size() && nEnd < kKeepShown) {
        size_t nNext = nEnd + ((strCode[nEnd] == kKeyMarker || strCode[nEnd] == kPauseMarker ||
                                IS_HIGH_SURROGATE(strCode[nEnd])) ? 2 : 1);
        if (nNext > kKeepShown)
            break;
        nEnd = nNext;
    }
    return strCode.substr(0, std::min(nEnd, strCode.size()));
}

// A scan of its own whose code is known: what "scanned before" looks at.
bool CountsAsScan(const ScanRecord& record)
{
    return !record.bRetyped && !record.bCut && !record.bNotKept && !record.strBytes.empty();
}

void Step(std::unordered_map<std::string, unsigned>& counts, const std::string& strCode, int nStep)
{
    if (nStep > 0) {
        ++counts[strCode];
        return;
    }
    auto it = counts.find(strCode);
    if (it != counts.end() && --it->second == 0)
        counts.erase(it);
}

}  // namespace

CScanHistory::CScanHistory(size_t nLimit, size_t nByteLimit)
    : m_nLimit(nLimit), m_nByteLimit(nByteLimit), m_nAdded(0), m_nBytes(0), m_nDays(0),
      m_hFile(INVALID_HANDLE_VALUE), m_nFileSize(0), m_nLive(0), m_bMerged(false), m_bDropOlder(false), m_bCounting(false), m_nTodayStart(0),
      m_nTomorrow(0)
{
}

CScanHistory::~CScanHistory()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
}

void CScanHistory::Add(const ScanRecord& record)
{
    if (record.strBytes.size() > kKeepWhole || record.strCode.size() > kKeepWhole) {
        // Swapped, not assigned: an assignment keeps the long buffers.
        ScanRecord cut = record;
        std::string().swap(cut.strBytes);
        CodeStart(record.strCode).swap(cut.strCode);
        cut.bCut = true;
        m_records.push_front(std::move(cut));
    } else {
        m_records.push_front(record);
    }
    ScanRecord& added = m_records.front();
    added.bThisRun = true;
    m_nBytes += RecordBytes(added);
    RollDay(added.nTime);
    Count(added, 1);
    Append(added);
    Prune(added.nTime);
    --m_nFirst;
    ++m_nAdded;
    CompactIfDue();
}

void CScanHistory::Prune(unsigned long long nNewest)
{
    unsigned long long nAge = (unsigned long long)m_nDays * kHistoryDay;
    while (m_records.size() > 1 && (m_records.size() > m_nLimit || m_nBytes > m_nByteLimit ||
                                    (m_nDays > 0 && m_records.back().nTime + nAge < nNewest)))
        DropOldest();
}

void CScanHistory::DropOldest()
{
    const ScanRecord& oldest = m_records.back();
    m_nBytes -= RecordBytes(oldest);
    m_nLive -= oldest.nStored;
    Count(oldest, -1);
    m_records.pop_back();
}

void CScanHistory::Count(const ScanRecord& record, int nStep)
{
    if (!m_bCounting || !CountsAsScan(record))
        return;
    Step(m_all, record.strBytes, nStep);
    if (record.nTime >= m_nTodayStart)
        Step(m_today, record.strBytes, nStep);
    if (record.bThisRun)
        Step(m_run, record.strBytes, nStep);
}

// Today's codes anew when the day changes (or the clock goes back).
void CScanHistory::RollDay(unsigned long long nNow)
{
    if (nNow >= m_nTodayStart && nNow < m_nTomorrow)
        return;
    m_nTodayStart = LocalDayStart(nNow);
    // A day of 23 or 25 hours when the clocks change.
    m_nTomorrow = LocalDayStart(m_nTodayStart + kHistoryDay + kHistoryDay / 8);
    m_today.clear();
    for (const ScanRecord& record : m_records) {
        if (!m_bCounting)
            break;
        if (record.nTime < m_nTodayStart)
            break;
        if (CountsAsScan(record))
            Step(m_today, record.strBytes, 1);
    }
}

bool CScanHistory::ScannedBefore(const std::string& strBytes, DuplicateScope scope, unsigned long long nNow)
{
    if (scope == DUPLICATES_OFF)
        return false;
    // Counted from the first look on: nothing to keep while no one asks.
    if (!m_bCounting) {
        m_bCounting = true;
        Recount();
    }
    RollDay(nNow);
    switch (scope) {
    case DUPLICATES_RUN: return m_run.count(strBytes) != 0;
    case DUPLICATES_TODAY: return m_today.count(strBytes) != 0;
    case DUPLICATES_ALL: return m_all.count(strBytes) != 0;
    default: return false;
    }
}

// One write for the whole record: a crash tears at most this one.
void CScanHistory::Append(ScanRecord& record)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    std::string data = EncodeRecord(record, !record.bPasted);
    record.nStored = (unsigned)data.size();
    if (!WriteAll(m_hFile, data)) {
        record.nStored = 0;
        return;
    }
    m_nFileSize += record.nStored;
    m_nLive += record.nStored;
}

bool CScanHistory::OpenFile(const std::wstring& strPath, unsigned long long* pnOlder)
{
    CloseFile(false);
    *pnOlder = 0;
    m_strPath = strPath;
    m_bMerged = false;
    m_bDropOlder = false;
    for (int nTry = 0; nTry < 2; ++nTry) {
        m_hFile = CreateFileW(strPath.c_str(), FILE_APPEND_DATA | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (m_hFile == INVALID_HANDLE_VALUE)
            return false;
        LARGE_INTEGER size = {};
        GetFileSizeEx(m_hFile, &size);
        std::string header = HistoryFileHeader(), found(header.size(), '\0');
        DWORD nGot = 0;
        if (size.QuadPart == 0) {
            if (!WriteAll(m_hFile, header))
                break;
            m_nFileSize = kHistoryHeaderSize;
            return true;
        }
        if (ReadFile(m_hFile, &found[0], (DWORD)found.size(), &nGot, NULL) && nGot == found.size() &&
            found == header) {
            m_nFileSize = *pnOlder = size.QuadPart;
            return true;
        }
        // Not ours, or of a later version: kept aside, not overwritten.
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
        if (!MoveFileExW(strPath.c_str(), (strPath + L".old").c_str(), MOVEFILE_REPLACE_EXISTING))
            return false;
    }
    CloseFile(false);
    return false;
}

void CScanHistory::CloseFile(bool bDelete)
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (bDelete && !m_strPath.empty())
        DeleteFileW(m_strPath.c_str());
    if (bDelete) {
        for (ScanRecord& record : m_records)
            record.nStored = 0;
        m_nLive = 0;
    }
    m_nFileSize = 0;
}

void CScanHistory::Merge(HistoryFileContents& older, unsigned long long nNow)
{
    // Records cleared, or the file given up, since the file was opened stay gone.
    if (m_bDropOlder || m_hFile == INVALID_HANDLE_VALUE)
        older.records.clear();
    // Read back oldest first: the newest of them go behind this run's.
    size_t nRoom = m_nLimit > m_records.size() ? m_nLimit - m_records.size() : 0;
    size_t nFirst = older.records.size() > nRoom ? older.records.size() - nRoom : 0;
    for (size_t i = older.records.size(); i-- > nFirst;) {
        ScanRecord& record = older.records[i];
        if (m_nDays > 0 && record.nTime + (unsigned long long)m_nDays * kHistoryDay < nNow)
            break;
        m_records.push_back(std::move(record));
    }
    older.records.clear();
    m_nBytes = 0;
    m_nLive = 0;
    for (const ScanRecord& record : m_records) {
        m_nBytes += RecordBytes(record);
        m_nLive += record.nStored;
    }
    Recount();
    Prune(nNow);
    m_bMerged = true;
    ++m_nAdded;
    CompactIfDue();
}

void CScanHistory::Recount()
{
    m_all.clear();
    m_run.clear();
    m_nTodayStart = m_nTomorrow = 0;
    for (const ScanRecord& record : m_records) {
        if (m_bCounting && CountsAsScan(record)) {
            Step(m_all, record.strBytes, 1);
            if (record.bThisRun)
                Step(m_run, record.strBytes, 1);
        }
    }
    if (!m_records.empty())
        RollDay(m_records.front().nTime);
}

void CScanHistory::Clear()
{
    m_records.clear();
    m_all.clear();
    m_today.clear();
    m_run.clear();
    m_nBytes = m_nLive = 0;
    // Far from every place given before: a window sees all of them gone.
    m_nFirst -= 1ULL << 32;
    ++m_nAdded;
    if (m_hFile != INVALID_HANDLE_VALUE) {
        bool bMerged = m_bMerged;
        unsigned long long nOlder = 0;
        CloseFile(true);
        OpenFile(m_strPath, &nOlder);
        m_bMerged = bMerged;
        m_bDropOlder = !bMerged;
    }
}

// Rewritten when the records let go take more room than those kept: an
// append-only file grows by every record, and only a rewrite shrinks it.
void CScanHistory::CompactIfDue()
{
    if (m_hFile == INVALID_HANDLE_VALUE || !m_bMerged || m_nFileSize <= 2 * m_nLive + (1 << 20))
        return;
    std::vector<ScanRecord*> records;
    records.reserve(m_records.size());
    for (auto it = m_records.rbegin(); it != m_records.rend(); ++it)
        records.push_back(&*it);
    CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    bool bRewritten = RewriteHistoryFile(m_strPath, records);
    unsigned long long nOlder = 0;
    if (OpenFile(m_strPath, &nOlder)) {
        m_nLive = 0;
        for (const ScanRecord& record : m_records)
            m_nLive += record.nStored;
        // Not rewritten: not tried again before the file doubles.
        if (!bRewritten)
            m_nLive = m_nFileSize;
    }
    m_bMerged = true;
}
