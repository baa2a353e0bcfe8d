// What the history window lists: the records its filters leave, newest
// first, and today's counts, kept up to date without going over every
// record. A new record is tested alone, those the history lets go leave
// from the end, and a search that grows looks only at what the last one
// found. Work over many records is done in slices (Continue), so a decode
// never waits long for it. No window of its own: CHistoryList shows it.
#pragma once

#include <deque>
#include <string>

#include "store.h"

// The choices of the result filter, in its list's order.
enum HistoryShown { SHOW_ALL, SHOW_TYPED, SHOW_NOT_TYPED, SHOW_DUPLICATES };

struct CHistoryFilter {
    std::wstring strSearch;          // in any part of the code or the program, in any case
    HistoryShown shown = SHOW_ALL;
    unsigned long long nSince = 0;   // records older left out
};

// Today's scans: those typed, and those not (a repeat, a refusal, a
// duplicate held back, a failure). Codes typed again are no scans.
struct CHistoryCounts {
    int nScanned = 0;
    int nTyped = 0;
};

class CHistoryView {
public:
    // Takes in what came and went in the history since the last call;
    // nToday: the start of today. True when rows came in front: the rows
    // listed before moved down.
    bool Follow(const CScanHistory& history, unsigned long long nToday);
    // False when it is the filter in force. A filter that asks for more than
    // the last looks again only at the rows found; another looks at every
    // record again. Either way the rows come back through Continue.
    bool SetFilter(const CHistoryFilter& filter);
    // Looks at up to nRecords records not looked at yet, the history as the
    // last Follow saw it; false when none is left.
    bool Continue(const CScanHistory& history, size_t nRecords);
    bool Pending() const { return !m_unsure.empty() || m_nLooked < m_nEnd; }
    // Whether Follow has seen the history as it is.
    bool InStep(const CScanHistory& history) const
    {
        return m_bStarted && history.First() == m_nTop && history.Count() == m_nEnd - m_nTop;
    }

    size_t Rows() const { return m_rows.size(); }
    const ScanRecord& Row(const CScanHistory& history, size_t nRow) const
    {
        return history.At((size_t)(m_rows[nRow] - m_nTop));
    }
    // A listed record's place in the history (CScanHistory::First): the same
    // as long as it is kept.
    unsigned long long Place(size_t nRow) const { return m_rows[nRow]; }
    // The row of the record at nPlace; -1 when it is not listed.
    long long Find(unsigned long long nPlace) const;
    const CHistoryCounts& Counts() const { return m_counts; }

private:
    bool Shows(const ScanRecord& record) const;
    void CountToday(const ScanRecord& record, bool bFront);
    void Recount(const CScanHistory& history, unsigned long long nToday);

    bool m_bStarted = false;
    CHistoryFilter m_filter;   // its search in lower case
    // Places, as in the history: [m_nTop, m_nEnd) its records as last seen,
    // [m_nTop, m_nLooked) those looked at. The rows found, ascending (newest
    // first), then rows of a wider filter still to look at again.
    unsigned long long m_nTop = 0, m_nEnd = 0, m_nLooked = 0;
    std::deque<unsigned long long> m_rows, m_unsure;
    // The records of today from the newest on, what each counts as: today's
    // counts lose what the history lets go.
    unsigned long long m_nToday = 0;
    std::deque<unsigned char> m_today;
    CHistoryCounts m_counts;
};
