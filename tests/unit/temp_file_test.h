// A test with a file of its own in the temporary folder, named after the
// test, and ways to look at that file as another program would.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

class TempFileTest : public ::testing::Test {
protected:
    TempFileTest(const char* pszPrefix, const char* pszExt)
        : m_strPrefix(pszPrefix), m_strExt(pszExt) {}

    void SetUp() override
    {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        m_dir = dir;
        m_path = m_dir + m_strPrefix +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + m_strExt;
        DeleteFileA(m_path.c_str());
    }
    void TearDown() override { DeleteFileA(m_path.c_str()); }

    // The file's bytes, read with full sharing; "<missing>" when absent.
    std::string ReadAll() const
    {
        std::string bytes;
        HANDLE h = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               NULL, OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE)
            return "<missing>";
        char buf[4096];
        DWORD n;
        while (ReadFile(h, buf, sizeof buf, &n, NULL) && n > 0)
            bytes.append(buf, n);
        CloseHandle(h);
        return bytes;
    }

    // Opens the file as another program would, with the given sharing.
    HANDLE OpenOther(DWORD access, DWORD share) const
    {
        return CreateFileA(m_path.c_str(), access, share, NULL, OPEN_ALWAYS, 0, NULL);
    }

    std::string m_dir;
    std::string m_path;

private:
    std::string m_strPrefix;
    std::string m_strExt;
};
