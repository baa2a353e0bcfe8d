// The decode handler against a recording engine and log: what it tells the
// engine, in which order, and that a failure never leaves the scanner silenced.
#include <afxwin.h>
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DecodeFlow.h"
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

// The tray window with its handler and toggles reachable from the tests, on
// a window of its own so that the decode's steps (its timers, the typing's
// end) reach it. The window is in front: nothing is typed anywhere.
class CProbeDlg : public CScanWedgeDlg {
public:
    CProbeDlg()
    {
        HWND hWnd = CreateWindowExA(WS_EX_TOOLWINDOW, "Static", "", WS_POPUP | WS_VISIBLE, 0, 0, 1, 1,
                                    NULL, NULL, NULL, NULL);
        Attach(hWnd);
        m_pfnSuper = (WNDPROC)SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
        ::SetForegroundWindow(hWnd);
    }
    ~CProbeDlg() { DestroyWindow(); }
    void EnableQRAndPDF417()
    {
        OnToggleQR();
        OnTogglePDF417();
        g_calls.clear();
    }
    LRESULT Decode(const char* pText) { return OnScanDecoded((WPARAM)pText, 0); }
    // Answers the window's messages until the decode and those waiting are over.
    void Finish()
    {
        DWORD dwStart = GetTickCount();
        while (IsDecoding() && GetTickCount() - dwStart < 20000) {
            MSG msg;
            if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            else
                MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
        }
        EXPECT_FALSE(IsDecoding());
    }
    LRESULT Decoded(const char* pText)
    {
        LRESULT lResult = Decode(pText);
        Finish();
        return lResult;
    }
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
    // What the lane's sound scheme holds (a sound file an earlier test
    // removed, say) is not what these tests look at.
    if (lstrcmpA(pszTag, "Sound") == 0)
        return 1;
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
    EXPECT_EQ(0, dlg.Decoded("ABC123"));
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:ABC123", "setQRable 1", "setPDF417 1" }), g_calls);
}

TEST(DecodeHandler, NullTextRunsEveryStepAsEmpty)
{
    CProbeDlg dlg;
    dlg.EnableQRAndPDF417();
    EXPECT_EQ(0, dlg.Decoded(nullptr));
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:", "setQRable 1", "setPDF417 1" }), g_calls);
}

TEST(DecodeHandler, NothingEnabledMeansNothingReenabled)
{
    CProbeDlg dlg;
    g_calls.clear();
    dlg.Decoded("x");
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:x" }), g_calls);
}

TEST(DecodeHandler, AFailingLogNeverLeavesTheScannerSilenced)
{
    CProbeDlg dlg;
    dlg.EnableQRAndPDF417();
    g_bLogFails = true;
    EXPECT_EQ(0, dlg.Decoded("lost"));
    g_bLogFails = false;
    EXPECT_EQ(Then(kOff, { "setQRable 1", "setPDF417 1" }), g_calls);
}

TEST(DecodeHandler, Utf8IsLoggedInTheAnsiCodePage)
{
    CProbeDlg dlg;
    g_calls.clear();
    dlg.Decoded("\xE4\xB8\xAD");   // 中
    const char* expected = GetACP() == 936 ? "log [Decode]Decode:\xD6\xD0" : "log [Decode]Decode:?";
    EXPECT_EQ(expected, g_calls[4]);
}

namespace {

struct Sent {
    HWND hWnd;
    DWORD dwAnswered;   // ms the sender waited
};

DWORD WINAPI SendDecode(LPVOID pParam)
{
    Sent* pSent = static_cast<Sent*>(pParam);
    DWORD dwStart = GetTickCount();
    SendMessageA(pSent->hWnd, WM_SCAN_DECODED, (WPARAM) "sent", 0);
    pSent->dwAnswered = GetTickCount() - dwStart;
    return 0;
}

}  // namespace

