// The scan history's store: its file read back after a restart, what a crash
// or a damaged disk leaves, its bounds by age and count, and the codes
// scanned before in each scope.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store.h"
#include "temp_file_test.h"

namespace {

const unsigned long long kNoon = 133000000000000000ULL;   // a day in 2022, UTC

ScanRecord Scan(const std::string& strCode, unsigned long long nTime)
{
    ScanRecord record = {};
    record.nTime = nTime;
    record.strBytes = strCode;
    record.strCode = std::wstring(strCode.begin(), strCode.end());
    record.strProgram = L"notepad.exe";
    record.outcome = SCAN_TYPED;
    return record;
}

class HistoryFile : public TempFileTest {
protected:
    HistoryFile() : TempFileTest("norza-history-", ".dat") {}
    std::wstring Path() const { return std::wstring(m_path.begin(), m_path.end()); }

    // A run of the program: opens the file and takes back what it holds.
    void Start(CScanHistory& history, size_t* pnSkipped = NULL, unsigned long long nNow = kNoon)
    {
        unsigned long long nOlder = 0;
        ASSERT_TRUE(history.OpenFile(Path(), &nOlder));
        HistoryFileContents contents;
        if (nOlder) {
            ASSERT_TRUE(ReadHistoryFile(Path(), nOlder, &contents));
        }
        if (pnSkipped)
            *pnSkipped = contents.nSkipped;
        history.Merge(contents, nNow);
    }
    std::string Codes(const CScanHistory& history) const
    {
        std::string codes;
        for (size_t i = 0; i < history.Count(); ++i)
            codes += (i ? " " : "") + (history.At(i).bNotKept ? "-" : history.At(i).strBytes);
        return codes;
    }
    void Append(const std::string& bytes)
    {
        HANDLE h = OpenOther(FILE_APPEND_DATA, FILE_SHARE_READ);
        DWORD n;
        WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, NULL);
        CloseHandle(h);
    }
};

// Written as they happen, read back in order after a restart with all they
// hold; a pasted code goes without its text.
TEST_F(HistoryFile, ARestartKeepsTheRecords)
{
    {
        CScanHistory history;
        Start(history);
        ScanRecord first = Scan("0012345", kNoon);
        first.symbology = SYMBOLOGY_DM;
        first.strCode = L"\x9c81" L"A12345";
        first.outcome = SCAN_NOT_TYPED;
        first.cause = 7;
        first.nTyped = 3;
        first.nTotal = 9;
        first.nRule = 12;
        history.Add(first);
        ScanRecord pasted = Scan("secret", kNoon + 1);
        pasted.bPasted = true;
        history.Add(pasted);
        history.Add(Scan("last", kNoon + 2));
        EXPECT_EQ("last secret 0012345", Codes(history));
    }
    CScanHistory history;
    Start(history);
    ASSERT_EQ("last - 0012345", Codes(history));
    const ScanRecord& first = history.At(2);
    EXPECT_EQ(kNoon, first.nTime);
    EXPECT_EQ(SYMBOLOGY_DM, first.symbology);
    EXPECT_EQ(L"\x9c81" L"A12345", first.strCode);
    EXPECT_EQ(L"notepad.exe", first.strProgram);
    EXPECT_EQ(SCAN_NOT_TYPED, first.outcome);
    EXPECT_EQ(7, first.cause);
    EXPECT_EQ(12, first.nRule);
    EXPECT_EQ(3u, first.nTyped);
    EXPECT_EQ(9u, first.nTotal);
    EXPECT_FALSE(first.bThisRun);
    EXPECT_EQ(L"", history.At(1).strCode);
    EXPECT_EQ(std::string::npos, ReadAll().find("secret"));
}

// A record cut short by a crash, or one damaged on disk, is skipped alone:
// the records before and after it are read, and the file goes on.
TEST_F(HistoryFile, ATornOrDamagedRecordIsSkippedAlone)
{
    {
        CScanHistory history;
        Start(history);
        history.Add(Scan("a", kNoon));
        history.Add(Scan("b", kNoon + 1));
        history.Add(Scan("c", kNoon + 2));
    }
    std::string whole = EncodeRecord(Scan("torn", kNoon + 3), true);
    Append(whole.substr(0, whole.size() - 2));
    size_t nSkipped = 0;
    {
        CScanHistory history;
        Start(history, &nSkipped);
        EXPECT_EQ("c b a", Codes(history));
        EXPECT_EQ(1u, nSkipped);
        history.Add(Scan("d", kNoon + 4));   // after the torn one
    }
    // The last byte of "b" changed on disk.
    size_t nAt = kHistoryHeaderSize + EncodeRecord(Scan("a", kNoon), true).size() +
                 EncodeRecord(Scan("b", kNoon + 1), true).size() - 1;
    HANDLE h = OpenOther(GENERIC_WRITE, FILE_SHARE_READ);
    SetFilePointer(h, (LONG)nAt, NULL, FILE_BEGIN);
    DWORD n;
    WriteFile(h, "X", 1, &n, NULL);
    CloseHandle(h);
    CScanHistory history;
    Start(history, &nSkipped);
    EXPECT_EQ("d c a", Codes(history));
    EXPECT_EQ(2u, nSkipped);
}

