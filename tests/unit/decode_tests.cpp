// The decode handler against a recording engine and log: what it tells the
// engine, in which order, and that a failure never leaves the scanner silenced.
#include <afxwin.h>
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "ScanWedgeApp.h"
#include "ScanWedgeDlg.h"
#include "history.h"
#include "logfile.h"
#include "settings.h"
#include "temp_file_test.h"
#include "vistrel.h"

volatile LONG g_nInstanceFlag = 0;

namespace {

std::vector<std::string> g_calls;
bool g_bLogFails = false;

int Record(const char* name, int value)
{
    g_calls.push_back(std::string(name) + " " + std::to_string(value));
    return 0;
}

// The tray window with its handler and toggles reachable from the tests.
class CProbeDlg : public CScanWedgeDlg {
public:
    void EnableQRAndPDF417()
    {
        OnToggleQR();
        OnTogglePDF417();
        g_calls.clear();
    }
    LRESULT Decode(const char* pText) { return OnScanDecoded((WPARAM)pText, 0); }
};

}  // namespace

extern "C" {
int __cdecl GetAppHandle(HWND) { return 0; }
int __cdecl GetDevice(void) { return 0; }
int __cdecl StartDevice(void) { return 1; }
int __cdecl ReleaseDevice(void) { return 0; }
int __cdecl ReleaseLostDevice(void) { return 0; }
int __cdecl SetBeep(int n) { return Record("SetBeep", n); }
int __cdecl SetBeepTime(int n) { return Record("SetBeepTime", n); }
int __cdecl SetDecodeTime(int n) { return Record("SetDecodeTime", n); }
int __cdecl setQRable(int n) { return Record("setQRable", n); }
int __cdecl setDMable(int n) { return Record("setDMable", n); }
int __cdecl setBarcode(int n) { return Record("setBarcode", n); }
int __cdecl setPDF417(int n) { return Record("setPDF417", n); }
}

short LogWrite(LPCSTR pszTag, LPCSTR pszFormat, ...)
{
    if (g_bLogFails)
        throw CFileException(CFileException::diskFull, ERROR_DISK_FULL);
    va_list args;
    va_start(args, pszFormat);
    CString strMessage;
    strMessage.FormatV(pszFormat, args);
    va_end(args);
    g_calls.push_back(std::string("log [") + pszTag + "]" + (LPCSTR)strMessage);
    return 1;
}

static const std::vector<std::string> kOff = {
    "setQRable 0", "setDMable 0", "setBarcode 0", "setPDF417 0" };

