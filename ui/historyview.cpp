#include "historyview.h"

#include <algorithm>

namespace {

// What a record of today counts as.
const unsigned char kScan = 1, kTyped = 2;

// Characters in lower case, by table: a search looks at many records.
const wchar_t* LowerTable()
{
    static wchar_t* s_pTable = NULL;
    if (!s_pTable) {
        s_pTable = new wchar_t[0x10000];
        for (unsigned i = 0; i < 0x10000; ++i)
            s_pTable[i] = (wchar_t)i;
        CharLowerBuffW(s_pTable + 1, 0xFFFF);
        // Surrogates stay as they are, each half a character of its own.
        for (unsigned i = 0xD800; i < 0xE000; ++i)
            s_pTable[i] = (wchar_t)i;
    }
    return s_pTable;
}

// Whether strLower (in lower case) is in str, in any case.
bool ContainsFolded(const std::wstring& str, const std::wstring& strLower)
{
    if (strLower.size() > str.size())
        return false;
    const wchar_t* pLower = LowerTable();
    for (size_t i = 0; i + strLower.size() <= str.size(); ++i) {
        size_t j = 0;
        while (j < strLower.size() && pLower[(unsigned short)str[i + j]] == strLower[j])
            ++j;
        if (j == strLower.size())
            return true;
    }
    return false;
}

unsigned char TodayFlags(const ScanRecord& record)
{
    if (record.bRetyped)
        return 0;
    return record.outcome == SCAN_TYPED ? kScan | kTyped : kScan;
}

}  // namespace

bool CHistoryView::Follow(const CScanHistory& history, unsigned long long nToday)
{
    unsigned long long nFirst = history.First(), nEnd = nFirst + history.Count();
    if (!m_bStarted || nFirst > m_nTop) {
        m_bStarted = true;
        m_rows.clear();
        m_unsure.clear();
        m_nTop = m_nLooked = nFirst;
        m_nEnd = nEnd;
        Recount(history, nToday);
        return true;
    }
    if (nFirst == m_nTop && nEnd == m_nEnd && nToday == m_nToday)
        return false;
    bool bNewDay = nToday != m_nToday;
    // Let go from the far end; after a clear, every place known is past it.
    while (!m_unsure.empty() && m_unsure.back() >= nEnd)
        m_unsure.pop_back();
    while (!m_rows.empty() && m_rows.back() >= nEnd)
        m_rows.pop_back();
    m_nLooked = std::min(m_nLooked, nEnd);
    while (!m_today.empty() && m_nTop + m_today.size() > nEnd) {
        unsigned char flags = m_today.back();
        m_counts.nScanned -= (flags & kScan) != 0;
        m_counts.nTyped -= (flags & kTyped) != 0;
        m_today.pop_back();
    }
    // Records read back come at the far end, still to look at; today's run
    // of records goes on into them when it reached the end.
    if (!bNewDay && nEnd > m_nEnd && m_nTop + m_today.size() == m_nEnd) {
        for (unsigned long long p = m_nEnd; p < nEnd; ++p) {
            const ScanRecord& record = history.At((size_t)(p - nFirst));
            if (record.nTime < m_nToday)
                break;
            CountToday(record, false);
        }
    }
    // New records, each tested alone.
    bool bCame = false;
    for (unsigned long long p = std::min(m_nTop, nEnd); p-- > nFirst;) {
        const ScanRecord& record = history.At((size_t)(p - nFirst));
        if (Shows(record)) {
            m_rows.push_front(p);
            bCame = true;
        }
        if (!bNewDay)
            CountToday(record, true);
    }
    m_nTop = nFirst;
    m_nEnd = nEnd;
    if (bNewDay)
        Recount(history, nToday);
    return bCame;
}

bool CHistoryView::SetFilter(const CHistoryFilter& filter)
{
    CHistoryFilter folded = filter;
    const wchar_t* pLower = LowerTable();
    for (wchar_t& ch : folded.strSearch)
        ch = pLower[(unsigned short)ch];
    if (folded.strSearch == m_filter.strSearch && folded.shown == m_filter.shown && folded.nSince == m_filter.nSince)
        return false;
    // Every record the new filter shows, the old one showed.
    bool bNarrower = (m_filter.shown == SHOW_ALL || m_filter.shown == folded.shown) &&
                     folded.nSince >= m_filter.nSince && folded.strSearch.find(m_filter.strSearch) != std::wstring::npos;
    m_filter = folded;
    if (bNarrower) {
        m_unsure.insert(m_unsure.begin(), m_rows.begin(), m_rows.end());
    } else {
        m_unsure.clear();
        m_nLooked = m_nTop;
    }
    m_rows.clear();
    return true;
}

bool CHistoryView::Continue(const CScanHistory& history, size_t nRecords)
{
    if (!InStep(history))
        return Pending();
    for (; nRecords && !m_unsure.empty(); --nRecords) {
        unsigned long long nPlace = m_unsure.front();
        m_unsure.pop_front();
        if (Shows(history.At((size_t)(nPlace - m_nTop))))
            m_rows.push_back(nPlace);
    }
    for (; nRecords && m_nLooked < m_nEnd; --nRecords, ++m_nLooked) {
        if (Shows(history.At((size_t)(m_nLooked - m_nTop))))
            m_rows.push_back(m_nLooked);
    }
    return Pending();
}

long long CHistoryView::Find(unsigned long long nPlace) const
{
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), nPlace);
    return it != m_rows.end() && *it == nPlace ? (long long)(it - m_rows.begin()) : -1;
}

bool CHistoryView::Shows(const ScanRecord& record) const
{
    if (record.nTime < m_filter.nSince)
        return false;
    switch (m_filter.shown) {
    case SHOW_TYPED:
        if (record.outcome != SCAN_TYPED)
            return false;
        break;
    case SHOW_NOT_TYPED:
        if (record.outcome == SCAN_TYPED)
            return false;
        break;
    case SHOW_DUPLICATES:
        if (!record.bDuplicate)
            return false;
        break;
    default: break;
    }
    return m_filter.strSearch.empty() || ContainsFolded(record.strCode, m_filter.strSearch) ||
           ContainsFolded(record.strProgram, m_filter.strSearch);
}

// Today's records are those from the newest on up to the first of an earlier
// day, as the clock dated them.
void CHistoryView::CountToday(const ScanRecord& record, bool bFront)
{
    if (record.nTime < m_nToday) {
        m_today.clear();
        m_counts = CHistoryCounts();
        return;
    }
    unsigned char flags = TodayFlags(record);
    if (bFront)
        m_today.push_front(flags);
    else
        m_today.push_back(flags);
    m_counts.nScanned += (flags & kScan) != 0;
    m_counts.nTyped += (flags & kTyped) != 0;
}

void CHistoryView::Recount(const CScanHistory& history, unsigned long long nToday)
{
    m_nToday = nToday;
    m_today.clear();
    m_counts = CHistoryCounts();
    for (size_t i = 0; i < history.Count() && history.At(i).nTime >= nToday; ++i)
        CountToday(history.At(i), false);
}