// The engine's thread is answered at once: the decode goes on, typed and
// held off, after its message; decodes that come meanwhile wait their turn
// in order, up to a bound beyond which they are refused and logged.
class DecodeFlow : public TempFileTest {
protected:
    DecodeFlow() : TempFileTest("norza-holdoff-", ".ini") {}
    void HoldOff(const char* pszMs)
    {
        FILE* fp = fopen(m_path.c_str(), "wb");
        fputs(pszMs, fp);
        fclose(fp);
        m_dlg.LoadDecodeTime(m_path.c_str());
    }
    CProbeDlg m_dlg;
};

TEST_F(DecodeFlow, TheEngineIsAnsweredBeforeTheHoldOff)
{
    m_dlg.EnableQRAndPDF417();
    HoldOff("2000");
    Sent sent = { m_dlg.GetSafeHwnd(), INFINITE };
    HANDLE hThread = CreateThread(NULL, 0, SendDecode, &sent, 0, NULL);
    while (MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG msg;
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);   // takes the sent message
    }
    CloseHandle(hThread);
    EXPECT_LT(sent.dwAnswered, 1000u);
    EXPECT_TRUE(m_dlg.IsDecoding());
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:sent" }), g_calls);
    m_dlg.Finish();
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:sent", "setQRable 1", "setPDF417 1" }), g_calls);
}

TEST_F(DecodeFlow, DecodesMeanwhileWaitTheirTurnUpToABound)
{
    m_dlg.EnableQRAndPDF417();
    HoldOff("50");
    std::vector<std::string> expected = Then(kOff, { "log [Decode]Decode:d0" });
    for (int i = 0; i < 20; ++i) {
        std::string text = "d" + std::to_string(i);
        m_dlg.Decode(text.c_str());
        if (i > 16)
            expected.push_back("log [Decode]Refused, 16 decodes waiting:" + text);
    }
    for (int i = 1; i <= 16; ++i)
        expected.push_back("log [Decode]Decode:d" + std::to_string(i));
    m_dlg.Finish();
    EXPECT_EQ(Then(expected, { "setQRable 1", "setPDF417 1" }), g_calls);
    ASSERT_EQ(20u, m_dlg.History().Count());
    int nRefused = 0;
    for (size_t i = 0; i < m_dlg.History().Count(); ++i)
        nRefused += m_dlg.History().At(i).cause == NOTICE_QUEUE_FULL;
    EXPECT_EQ(3, nRefused);
}

TEST_F(DecodeFlow, TypeAgainSilencesTheEngineAndHoldsItOff)
{
    m_dlg.EnableQRAndPDF417();
    HoldOff("50");
    EXPECT_TRUE(m_dlg.RetypeScan("again"));
    EXPECT_FALSE(m_dlg.RetypeScan("twice"));   // one at a time
    m_dlg.Decode("meanwhile");
    m_dlg.Finish();
    // Not logged: the log keeps what the engine decoded.
    EXPECT_EQ(Then(kOff, { "log [Decode]Decode:meanwhile", "setQRable 1", "setPDF417 1" }), g_calls);
    ASSERT_EQ(2u, m_dlg.History().Count());
    EXPECT_EQ("again", m_dlg.History().At(1).strBytes);
}

namespace {

// The decode's steps alone: an engine and a window that write down what
// they are asked, in one list, and timers that tick when the test says.
class CStepsProbe : public IScanEngine, public IDecodeHost {
public:
    CStepsProbe() : m_flow(*this, *this) {}

    void Switch(Symbology symbology, bool bOn) override
    {
        static const char* const s_pszNames[SYM_COUNT] = { "QR", "DM", "Barcode", "PDF417" };
        m_events.push_back(std::string(s_pszNames[symbology]) + (bOn ? " on" : " off") +
                           (m_nInEngine ? " (inside the engine)" : ""));
        ++m_nInEngine;
        if (m_onSwitch)
            m_onSwitch(symbology, bOn);
        --m_nInEngine;
    }
    void AnswerEngine() override { m_events.push_back("answer"); }
    bool StartDecode(const std::string& strBytes, bool bRetype) override
    {
        m_events.push_back((bRetype ? "retype " : "start ") + strBytes + (m_nInEngine ? " (inside the engine)" : ""));
        if (m_onStart)
            m_onStart();
        m_bTypingOver = false;
        return m_bTypes;
    }
    bool TypingOver() override { return m_bTypingOver; }
    void EndDecode() override { m_events.push_back("end"); }
    void RefuseDecode(const std::string& strBytes, size_t) override { m_events.push_back("refuse " + strBytes); }
    void StopTyping() override { m_events.push_back("stop typing"); }
    void GiveBackForeground() override {}
    bool UserWindowReady() override { return m_bUserReady; }
    int HoldOffTime() override { return 50; }
    bool StartTimer(DecodeTimer timer, UINT nMs) override
    {
        if (m_failTimers.count(timer))
            return false;
        m_anTimers[timer] = nMs;
        return true;
    }
    void StopTimer(DecodeTimer timer) override { m_anTimers.erase(timer); }

