#include "store.h"

#include <algorithm>
#include <vector>

#include "typedtext.h"

namespace {

// This run's records' tags, apart from those read back (their offsets).
const unsigned long long kRunTag = 1ULL << 63;

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
    : m_nLimit(nLimit), m_nByteLimit(nByteLimit), m_nAdded(0), m_nBytes(0), m_nDays(0), m_nNewestRead(0),
      m_dwReadTick(0), m_bFile(false), m_nGeneration(0), m_nNextTag(0), m_nFileSize(0), m_nLive(0),
      m_nSinceCompact(0), m_nCompactFloor(0), m_bCompacting(false), m_bMerged(false), m_bDropOlder(false),
      m_bCounting(false), m_nTodayStart(0), m_nTomorrow(0)
{
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
    if (added.strProgram.size() > kKeepProgram)
        added.strProgram.resize(kKeepProgram);
    added.bThisRun = true;
    m_nBytes += RecordMemory(added);
    RollDay(added.nTime);
    Count(added, 1);
    Append(added);
    Prune(added.nTime);
    --m_nFirst;
    ++m_nAdded;
    CompactIfDue();
}

unsigned long long CScanHistory::AgeNow(unsigned long long nNow) const
{
    if (!m_nNewestRead)
        return nNow;
    // A run longer than 49 days counts its time from less: it deletes later.
    unsigned long long nRun = (unsigned long long)(DWORD)(GetTickCount() - m_dwReadTick) * (kHistorySecond / 1000);
    return std::min(nNow, m_nNewestRead + nRun);
}

bool CScanHistory::TooOld(const ScanRecord& record, unsigned long long nNow) const
{
    return m_nDays > 0 && record.nTime + (unsigned long long)m_nDays * kHistoryDay < nNow;
}

void CScanHistory::Prune(unsigned long long nNow)
{
    unsigned long long nAgeNow = AgeNow(nNow);
    while (m_records.size() > 1 &&
           (m_records.size() > m_nLimit || m_nBytes > m_nByteLimit || TooOld(m_records.back(), nAgeNow)))
        DropOldest();
}

void CScanHistory::DropOldest()
{
    const ScanRecord& oldest = m_records.back();
    m_nBytes -= RecordMemory(oldest);
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
    if (!m_bFile)
        return;
    std::string data = EncodeRecord(record, !record.bPasted);
    record.nStored = (unsigned)data.size();
    record.nTag = kRunTag | ++m_nNextTag;
    m_nFileSize += record.nStored;
    m_nLive += record.nStored;
    m_nSinceCompact += record.nStored;
    m_worker.Append(record.nTag, std::move(data));
}

bool CScanHistory::OpenFile(const std::wstring& strPath)
{
    if (m_bFile)
        return true;
    if (!m_worker.Started())
        return false;
    m_bFile = true;
    m_bMerged = m_bDropOlder = m_bCompacting = false;
    m_nFileSize = m_nSinceCompact = m_nCompactFloor = 0;
    m_worker.Open(++m_nGeneration, strPath, m_nLimit, m_nByteLimit);
    return true;
}

void CScanHistory::CloseFile(bool bDelete, const std::wstring& strPath)
{
    if (m_worker.Started() && (m_bFile || bDelete))
        m_worker.Close(bDelete, strPath);
    m_bFile = false;
    ++m_nGeneration;
    for (ScanRecord& record : m_records) {
        record.nStored = 0;
        record.nTag = 0;
    }
    m_nLive = m_nFileSize = 0;
}

void CScanHistory::OnFileResult(const CHistoryFileResult& result, unsigned long long nNow)
{
    if (result.nGeneration != m_nGeneration || !m_bFile)
        return;
    switch (result.event) {
    case HISTORY_FILE_LOADED: {
        if (!m_bDropOlder)
            m_nFileSize += result.contents.nRead;
        HistoryFileContents& contents = const_cast<HistoryFileContents&>(result.contents);
        Merge(contents, nNow);
        break;
    }
    case HISTORY_FILE_LOAD_FAILED:
        // Unread, its records stay in the file: it is never rewritten
        // this run, unless cleared meanwhile.
        if (m_bDropOlder) {
            m_bMerged = true;
            m_nFileSize = kHistoryHeaderSize + m_nLive;
        }
        break;
    case HISTORY_FILE_COMPACTED:
        m_bCompacting = false;
        break;
    case HISTORY_FILE_COMPACT_FAILED:
        // Not tried again before the file doubles.
        m_bCompacting = false;
        m_nFileSize = result.nSize + m_nSinceCompact;
        m_nCompactFloor = 2 * m_nFileSize;
        break;
    default:
        break;
    }
}

void CScanHistory::Merge(HistoryFileContents& older, unsigned long long nNow)
{
    if (m_bMerged)
        return;   // read once per opening: never twice in memory
    // Records cleared since the file was opened stay gone.
    if (m_bDropOlder)
        older.records.clear();
    for (const ScanRecord& record : older.records)
        m_nNewestRead = std::max(m_nNewestRead, record.nTime);
    if (!older.records.empty())
        m_dwReadTick = GetTickCount();
    unsigned long long nAgeNow = AgeNow(nNow);
    // Read back oldest first: the newest of them go behind this run's. One
    // out of time order is judged alone.
    for (size_t i = older.records.size(); i-- > 0 && m_records.size() < m_nLimit;) {
        ScanRecord& record = older.records[i];
        if (!TooOld(record, nAgeNow))
            m_records.push_back(std::move(record));
    }
    older.records.clear();
    m_nBytes = 0;
    m_nLive = 0;
    for (const ScanRecord& record : m_records) {
        m_nBytes += RecordMemory(record);
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
    if (m_bFile) {
        m_worker.Clear();
        m_bDropOlder = !m_bMerged;
        m_nFileSize = kHistoryHeaderSize;
        m_nSinceCompact = m_nCompactFloor = 0;
    }
}

// Rewritten when the records let go take more room than those kept: an
// append-only file grows by every record, and only a rewrite shrinks it.
// The worker copies the kept records' frames as they are.
void CScanHistory::CompactIfDue()
{
    if (!m_bFile || !m_bMerged || m_bCompacting || m_nFileSize <= 2 * m_nLive + (1 << 20) ||
        m_nFileSize < m_nCompactFloor)
        return;
    std::vector<unsigned long long> keep;
    keep.reserve(m_records.size());
    for (const ScanRecord& record : m_records) {
        if (record.nTag && record.nStored)
            keep.push_back(record.nTag);
    }
    m_worker.Compact(std::move(keep));
    m_bCompacting = true;
    m_nFileSize = kHistoryHeaderSize + m_nLive;
    m_nSinceCompact = 0;
}
