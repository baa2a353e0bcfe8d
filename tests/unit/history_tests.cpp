// The scan history's store: its file read back after a restart, what a crash
// or a damaged disk leaves, its bounds by age and count, and the codes
// scanned before in each scope.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "filecalls.h"
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

    ~HistoryFile() override
    {
        Drain();
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }
    // A run of the program as the tray window runs it: the file's worker
    // started, the file opened, its results taken by message until the
    // records of before are in (or could not be read).
    void Start(CScanHistory& history, size_t* pnSkipped = NULL, unsigned long long nNow = kNoon)
    {
        if (!m_hWnd)
            m_hWnd = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
        Drain();
        m_events.clear();
        m_nSkipped = 0;
        ASSERT_TRUE(history.StartWorker(m_hWnd, WM_APP));
        history.Worker().SetPause(10);
        ASSERT_TRUE(history.OpenFile(Path()));
        Pump(history, nNow, [&] { return history.Merged() || Saw(HISTORY_FILE_LOAD_FAILED); });
        if (pnSkipped)
            *pnSkipped = m_nSkipped;
    }
    // Takes the worker's results until bDone says so, for 20 s at most.
    template <class Done> void Pump(CScanHistory& history, unsigned long long nNow, Done bDone)
    {
        DWORD dwStart = GetTickCount();
        while (!bDone() && GetTickCount() - dwStart < 20000) {
            MSG msg;
            if (!PeekMessageW(&msg, m_hWnd, WM_APP, WM_APP, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_POSTMESSAGE);
                continue;
            }
            CHistoryFileResult* pResult = reinterpret_cast<CHistoryFileResult*>(msg.lParam);
            m_events.push_back(pResult->event);
            m_nSkipped += pResult->contents.nSkipped;
            history.OnFileResult(*pResult, nNow);
            delete pResult;
        }
    }
    bool Saw(HistoryFileEvent event) const
    {
        for (HistoryFileEvent seen : m_events) {
            if (seen == event)
                return true;
        }
        return false;
    }
    // What an ended run left unread.
    void Drain()
    {
        MSG msg;
        while (m_hWnd && PeekMessageW(&msg, m_hWnd, WM_APP, WM_APP, PM_REMOVE))
            delete reinterpret_cast<CHistoryFileResult*>(msg.lParam);
    }
    HWND m_hWnd = NULL;
    std::vector<HistoryFileEvent> m_events;
    size_t m_nSkipped = 0;
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
        first.cause = HISTORY_CAUSE_FRONT;
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
    EXPECT_EQ(HISTORY_CAUSE_FRONT, first.cause);   // 7 on disk, as always
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

// The oldest go: past the days kept and past 100,000 records. Ages count
// from the earlier of now and the newest record read plus the time run: a
// PC off for a while drops its aged records from the start after a scan.
// The file is rewritten once it holds more that was let go than kept.
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
    const unsigned long long nLater = kNoon + 5 * kHistoryDay;
    {
        CScanHistory history;
        history.SetDays(30);
        Start(history, NULL, nLater);
        EXPECT_EQ(31u, history.Count());
        history.Add(Scan("later", nLater));
    }
    {
        CScanHistory history;
        history.SetDays(30);
        Start(history, NULL, nLater);
        EXPECT_EQ(27u, history.Count());
        EXPECT_EQ("day25", history.At(26).strBytes);
    }
    DeleteFileW(Path().c_str());
    unsigned long long nSize = 0;
    {
        CScanHistory history;
        Start(history);
        for (size_t i = 0; i < kHistoryRecords + 50000; ++i)
            history.Add(Scan(std::to_string(i), kNoon + i));
        ASSERT_EQ(kHistoryRecords, history.Count());
        EXPECT_EQ(std::to_string(kHistoryRecords + 49999), history.At(0).strBytes);
        EXPECT_EQ("50000", history.At(kHistoryRecords - 1).strBytes);
    }
    nSize = ReadAll().size();
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
}

TEST_F(HistoryFile, ClearEmptiesTheFile)
{
    {
        CScanHistory history;
        Start(history);
        history.Add(Scan("a", kNoon));
        history.Clear();
    }
    EXPECT_EQ(kHistoryHeaderSize, ReadAll().size());
}

// Kept for this run only: the file goes.
TEST_F(HistoryFile, KeptInMemoryOnlyTheFileIsDeleted)
{
    {
        CScanHistory history;
        Start(history);
        history.Add(Scan("a", kNoon));
        history.CloseFile(true);
        history.Add(Scan("b", kNoon + 1));
        EXPECT_EQ("b a", Codes(history));
    }
    EXPECT_EQ("<missing>", ReadAll());
}

// A file call fails: nothing of before or of the run is lost, and a read
// that fails never leads to a rewrite that drops what was not read.
enum FileCall { CALL_OPEN, CALL_READ, CALL_WRITE, CALL_MOVE };
struct CFault {
    int nCalls, nFrom, nFor;   // calls [nFrom, nFrom + nFor) fail
} g_faults[4];

