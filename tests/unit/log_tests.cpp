#include <logfile.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <new>
#include <regex>
#include <string>
#include <thread>

#include "temp_file_test.h"

namespace {

// Set to make the next operator new fail, as when memory runs out mid-entry.
// The runtime's operator delete frees with free(), so it pairs with this new.
bool g_bFailNextNew = false;

}  // namespace

void* operator new(size_t n)
{
    if (g_bFailNextNew) {
        g_bFailNextNew = false;
        throw std::bad_alloc();
    }
    if (void* p = malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

namespace {

const std::regex kStamp(R"(\[([ 1]\d)-([ 123]\d) ([ 12]\d):([ 1-5]\d):([ 1-5]\d)_([ \d]{2}\d)\])");

std::string MaskStamps(const std::string& s)
{
    return std::regex_replace(s, kStamp, "<t>");
}

std::string Line(LPCSTR pszTag, LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    CString s = FormatLogLine(pszTag, pszFormat, args);
    va_end(args);
    return std::string(s);
}

ULONGLONG Ticks(const SYSTEMTIME& st)
{
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

std::string ExeDir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.rfind('\\'));
}

}  // namespace

TEST(LogLineTest, StampIsBlankPaddedWithoutYear)
{
    SYSTEMTIME early = { 2024, 3, 0, 5, 7, 8, 9, 45 };
    SYSTEMTIME late = { 2025, 12, 0, 31, 23, 59, 58, 999 };
    EXPECT_STREQ("[ 3- 5  7: 8: 9_ 45]", FormatLogStamp(early));
    EXPECT_STREQ("[12-31 23:59:58_999]", FormatLogStamp(late));
}

TEST(LogLineTest, LineIsLocalTimeStampTagAndMessage)
{
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    std::string line = Line("Decode", "Decode:%s %d", "a\tb", 42);
    GetLocalTime(&after);

    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m, kStamp)) << line;
    EXPECT_EQ(0, m.position(0));
    SYSTEMTIME st = { before.wYear, (WORD)std::stoi(m[1]), 0, (WORD)std::stoi(m[2]),
                      (WORD)std::stoi(m[3]), (WORD)std::stoi(m[4]), (WORD)std::stoi(m[5]),
                      (WORD)std::stoi(m[6]) };
    EXPECT_LE(Ticks(before), Ticks(st)) << line;
    EXPECT_GE(Ticks(after), Ticks(st)) << line;

    EXPECT_EQ("<t>[Decode]Decode:a\tb 42", MaskStamps(line));
    EXPECT_EQ("<t>Decode:x", MaskStamps(Line("", "Decode:%s", "x")));
    EXPECT_EQ("<t>Decode:x", MaskStamps(Line(NULL, "Decode:%s", "x")));
}

TEST(LogPathTest, NamesWithoutDriveColonAreInTheProgramFolder)
{
    std::string dir = ExeDir();
    EXPECT_EQ(dir, std::string(GetModuleDir(FALSE)));
    EXPECT_EQ(dir + "\\", std::string(GetModuleDir(TRUE)));

    EXPECT_EQ(dir + "\\x.log", std::string(ResolveLogPath("x.log")));
    EXPECT_EQ(dir + "\\sub\\x.log", std::string(ResolveLogPath("sub\\x.log")));
    EXPECT_EQ(dir + "\\\\x.log", std::string(ResolveLogPath("\\x.log")));
    EXPECT_EQ(dir + "\\:x", std::string(ResolveLogPath(":x")));
    EXPECT_STREQ("C:\\x\\y.log", ResolveLogPath("C:\\x\\y.log"));
    EXPECT_STREQ("ab:c", ResolveLogPath("ab:c"));
    EXPECT_STREQ("", ResolveLogPath(""));

    SetLogFile(NULL);
    EXPECT_EQ(dir + "\\log.log", std::string(g_strLogPath));
    SetLogFile("");
    EXPECT_EQ(dir + "\\log.log", std::string(g_strLogPath));
}

namespace {

class LogFileTest : public TempFileTest {
protected:
    LogFileTest() : TempFileTest("norza_log_test_", ".log") {}

    void SetUp() override
    {
        TempFileTest::SetUp();
        SetLogFile(m_path.c_str());
    }

    // Takes the lock and gives it back: TRUE when nobody held it.
    static BOOL LockIsFree()
    {
        if (!g_hLogEvent || WaitForSingleObject(g_hLogEvent, 0) != WAIT_OBJECT_0)
            return FALSE;
        SetEvent(g_hLogEvent);
        return TRUE;
    }
};

}  // namespace

TEST_F(LogFileTest, EntriesAreCrLfLinesWithNoBreakAfterTheLast)
{
    EXPECT_EQ(1, LogWrite("Decode", "Decode:%s", "abc"));
    EXPECT_EQ(1, LogWrite("", "two\nlines"));
    EXPECT_EQ(1, LogWrite(NULL, "%d%%", 100));
    EXPECT_EQ("\r\n<t>[Decode]Decode:abc\r\n<t>two\r\nlines\r\n<t>100%", MaskStamps(ReadAll()));
    EXPECT_TRUE(LockIsFree());

    // An existing file is appended to, not replaced.
    DeleteFileA(m_path.c_str());
    HANDLE h = OpenOther(GENERIC_WRITE, 0);
    DWORD n;
    WriteFile(h, "old", 3, &n, NULL);
    CloseHandle(h);
    LogWrite("T", "new");
    EXPECT_EQ("old\r\n<t>[T]new", MaskStamps(ReadAll()));
}