// The oldest go: past the days kept, counted from now at a restart and
// from each new record meanwhile, and past 100,000 records. The file is
// rewritten once it holds more that was let go than kept.
TEST_F(HistoryFile, OldAndSurplusRecordsGoAndTheFileShrinks)
{
    {
        CScanHistory history;
        history.SetDays(30);
        Start(history);
        for (int nDay = 40; nDay >= 0; --nDay)
            history.Add(Scan("day" + std::to_string(nDay), kNoon - nDay * kHistoryDay));
        EXPECT_EQ(31u, history.Count());
        EXPECT_EQ("day30", history.At(30).strBytes);
    }
    {
        CScanHistory history;
        history.SetDays(30);
        Start(history, NULL, kNoon + 5 * kHistoryDay);
        EXPECT_EQ(26u, history.Count());
        EXPECT_EQ("day25", history.At(25).strBytes);
    }
    unsigned long long nSize = 0;
    {
        CScanHistory history;
        Start(history);
        for (size_t i = 0; i < kHistoryRecords + 50000; ++i)
            history.Add(Scan(std::to_string(i), kNoon + i));
        ASSERT_EQ(kHistoryRecords, history.Count());
        EXPECT_EQ(std::to_string(kHistoryRecords + 49999), history.At(0).strBytes);
        EXPECT_EQ("50000", history.At(kHistoryRecords - 1).strBytes);
        nSize = ReadAll().size();
    }
    // Every record kept, and about as much again let go at most.
    size_t nRecord = EncodeRecord(Scan("123456", kNoon), true).size();
    EXPECT_LT(nSize, 2 * kHistoryRecords * nRecord + (2 << 20));
    CScanHistory history;
    Start(history);
    EXPECT_EQ(kHistoryRecords, history.Count());
    EXPECT_EQ("50000", history.At(kHistoryRecords - 1).strBytes);
}

// What "scanned before" finds in each scope: this run's, today's (the day
// of the local clock), or every record kept; nothing when off. A code typed
// again from the window is no scan of its own.
TEST_F(HistoryFile, ADuplicateInEachScope)
{
    {
        CScanHistory history;
        Start(history);
        history.Add(Scan("yesterday", LocalDayStart(kNoon) - kHistorySecond));
        history.Add(Scan("earlier today", LocalDayStart(kNoon) + kHistorySecond));
    }
    CScanHistory history;
    Start(history);
    history.Add(Scan("this run", kNoon));
    ScanRecord retyped = Scan("retyped", kNoon);
    retyped.bRetyped = true;
    history.Add(retyped);
    const struct { const char* pszCode; bool abSeen[4]; } cases[] = {
        // off, this run, today, all
        { "this run", { false, true, true, true } },
        { "earlier today", { false, false, true, true } },
        { "yesterday", { false, false, false, true } },
        { "retyped", { false, false, false, false } },
        { "never", { false, false, false, false } },
    };
    for (const auto& c : cases) {
        for (int nScope = DUPLICATES_OFF; nScope <= DUPLICATES_ALL; ++nScope) {
            EXPECT_EQ(c.abSeen[nScope], history.ScannedBefore(c.pszCode, (DuplicateScope)nScope, kNoon))
                << c.pszCode << " in scope " << nScope;
        }
    }
    // Tomorrow, today's are yesterday's; gone with their record, a code is new.
    EXPECT_FALSE(history.ScannedBefore("this run", DUPLICATES_TODAY, kNoon + kHistoryDay));
    EXPECT_TRUE(history.ScannedBefore("this run", DUPLICATES_RUN, kNoon + kHistoryDay));
    history.Clear();
    EXPECT_FALSE(history.ScannedBefore("yesterday", DUPLICATES_ALL, kNoon));
    EXPECT_EQ(kHistoryHeaderSize, ReadAll().size());
}

// Kept for this run only: the file goes.
TEST_F(HistoryFile, KeptInMemoryOnlyTheFileIsDeleted)
{
    CScanHistory history;
    Start(history);
    history.Add(Scan("a", kNoon));
    history.CloseFile(true);
    history.Add(Scan("b", kNoon + 1));
    EXPECT_EQ("<missing>", ReadAll());
    EXPECT_EQ("b a", Codes(history));
}

}  // namespace