    // Ticks a timer that runs; false when it does not.
    bool Tick(DecodeTimer timer)
    {
        if (!m_anTimers.count(timer))
            return false;
        m_flow.OnTimer(timer);
        return true;
    }
    // The typing ends, its message lost or not.
    void TypingEnds(bool bMessage)
    {
        m_bTypingOver = true;
        if (bMessage)
            m_flow.TypingEnded();
    }
    std::vector<std::string> Take()
    {
        std::vector<std::string> events;
        events.swap(m_events);
        return events;
    }

    CDecodeFlow m_flow;
    std::vector<std::string> m_events;
    std::map<DecodeTimer, UINT> m_anTimers;
    std::set<DecodeTimer> m_failTimers;
    std::function<void(Symbology, bool)> m_onSwitch;
    std::function<void()> m_onStart;
    bool m_bTypes = true;
    bool m_bTypingOver = true;
    bool m_bUserReady = true;
    int m_nInEngine = 0;
};

const std::vector<std::string> kSilenced = { "QR off", "DM off", "Barcode off", "PDF417 off" };

// QR and PDF417 on, a decode typed and its typing over (through its
// message when bMessage), the hold-off to run.
void TypeOne(CStepsProbe& probe, const char* pszText, bool bMessage)
{
    probe.m_flow.Decoded(pszText);
    probe.TypingEnds(bMessage);
}

}  // namespace

// The typing thread's message is the usual road out of the typing, but a
// full queue can lose it: the watchdog finds the typing over and goes on,
// and without its timer the window's own timers do.
TEST(DecodeSteps, AWatchdogFindsALostEndOfTyping)
{
    CStepsProbe probe;
    probe.m_flow.SetSymbology(SYM_QR, true);
    probe.Take();
    probe.m_flow.Decoded("a");
    EXPECT_EQ(Then(kSilenced, { "answer", "start a" }), probe.Take());
    ASSERT_EQ(1u, probe.m_anTimers.count(DECODE_TIMER_WATCHDOG));
    EXPECT_GE(probe.m_anTimers[DECODE_TIMER_WATCHDOG], 500u);
    EXPECT_LE(probe.m_anTimers[DECODE_TIMER_WATCHDOG], 2000u);
    EXPECT_TRUE(probe.Tick(DECODE_TIMER_WATCHDOG));   // still typing: it waits on
    EXPECT_TRUE(probe.Take().empty());
    probe.TypingEnds(false);
    EXPECT_TRUE(probe.Tick(DECODE_TIMER_WATCHDOG));
    EXPECT_FALSE(probe.m_anTimers.count(DECODE_TIMER_WATCHDOG));
    probe.m_flow.TypingEnded();   // the message after all: told once only
    EXPECT_TRUE(probe.Tick(DECODE_TIMER_HOLDOFF));
    EXPECT_EQ(std::vector<std::string>({ "end", "QR on" }), probe.Take());
    EXPECT_FALSE(probe.m_flow.Busy());
    // Without the watchdog's timer too, the window's own timers look.
    probe.m_failTimers.insert(DECODE_TIMER_WATCHDOG);
    TypeOne(probe, "c", false);
    probe.m_flow.Look();
    EXPECT_TRUE(probe.Tick(DECODE_TIMER_HOLDOFF));
    EXPECT_EQ(Then(kSilenced, { "answer", "start c", "end", "QR on" }), probe.Take());
}