bool Fails(FileCall call)
{
    CFault& fault = g_faults[call];
    int n = ++fault.nCalls;
    if (n < fault.nFrom || n >= fault.nFrom + fault.nFor)
        return false;
    SetLastError(call == CALL_OPEN ? ERROR_SHARING_VIOLATION : ERROR_DISK_FULL);
    return true;
}
HANDLE WINAPI FaultyOpen(LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g)
{
    return Fails(CALL_OPEN) ? INVALID_HANDLE_VALUE : CreateFileW(a, b, c, d, e, f, g);
}
BOOL WINAPI FaultyRead(HANDLE a, LPVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e)
{
    return Fails(CALL_READ) ? FALSE : ReadFile(a, b, c, d, e);
}
BOOL WINAPI FaultyWrite(HANDLE a, LPCVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e)
{
    return Fails(CALL_WRITE) ? FALSE : WriteFile(a, b, c, d, e);
}
BOOL WINAPI FaultyMove(LPCWSTR a, LPCWSTR b, DWORD c)
{
    return Fails(CALL_MOVE) ? FALSE : MoveFileExW(a, b, c);
}

TEST_F(HistoryFile, AFileCallThatFailsLosesNothing)
{
    const struct {
        FileCall call;
        int nFrom, nFor;
        bool bBig;            // records big enough for a rewrite to be due
        HistoryFileEvent seen;
        size_t nAfter;        // records listed at the next start
    } cases[] = {
        { CALL_OPEN, 1, 1, false, HISTORY_FILE_OPENED, 7503 },
        { CALL_READ, 2, 1, false, HISTORY_FILE_LOADED, 7503 },    // the load's first read: tried again
        { CALL_READ, 2, 1000, true, HISTORY_FILE_LOAD_FAILED, 7503 },
        { CALL_WRITE, 1, 1, false, HISTORY_FILE_WRITE_FAILED, 7502 },   // that record alone
        { CALL_MOVE, 1, 1, true, HISTORY_FILE_COMPACT_FAILED, 7503 },
    };
    // The system's calls back whatever a case does.
    struct CRestore {
        CHistoryFileCalls system = g_historyFileCalls;
        ~CRestore() { g_historyFileCalls = system; }
    } restore;
    for (const auto& c : cases) {
        DeleteFileW(Path().c_str());
        std::string strPad(c.bBig ? 600 : 0, 'x');
        {
            CScanHistory history;
            Start(history);
            for (int i = 0; i < 7500; ++i)
                history.Add(Scan("before" + std::to_string(i) + strPad, kNoon + i));
        }
        g_historyFileCalls = { FaultyOpen, FaultyRead, FaultyWrite, FaultyMove };
        memset(g_faults, 0, sizeof(g_faults));
        g_faults[c.call] = { 0, c.nFrom, c.nFor };
        {
            // Only 2,503 of 7,500 kept: a rewrite would shrink the file.
            CScanHistory history(2503);
            Start(history);
            for (int i = 0; i < 3; ++i)
                history.Add(Scan("run" + std::to_string(i), kNoon + 10000 + i));
            Pump(history, kNoon, [&] { return Saw(c.seen); });
            EXPECT_TRUE(Saw(c.seen)) << c.call;
            EXPECT_EQ(c.call == CALL_READ, Saw(HISTORY_FILE_LOAD_RETRY)) << c.call;
        }
        g_historyFileCalls = restore.system;
        CScanHistory history;
        Start(history);
        ASSERT_EQ(c.nAfter, history.Count()) << c.call;
        EXPECT_EQ("run2", history.At(0).strBytes) << c.call;
        EXPECT_EQ("before7499" + strPad, history.At(c.nAfter - 7500).strBytes) << c.call;
    }
}

// A clock wrong for a while deletes nothing: a record dated a year ahead in
// the file, or scans made while the clock was a year ahead, leave every
// recent record in place; one aged record between recent ones goes alone.
TEST_F(HistoryFile, AClockWrongForAWhileDeletesNothing)
{
    const unsigned long long nYear = 365 * kHistoryDay;
    const struct {
        const char* pszName;
        unsigned long long nAhead;   // a record of the file's middle, this far ahead
        unsigned long long nRunAhead;   // the run's scans, this far ahead
    } cases[] = {
        { "a record a year ahead", nYear, 0 },
        { "a clock a year ahead for a few scans", 0, nYear },
    };
    for (const auto& c : cases) {
        DeleteFileW(Path().c_str());
        {
            CScanHistory history;
            Start(history);
            for (int i = 0; i < 60; ++i) {
                history.Add(Scan("recent" + std::to_string(i), kNoon - kHistoryDay + i));
                if (i == 20)
                    history.Add(Scan("aged", kNoon - 40 * kHistoryDay));
                if (i == 40 && c.nAhead)
                    history.Add(Scan("ahead", kNoon + c.nAhead));
            }
        }
        {
            CScanHistory history;
            history.SetDays(30);
            Start(history);
            for (int i = 0; i < 3; ++i)
                history.Add(Scan("new" + std::to_string(i), kNoon + c.nRunAhead + i));
        }
        CScanHistory history;
        history.SetDays(30);
        Start(history);
        EXPECT_EQ(60u + 3 + (c.nAhead ? 1 : 0), history.Count()) << c.pszName;
        EXPECT_EQ(std::string::npos, Codes(history).find("aged")) << c.pszName;
        EXPECT_EQ("recent0", history.At(history.Count() - 1).strBytes) << c.pszName;
    }
}