static std::vector<std::string> Then(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(DecodeHandler, SilencesLogsAndReenablesOnlyTheEnabled)
{
    CProbeDlg dlg;
    dlg.EnableQRAndPDF417();
    g_bLogFails = false;
    EXPECT_EQ(0, dlg.Decode("ABC123"));
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:ABC123", "setQRable 1", "setPDF417 1" }), g_calls);
}

TEST(DecodeHandler, NullTextRunsEveryStepAsEmpty)
{
    CProbeDlg dlg;
    dlg.EnableQRAndPDF417();
    EXPECT_EQ(0, dlg.Decode(nullptr));
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:", "setQRable 1", "setPDF417 1" }), g_calls);
}

TEST(DecodeHandler, NothingEnabledMeansNothingReenabled)
{
    CProbeDlg dlg;
    g_calls.clear();
    dlg.Decode("x");
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:x" }), g_calls);
}

TEST(DecodeHandler, AFailingLogNeverLeavesTheScannerSilenced)
{
    CProbeDlg dlg;
    dlg.EnableQRAndPDF417();
    g_bLogFails = true;
    EXPECT_EQ(0, dlg.Decode("lost"));
    g_bLogFails = false;
    EXPECT_EQ(Then(kOff, { "setQRable 1", "setPDF417 1" }), g_calls);
}

TEST(DecodeHandler, Utf8IsLoggedInTheAnsiCodePage)
{
    CProbeDlg dlg;
    g_calls.clear();
    dlg.Decode("\xE4\xB8\xAD");   // 中
    const char* expected = GetACP() == 936 ? "log [Decode]Decode:\xD6\xD0" : "log [Decode]Decode:?";
    EXPECT_EQ(expected, g_calls[4]);
}

// Newest first, the oldest let go at the bound, and the count of all added
// tells a window that something changed even when the bound keeps the size.
TEST(ScanHistory, NewestFirstBoundedAndCounted)
{
    CScanHistory history(3);
    for (char c : std::string("abcde")) {
        ScanRecord record = {};
        record.strBytes = std::string(1, c);
        history.Add(record);
    }
    ASSERT_EQ(3u, history.Count());
    EXPECT_EQ(5u, history.Added());
    std::string order;
    for (size_t i = 0; i < history.Count(); ++i)
        order += history.At(i).strBytes;
    EXPECT_EQ("edc", order);
}

// A long run of long codes: 500 records at most, 4 MB at most, the oldest
// let go first. A code too long to keep whole keeps its start for the window
// (never half a typed key) and nothing to type again; one of 16 KB stays
// whole, and 4 MB holds some 85 of them (48 KB with its text).
TEST(ScanHistory, LongCodesStayWithinTheBytes)
{
    const struct { size_t nLength; bool bCut; size_t nMin, nMax; } cases[] = {
        { 64 * 1024, true, 500, 500 }, { kKeepWhole, false, 80, 90 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nLength);
        CScanHistory history;
        for (int i = 0; i < 600; ++i) {
            ScanRecord record = {};
            record.strBytes = std::to_string(i);
            record.strBytes.resize(c.nLength, 'x');
            record.strCode = std::to_wstring(i);
            record.strCode.resize(kKeepShown - 1, L'c');
            record.strCode.resize(c.nLength, kKeyMarker);
            history.Add(record);
        }
        EXPECT_LE(history.Bytes(), 4u * 1024 * 1024);
        EXPECT_GE(history.Count(), c.nMin);
        EXPECT_LE(history.Count(), c.nMax);
        EXPECT_EQ(600u, history.Added());
        const ScanRecord& newest = history.At(0);
        const ScanRecord& oldest = history.At(history.Count() - 1);
        EXPECT_EQ(L"599", newest.strCode.substr(0, 3));
        EXPECT_EQ(std::to_wstring(600 - history.Count()), oldest.strCode.substr(0, 3));
        EXPECT_EQ(c.bCut, newest.bCut);
        EXPECT_EQ(c.bCut ? kKeepShown - 1 : c.nLength, newest.strCode.size());
        EXPECT_EQ(c.bCut ? 0 : c.nLength, newest.strBytes.size());
    }
}

TEST(ScanHistory, ControlCharactersAreShownByTheirSettingsNames)
{
    EXPECT_EQ(L"01{GS}21{RS}x{EOT}", VisibleCode(L"01\x1d" L"21\x1ex\x04"));
    EXPECT_EQ(L"a{TAB}b{ENTER}c{ENTER}d{ENTER}{ENTER}e", VisibleCode(L"a\tb\r\nc\rd\n\ne"));
    EXPECT_EQ(L"{U+001B}{U+007F}{U+0000}\x4e2d{{}}", VisibleCode(std::wstring(L"\x1b\x7f\0\x4e2d{}", 6)));
    // What a code holds is never shown as a key: its noncharacters (left
    // out when typed) by code point, its braces doubled.
    EXPECT_EQ(L"{U+FDD0}\x0104{U+FDD1}\x07D0{U+FDEF}", VisibleCode(L"\xFDD0\x0104\xFDD1\x07D0\xFDEF"));
    EXPECT_EQ(L"{{TAB}}{TAB}{{}}", VisibleCode(L"{TAB}\t{}"));
    // A typed text's keys and pauses read back as the escapes that made them,
    // and its braces as the settings text writes them.
    for (const char* pszTyped : { "{CTRL+A}x{DELAY 300}{F2}{ENTER}", "{CTRL+ALT+SHIFT+HOME}{SHIFT+TAB}{ALT+F4}{DEL}",
                                  "{{TAB}}{TAB}" }) {
        std::wstring strTyped;
        ASSERT_TRUE(ExpandEscapes(pszTyped, strTyped));
        EXPECT_EQ(std::wstring(pszTyped, pszTyped + strlen(pszTyped)), VisibleTyped(strTyped));
    }
}

class NoticesSetting : public TempFileTest {
protected:
    NoticesSetting() : TempFileTest("norza-notices-", ".ini") {}
    int Read(const char* pszContent)
    {
        FILE* fp = fopen(m_path.c_str(), "wb");
        fputs(pszContent, fp);
        fclose(fp);
        return ReadNoticesSetting(m_path.c_str());
    }
};

// Only 0 switches the notices off; anything else keeps the default.
TEST_F(NoticesSetting, OnlyZeroSwitchesThemOff)
{
    EXPECT_EQ(0, Read("[OUTPUT]\r\nNotices=0\r\n"));
    EXPECT_EQ(0, Read("[OUTPUT]\nNotices = 0 \n"));
    EXPECT_EQ(1, Read("[OUTPUT]\nNotices=1\n"));
    for (const char* bad : { "[OUTPUT]\nNotices=\n", "[OUTPUT]\nNotices=off\n", "[OUTPUT]\nNotices=00\n",
                             "[OUTPUT]\nNotices=-1\n", "[TYPE]\nNotices=0\n", "" })
        EXPECT_EQ(1, Read(bad)) << bad;
    DeleteFileA(m_path.c_str());
    EXPECT_EQ(1, ReadNoticesSetting(m_path.c_str()));
}