// Idle, and a decode taken up, only once the engine is awake whole; a
// decode waiting in line starts with the engine still silenced.
TEST(DecodeSteps, SymbologiesOnBeforeIdleAndQueuedDecodesInOrder)
{
    CStepsProbe probe;
    probe.m_flow.SetSymbology(SYM_QR, true);
    probe.m_flow.SetSymbology(SYM_PDF417, true);
    std::vector<bool> busyWhenOn;
    probe.m_onSwitch = [&](Symbology, bool bOn) {
        if (bOn)
            busyWhenOn.push_back(probe.m_flow.Busy());
    };
    probe.Take();
    TypeOne(probe, "a", true);
    probe.m_flow.Decoded("b");   // on its way already
    probe.m_flow.SetSymbology(SYM_DM, true);   // the user meanwhile: waits for the end
    EXPECT_TRUE(probe.Tick(DECODE_TIMER_HOLDOFF));
    probe.TypingEnds(true);
    EXPECT_TRUE(probe.Tick(DECODE_TIMER_HOLDOFF));
    EXPECT_EQ(Then(kSilenced, { "answer", "start a", "end", "answer", "start b", "end", "QR on", "DM on",
                                "PDF417 on" }),
              probe.Take());
    EXPECT_EQ(std::vector<bool>({ true, true, true }), busyWhenOn);
    EXPECT_FALSE(probe.m_flow.Busy());
}

// An engine that decodes from inside a switch: the decode waits, nothing
// calls back into the engine, and it starts once every symbology is on.
TEST(DecodeSteps, ADecodeDeliveredWhileWaking)
{
    CStepsProbe probe;
    probe.m_flow.SetSymbology(SYM_QR, true);
    probe.m_flow.SetSymbology(SYM_PDF417, true);
    TypeOne(probe, "a", true);
    probe.Take();
    bool bOnce = true;
    probe.m_onSwitch = [&](Symbology symbology, bool bOn) {
        if (symbology == SYM_QR && bOn && bOnce) {
            bOnce = false;
            probe.m_flow.Decoded("b");
        }
    };
    EXPECT_TRUE(probe.Tick(DECODE_TIMER_HOLDOFF));
    EXPECT_EQ(Then({ "QR on", "answer", "PDF417 on" }, Then(kSilenced, { "start b" })), probe.Take());
    EXPECT_TRUE(probe.m_flow.Busy());
    probe.TypingEnds(true);
    EXPECT_TRUE(probe.Tick(DECODE_TIMER_HOLDOFF));
    EXPECT_EQ(std::vector<std::string>({ "end", "QR on", "PDF417 on" }), probe.Take());
}

// Whatever call into the engine a decode comes from inside (a switch of the
// user's, a call of the window's own with a setting inside it, the flow's
// silencing; waking above), nothing calls back into the engine nor starts
// typing before that call has returned; the decode starts afterwards.
TEST(DecodeSteps, ADecodeDeliveredInsideEachCallIntoTheEngine)
{
    enum { USER_SWITCH, WINDOWS_CALL, SILENCING, SILENCING_RETYPE };
    for (int nCall = USER_SWITCH; nCall <= SILENCING_RETYPE; ++nCall) {
        SCOPED_TRACE(nCall);
        CStepsProbe probe;
        probe.m_flow.SetSymbology(SYM_QR, true);
        bool bArmed = true;
        auto deliver = [&](Symbology, bool) {
            if (bArmed) {
                bArmed = false;
                probe.m_flow.Decoded("b");
            }
        };
        probe.m_onSwitch = deliver;
        if (nCall == USER_SWITCH) {
            probe.m_flow.SetSymbology(SYM_DM, true);
        } else if (nCall == WINDOWS_CALL) {
            CEngineCall call(probe.m_flow);
            ++probe.m_nInEngine;
            probe.m_flow.SetSymbology(SYM_PDF417, true);
            deliver(SYM_QR, true);
            --probe.m_nInEngine;
        } else if (nCall == SILENCING_RETYPE) {
            probe.m_flow.Retype("a");
        } else {
            probe.m_flow.Decoded("a");
        }
        for (int i = 0; i < 4 && probe.m_flow.Busy(); ++i) {
            probe.Tick(DECODE_TIMER_RETYPE);
            probe.TypingEnds(true);
            probe.Tick(DECODE_TIMER_HOLDOFF);
        }
        EXPECT_FALSE(probe.m_flow.Busy());
        std::vector<std::string> events = probe.Take();
        EXPECT_EQ(1, std::count(events.begin(), events.end(), "start b"));
        for (const std::string& strEvent : events)
            EXPECT_EQ(std::string::npos, strEvent.find("inside")) << strEvent;
        EXPECT_EQ(nCall == WINDOWS_CALL, std::count(events.begin(), events.end(), "PDF417 on") > 0);
    }
}