// Local times by the rules in force at each record's own date: a winter
// and a summer record in a zone with daylight saving, seen at any time.
TEST(HistoryTimes, EachDateByItsOwnRules)
{
    TIME_ZONE_INFORMATION zone = {};
    zone.Bias = -60;                             // UTC+1, UTC+2 in summer
    zone.StandardDate = { 0, 10, 0, 5, 3, 0, 0, 0 };   // last Sunday of October, 03:00
    zone.DaylightDate = { 0, 3, 0, 5, 2, 0, 0, 0 };    // last Sunday of March, 02:00
    zone.DaylightBias = -60;
    const struct {
        SYSTEMTIME utc;
        WORD wLocalHour, wLocalDay;
        int nDayStartHourUtc;   // the local day's start, as an hour of the UTC day before
    } cases[] = {
        { { 2026, 1, 0, 15, 12, 0, 0, 0 }, 13, 15, 23 },
        { { 2026, 7, 0, 15, 12, 0, 0, 0 }, 14, 15, 22 },
        { { 2026, 7, 0, 15, 23, 30, 0, 0 }, 1, 16, 22 },
        { { 2026, 12, 0, 31, 23, 30, 0, 0 }, 0, 1, 23 },
    };
    for (const auto& c : cases) {
        FILETIME file;
        ASSERT_TRUE(SystemTimeToFileTime(&c.utc, &file));
        unsigned long long nTime = ((unsigned long long)file.dwHighDateTime << 32) | file.dwLowDateTime;
        SYSTEMTIME local = LocalTimeOf(nTime, &zone);
        EXPECT_EQ(c.wLocalHour, local.wHour) << c.utc.wMonth << "/" << c.utc.wDay;
        EXPECT_EQ(c.wLocalDay, local.wDay) << c.utc.wMonth << "/" << c.utc.wDay;
        unsigned long long nStart = LocalDayStart(nTime, &zone);
        unsigned long long nStartLocal = LocalFileTimeOf(nStart, &zone);
        EXPECT_EQ(0u, nStartLocal % kHistoryDay) << c.utc.wMonth << "/" << c.utc.wDay;
        EXPECT_EQ((unsigned long long)(24 - c.nDayStartHourUtc) * 3600 * kHistorySecond, nStartLocal - nStart);
    }
}

// A file of frames that each claim a long record, a mark every 12 bytes:
// read in time in proportion to its size, the good record after it found.
TEST_F(HistoryFile, AHostileFileIsReadInLinearTime)
{
    std::string data = HistoryFileHeader();
    const unsigned frame[3] = { 0x52485A4E, 60000, 0 };
    while (data.size() < (4 << 20))
        data.append(reinterpret_cast<const char*>(frame), sizeof(frame));
    data += EncodeRecord(Scan("good", kNoon), true);
    Append(data);
    DWORD dwStart = GetTickCount();
    HistoryFileContents contents;
    ASSERT_TRUE(ReadHistoryFile(Path(), data.size(), &contents));
    EXPECT_LT(GetTickCount() - dwStart, 10000u);   // 94 s before: a CRC over 1 MB at each mark
    ASSERT_EQ(1u, contents.records.size());
    EXPECT_EQ("good", contents.records[0].strBytes);
}

// A file that is no history file is put aside, never over one put aside
// before.
TEST_F(HistoryFile, AForeignFileIsPutAsideNumbered)
{
    std::wstring strOld = Path() + L".old", strOld2 = Path() + L".old2";
    for (int i = 0; i < 2; ++i) {
        DeleteFileW(Path().c_str());
        Append("not a history file " + std::to_string(i));
        CScanHistory history;
        Start(history);
        EXPECT_TRUE(Saw(HISTORY_FILE_PUT_ASIDE));
    }
    EXPECT_EQ(ReadAll().size(), kHistoryHeaderSize);
    for (const std::wstring& strPath : { strOld, strOld2 }) {
        HANDLE h = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        char sz[32] = {};
        DWORD n = 0;
        ReadFile(h, sz, sizeof(sz) - 1, &n, NULL);
        CloseHandle(h);
        DeleteFileW(strPath.c_str());
        EXPECT_EQ(std::string("not a history file ") + (strPath == strOld ? "0" : "1"), sz);
    }
}

}  // namespace
