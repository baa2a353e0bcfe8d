// The history window's rows and today's counts, followed without going over
// every record: checked against the whole history filtered afresh.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <vector>

#include "historyview.h"

namespace {

const unsigned long long kToday = 20000 * kHistoryDay;

ScanRecord Scan(const std::wstring& strCode, ScanOutcome outcome, unsigned long long nTime, bool bDuplicate = false,
                bool bRetyped = false)
{
    ScanRecord record = {};
    record.strCode = strCode;
    record.strProgram = L"Excel.exe";
    record.outcome = outcome;
    record.nTime = nTime;
    record.bDuplicate = bDuplicate;
    record.bRetyped = bRetyped;
    return record;
}

std::wstring Lower(std::wstring str)
{
    if (!str.empty())
        CharLowerBuffW(&str[0], (DWORD)str.size());
    return str;
}

std::vector<std::wstring> Expected(const CScanHistory& history, const CHistoryFilter& filter)
{
    std::vector<std::wstring> codes;
    std::wstring strSearch = Lower(filter.strSearch);
    for (size_t i = 0; i < history.Count(); ++i) {
        const ScanRecord& record = history.At(i);
        bool bShown = filter.shown == SHOW_ALL || (filter.shown == SHOW_TYPED && record.outcome == SCAN_TYPED) ||
                      (filter.shown == SHOW_NOT_TYPED && record.outcome != SCAN_TYPED) ||
                      (filter.shown == SHOW_DUPLICATES && record.bDuplicate);
        if (bShown && record.nTime >= filter.nSince &&
            (Lower(record.strCode).find(strSearch) != std::wstring::npos ||
             Lower(record.strProgram).find(strSearch) != std::wstring::npos))
            codes.push_back(record.strCode);
    }
    return codes;
}

std::vector<std::wstring> Listed(CHistoryView& view, const CScanHistory& history)
{
    while (view.Continue(history, 7)) {
    }
    std::vector<std::wstring> codes;
    for (size_t i = 0; i < view.Rows(); ++i)
        codes.push_back(view.Row(history, i).strCode);
    return codes;
}

CHistoryCounts ExpectedCounts(const CScanHistory& history, unsigned long long nToday)
{
    CHistoryCounts counts;
    for (size_t i = 0; i < history.Count() && history.At(i).nTime >= nToday; ++i) {
        counts.nScanned += !history.At(i).bRetyped;
        counts.nTyped += !history.At(i).bRetyped && history.At(i).outcome == SCAN_TYPED;
    }
    return counts;
}

}  // namespace

// A search that grows looks only at the rows it found; any other change
// looks at every record again.
TEST(HistoryView, NarrowerFiltersLookOnlyAtTheRowsFound)
{
    CScanHistory history(100);
    for (int i = 0; i < 60; ++i) {
        const wchar_t* apszCodes[] = { L"ABC-1", L"abx", L"鲁A12", L"zzz" };
        history.Add(Scan(apszCodes[i % 4], i % 3 ? SCAN_TYPED : SCAN_NOT_TYPED, kToday + i, i % 5 == 0));
    }
    CHistoryView view;
    view.Follow(history, kToday);
    Listed(view, history);
    static const struct { const wchar_t* pszSearch; HistoryShown shown; bool bNarrower; } s_steps[] = {
        { L"a", SHOW_ALL, true },   { L"ab", SHOW_ALL, true },       { L"aBc", SHOW_TYPED, true },
        { L"b", SHOW_TYPED, false }, { L"b", SHOW_DUPLICATES, false }, { L"鲁a", SHOW_ALL, false },
        { L"", SHOW_ALL, false },
    };
    for (const auto& step : s_steps) {
        CHistoryFilter filter;
        filter.strSearch = step.pszSearch;
        filter.shown = step.shown;
        size_t nBefore = view.Rows();
        ASSERT_TRUE(view.SetFilter(filter));
        EXPECT_NE(step.bNarrower, view.Continue(history, nBefore)) << step.pszSearch;
        EXPECT_EQ(Expected(history, filter), Listed(view, history)) << step.pszSearch;
        EXPECT_FALSE(view.SetFilter(filter));
    }
}

// Records added one by one or in bursts, let go from the far end, cleared;
// filters changed while their rows are still being found; the day changing.
// A new record is tested alone, and the rows and counts are always those
// of the whole history.
TEST(HistoryView, FollowsTheHistoryAsItChanges)
{
    std::mt19937 random(7);
    CScanHistory history(40);
    CHistoryView view;
    CHistoryFilter filter;
    unsigned long long nToday = kToday, nTime = kToday - 2 * kHistoryDay;
    const wchar_t* apszSearches[] = { L"", L"a", L"ab", L"b", L"鲁", L"EXCEL" };
    for (int nStep = 0; nStep < 3000; ++nStep) {
        int nOp = random() % 100;
        bool bDone = !view.Pending();
        if (nOp < 60) {
            std::wstring strCode;
            for (int i = random() % 4; i >= 0; --i)
                strCode += L"aAbB鲁x"[random() % 6];
            nTime += random() % 3 ? kHistorySecond : kHistoryDay / 2;
            if (random() % 20 == 0)
                nTime -= kHistoryDay;   // a clock put back
            history.Add(Scan(strCode, (ScanOutcome)(random() % 4), nTime, random() % 3 == 0, random() % 5 == 0));
            if (random() % 3)
                continue;   // taken in with the next ones
        } else if (nOp < 75) {
            filter.strSearch = apszSearches[random() % 6];
            filter.shown = (HistoryShown)(random() % 4);
            filter.nSince = random() % 2 ? 0 : nTime - kHistoryDay;
            view.SetFilter(filter);
        } else if (nOp < 85) {
            view.Continue(history, random() % 20);
        } else if (nOp < 87) {
            history.Clear();
        } else if (nOp < 89) {
            nToday += kHistoryDay;
        }
        view.Follow(history, nToday);
        EXPECT_TRUE(view.InStep(history));
        // Records that came or went are taken in at once.
        if (bDone && (nOp < 60 || nOp >= 85)) {
            EXPECT_FALSE(view.Pending()) << nStep;
        }
        CHistoryCounts counts = ExpectedCounts(history, nToday);
        EXPECT_EQ(counts.nScanned, view.Counts().nScanned) << nStep;
        EXPECT_EQ(counts.nTyped, view.Counts().nTyped) << nStep;
        if (nStep % 5 == 0 || nOp >= 85) {
            ASSERT_EQ(Expected(history, filter), Listed(view, history)) << nStep;
            if (view.Rows()) {
                EXPECT_EQ((long long)view.Rows() - 1, view.Find(view.Place(view.Rows() - 1)));
            }
        }
    }
}