// Exit at every step: the typing is stopped, and nothing after it reaches
// the engine or the window, nor starts a decode, late messages and timers
// included; a decode still comes and is answered.
TEST(DecodeSteps, ExitAtEachStep)
{
    enum { AT_IDLE, AT_RETYPE_WAIT, AT_STARTING, AT_TYPING, AT_HOLDOFF, AT_WAKING };
    for (int nAt = AT_IDLE; nAt <= AT_WAKING; ++nAt) {
        SCOPED_TRACE(nAt);
        CStepsProbe probe;
        probe.m_flow.SetSymbology(SYM_QR, true);
        probe.m_bUserReady = false;
        probe.m_bTypingOver = false;
        auto exit = [&] { probe.m_flow.Stop(); };
        switch (nAt) {
        case AT_RETYPE_WAIT: probe.m_flow.Retype("again"); break;
        case AT_STARTING: probe.m_onStart = exit; probe.m_flow.Decoded("a"); break;
        case AT_TYPING: probe.m_flow.Decoded("a"); break;
        case AT_HOLDOFF: TypeOne(probe, "a", true); break;
        case AT_WAKING:
            TypeOne(probe, "a", true);
            probe.m_onSwitch = [&](Symbology, bool bOn) {
                if (bOn)
                    exit();
            };
            probe.Tick(DECODE_TIMER_HOLDOFF);
            break;
        }
        if (nAt != AT_STARTING && nAt != AT_WAKING) {
            if (nAt != AT_IDLE)
                probe.m_flow.Decoded("queued");
            exit();
        }
        probe.m_onSwitch = nullptr;
        probe.m_onStart = nullptr;
        EXPECT_EQ("stop typing", probe.Take().back());
        probe.m_bUserReady = true;
        probe.TypingEnds(true);
        for (DecodeTimer timer : { DECODE_TIMER_HOLDOFF, DECODE_TIMER_RETYPE, DECODE_TIMER_WATCHDOG })
            probe.m_flow.OnTimer(timer);
        probe.m_flow.Decoded("late");
        EXPECT_FALSE(probe.m_flow.Retype("late"));
        probe.m_flow.SetSymbology(SYM_DM, true);
        EXPECT_EQ(std::vector<std::string>({ "answer" }), probe.Take());
        EXPECT_TRUE(probe.m_anTimers.empty());
    }
}

// Only a code that went whole counts as typed: a typing stopped on
// request is told as such, with how far it got.
TEST(DecodeSteps, OnlyAWholeTypingCountsAsTyped)
{
    const struct { TypingResult result; bool bTyped; } cases[] = {
        { TYPING_DONE, true }, { TYPING_CLIPBOARD_NOT_BACK, true }, { TYPING_CANCELLED, false },
        { TYPING_FAILED, false }, { TYPING_FRONT_CHANGED, false }, { TYPING_NOT_TAKEN, false },
        { TYPING_CLIPBOARD_NOT_SAVED, false },
    };
    for (const auto& c : cases) {
        NoticeCause cause = TypingNoticeCause(TARGET_OK, c.result);
        EXPECT_EQ(c.bTyped, CountsAsTyped(cause)) << c.result;
        EXPECT_EQ(c.bTyped && cause == NOTICE_NONE, NoticeTextId(cause) == 0) << c.result;
    }
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

// A long run of long codes, bounded at 500 records and 4 MB: the oldest
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
        CScanHistory history(500, 4 * 1024 * 1024);
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
