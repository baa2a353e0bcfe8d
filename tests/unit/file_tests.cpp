#include <afxwin.h>
#include <gtest/gtest.h>

#include <string>

#include "temp_file_test.h"

namespace {

class FileTest : public TempFileTest {
protected:
    FileTest() : TempFileTest("norza_file_test_", ".txt") {}

    void WriteEntry(LPCSTR text, UINT flags)
    {
        CStdioFile f;
        ASSERT_TRUE(f.Open(m_path.c_str(), flags));
        f.SeekToEnd();
        f.WriteString(text);
        f.Close();
    }
};

const UINT kAppend = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite;

}  // namespace

TEST_F(FileTest, TextModeWritesEveryLineFeedAsCrLf)
{
    WriteEntry("\nfirst", kAppend);
    WriteEntry("\nsecond\nline", kAppend);
    EXPECT_EQ("\r\nfirst\r\nsecond\r\nline", ReadAll());
}

TEST_F(FileTest, BinaryModeWritesBytesUnchanged)
{
    WriteEntry("a\nb\r\n", kAppend | CFile::typeBinary);
    EXPECT_EQ("a\nb\r\n", ReadAll());
}

TEST_F(FileTest, CreateWithoutNoTruncateStartsAfresh)
{
    WriteEntry("old", kAppend);
    WriteEntry("new", CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ("new", ReadAll());
}

TEST_F(FileTest, OpenFailureIsReportedNotThrown)
{
    CStdioFile f;
    CFileException e;
    std::string missing = m_path + ".dir\\sub\\log.log";
    EXPECT_FALSE(f.Open(missing.c_str(), kAppend, &e));
    EXPECT_EQ(CFileException::badPath, e.m_cause);
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, e.m_lOsError);

    EXPECT_FALSE(f.Open((m_path + ".absent").c_str(), CFile::modeRead, &e));
    EXPECT_EQ(CFileException::fileNotFound, e.m_cause);
}

TEST_F(FileTest, WithoutShareFlagNobodyElseMayOpen)
{
    CStdioFile f;
    ASSERT_TRUE(f.Open(m_path.c_str(), kAppend));
    HANDLE reader = OpenOther(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(INVALID_HANDLE_VALUE, reader);
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
}

TEST_F(FileTest, ShareDenyWriteAdmitsReadersOnly)
{
    CStdioFile f;
    ASSERT_TRUE(f.Open(m_path.c_str(), kAppend | CFile::shareDenyWrite));
    HANDLE reader = OpenOther(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    HANDLE writer = OpenOther(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    f.WriteString("x");
    f.Close();
    CloseHandle(reader);
}

TEST_F(FileTest, OpenFailsWhileAnotherProgramHoldsTheFile)
{
    HANDLE other = OpenOther(GENERIC_READ, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    CStdioFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(m_path.c_str(), kAppend | CFile::shareDenyWrite, &e));
    EXPECT_EQ(CFileException::sharingViolation, e.m_cause);
    CloseHandle(other);
    EXPECT_TRUE(f.Open(m_path.c_str(), kAppend | CFile::shareDenyWrite, &e));
}

TEST_F(FileTest, WriteFailureThrows)
{
    WriteEntry("content", kAppend);
    CStdioFile f;
    ASSERT_TRUE(f.Open(m_path.c_str(), CFile::modeRead));
    try {
        f.WriteString("more");
        FAIL() << "writing to a file opened for reading must throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::accessDenied, e.m_cause);
    }
    f.Close();

    try {
        f.WriteString("after close");
        FAIL() << "writing to a closed file must throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::invalidFile, e.m_cause);
    }
    EXPECT_EQ("content", ReadAll());
}

TEST_F(FileTest, SeekAndReadBack)
{
    WriteEntry("0123456789", kAppend | CFile::typeBinary);
    CFile f;
    ASSERT_TRUE(f.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(10u, f.GetLength());
    EXPECT_EQ(10u, f.SeekToEnd());
    EXPECT_EQ(4, f.Seek(4, CFile::begin));
    char buf[4] = {};
    EXPECT_EQ(3u, f.Read(buf, 3));
    EXPECT_STREQ("456", buf);
    EXPECT_THROW(f.Seek(-100, CFile::begin), CFileException);
}