TEST_F(LogFileTest, EntryWaitsForAProgramHoldingTheFileBriefly)
{
    HANDLE h = OpenOther(GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::thread other([h] { Sleep(200); CloseHandle(h); });
    LogWrite("T", "kept");
    other.join();
    EXPECT_EQ("\r\n<t>[T]kept", MaskStamps(ReadAll()));
}

TEST_F(LogFileTest, ReaderSharingTheFileDoesNotStopAnEntry)
{
    HANDLE h = OpenOther(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    LogWrite("T", "seen");
    char buf[64] = "";
    DWORD n = 0;
    ReadFile(h, buf, sizeof buf - 1, &n, NULL);
    CloseHandle(h);
    EXPECT_EQ("\r\n<t>[T]seen", MaskStamps(std::string(buf, n)));
}

TEST_F(LogFileTest, UnopenableFileDropsTheEntryAtOnce)
{
    // A missing folder, and a folder standing in the file's place.
    std::string paths[] = { m_dir + "no-such-folder\\x.log", m_dir.substr(0, m_dir.size() - 1) };
    for (const std::string& path : paths) {
        SetLogFile(path.c_str());
        DWORD start = GetTickCount();
        LogWrite("T", "lost");
        EXPECT_LT(GetTickCount() - start, LOG_OPEN_RETRY_MS) << path;
        EXPECT_TRUE(LockIsFree()) << path;
    }
    SetLogFile(m_path.c_str());
    LogWrite("T", "next");
    EXPECT_EQ("\r\n<t>[T]next", MaskStamps(ReadAll()));
}

TEST_F(LogFileTest, OutOfMemoryMidEntryDropsItAndClosesTheFile)
{
    g_bFailNextNew = true;
    EXPECT_EQ(1, LogWrite("T", "lost"));
    EXPECT_FALSE(g_bFailNextNew);
    EXPECT_TRUE(LockIsFree());
    HANDLE h = OpenOther(GENERIC_WRITE, 0);   // fails while the entry's handle is open
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);

    LogWrite("T", "next");
    EXPECT_EQ("\r\n<t>[T]next", MaskStamps(ReadAll()));
}

TEST_F(LogFileTest, DiskFullDropsTheEntry)
{
    // Under Wine, writing to the Linux /dev/full fails with "disk full".
    HANDLE h = CreateFileA("Z:\\dev\\full", GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no /dev/full";
    CloseHandle(h);

    SetLogFile("Z:\\dev\\full");
    EXPECT_EQ(1, LogWrite("T", "lost"));
    EXPECT_TRUE(LockIsFree());
    SetLogFile(m_path.c_str());
    LogWrite("T", "next");
    EXPECT_EQ("\r\n<t>[T]next", MaskStamps(ReadAll()));
}

namespace {

// Takes the lock as a writer does, then ends without giving it back.
DWORD WINAPI DieHoldingTheLock(LPVOID)
{
    HANDLE hLock = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, LOG_EVENT_NAME);
    HANDLE hOwner = OpenMutexA(SYNCHRONIZE, FALSE, LOG_OWNER_NAME);
    BOOL bHeld = WaitForSingleObject(hLock, 0) == WAIT_OBJECT_0 &&
                 WaitForSingleObject(hOwner, 0) == WAIT_OBJECT_0;
    CloseHandle(hOwner);
    CloseHandle(hLock);
    return bHeld;
}

}  // namespace

TEST_F(LogFileTest, LockNeverReleasedDelaysAnEntryOnlyByTheBound)
{
    LogWrite("T", "first");
    HANDLE hOther = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, LOG_EVENT_NAME);
    ASSERT_TRUE(hOther != NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hOther, 0));

    // Held by a live program that is not one of our writers: written after
    // the bound without the lock, which stays the holder's.
    DWORD start = GetTickCount();
    EXPECT_EQ(1, LogWrite("T", "second"));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, LOG_LOCK_WAIT_MS - 50);
    EXPECT_LT(elapsed, LOG_LOCK_WAIT_MS + 2000);
    EXPECT_EQ("\r\n<t>[T]first\r\n<t>[T]second", MaskStamps(ReadAll()));
    // The next entry does not wait the whole bound again.
    start = GetTickCount();
    LogWrite("T", "again");
    EXPECT_LT(GetTickCount() - start, LOG_LOCK_WAIT_MS / 2);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(hOther, 0));
    SetEvent(hOther);
    CloseHandle(hOther);

    // A writer that died holding it: the next entry takes the lock over
    // after the bound and gives it back, so the one after is not held up.
    HANDLE hThread = CreateThread(NULL, 0, DieHoldingTheLock, NULL, 0, NULL);
    DWORD dwHeld = 0;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 5000));
    GetExitCodeThread(hThread, &dwHeld);
    CloseHandle(hThread);
    ASSERT_EQ(1u, dwHeld);
    EXPECT_EQ(1, LogWrite("T", "third"));
    EXPECT_TRUE(LockIsFree());
}
