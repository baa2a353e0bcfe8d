// Sending to a chosen program, played on windows that only exist here: which
// window is chosen, bringing it forward (granted, refused, granted later),
// giving the front back, and the codes that wait for their program.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "targetsend.h"
#include "waitlist.h"

namespace {

const DWORD kSelf = 1;

struct FakeWindow {
    HWND h;
    DWORD dwProcess;
    std::wstring strProgram;
    std::wstring strTitle;
    bool bShown;
    bool bMinimised;
};

HWND Hwnd(int n)
{
    return (HWND)(ULONG_PTR)(0x100 + n);
}

// Windows that move to the top when they come forward; Windows may refuse.
class CFakeWindows : public IWindowSystem {
public:
    std::vector<FakeWindow> windows;   // z-order, the one in front first
    bool bRefuse = false;
    std::vector<HWND> requested, restored, flashed;

    FakeWindow* Find(HWND h)
    {
        for (FakeWindow& w : windows) {
            if (w.h == h)
                return &w;
        }
        return NULL;
    }
    // The user (or Windows, later) brings a window forward.
    void ToFront(HWND h)
    {
        auto it = std::find_if(windows.begin(), windows.end(), [h](const FakeWindow& w) { return w.h == h; });
        FakeWindow w = *it;
        windows.erase(it);
        windows.insert(windows.begin(), w);
    }

    std::vector<HWND> TopWindows() override
    {
        std::vector<HWND> all;
        for (const FakeWindow& w : windows)
            all.push_back(w.h);
        return all;
    }
    bool IsShown(HWND h) override { return Find(h) && Find(h)->bShown; }
    bool IsMinimised(HWND h) override { return Find(h)->bMinimised; }
    std::wstring Title(HWND h) override { return Find(h)->strTitle; }
    DWORD ProcessOf(HWND h) override { return Find(h) ? Find(h)->dwProcess : 0; }
    std::wstring ProgramOf(HWND h) override { return Find(h)->strProgram; }
    HWND Foreground() override { return windows.empty() ? NULL : windows.front().h; }
    void Restore(HWND h) override
    {
        restored.push_back(h);
        Find(h)->bMinimised = false;
    }
    void RequestForeground(HWND h) override
    {
        requested.push_back(h);
        if (!bRefuse)
            ToFront(h);
    }
    void Flash(HWND h) override { flashed.push_back(h); }
};

// WordPad in front; two ERP windows, the goods receipt the more recent; a
// hidden one; a minimised notepad; a window of this program.
CFakeWindows Desk()
{
    CFakeWindows desk;
    desk.windows = {
        { Hwnd(1), 10, L"wordpad.exe", L"Document - WordPad", true, false },
        { Hwnd(2), 1, L"erp.exe", L"Norza settings", true, false },
        { Hwnd(3), 20, L"ERP.EXE", L"Goods receipt 4711", true, false },
        { Hwnd(4), 20, L"ERP.EXE", L"Invoices", true, false },
        { Hwnd(5), 20, L"ERP.EXE", L"Goods receipt hidden", false, false },
        { Hwnd(6), 30, L"notepad.exe", L"Untitled - Notepad", true, true },
        { Hwnd(7), 40, L"tool.exe", L"", true, false },
    };
    return desk;
}

BOOL NotElevated(DWORD, DWORD* pdwElevated)
{
    *pdwElevated = 0;
    return TRUE;
}

BOOL ErpElevated(DWORD dwProcess, DWORD* pdwElevated)
{
    *pdwElevated = dwProcess == 20;
    return TRUE;
}

}  // namespace

TEST(TargetWindow, TheMostRecentShownWindowOfTheProgramWhoseTitleMatches)
{
    const struct { const wchar_t* pszTarget; HWND hExpected; } cases[] = {
        { L"erp.exe", Hwnd(3) },                         // never this program's own window
        { L" ERP.exe | invoices ", Hwnd(4) },
        { L"erp.exe|goods*", Hwnd(3) },
        { L"erp.exe|Goods receipt ????", Hwnd(3) },
        { L"erp.exe|Goods receipt ???", NULL },
        { L"erp.exe|*hidden", NULL },                     // not shown
        { L"erp.exe|*v*i?e*", Hwnd(4) },
        { L"notepad.exe", Hwnd(6) },                      // minimised counts
        { L"excel.exe", NULL },
        { L"tool.exe", NULL },                            // no title: nothing a user picks
    };
    CFakeWindows desk = Desk();
    for (const auto& c : cases) {
        CTargetChoice chosen;
        ASSERT_TRUE(ParseTargetChoice(c.pszTarget, &chosen)) << c.pszTarget;
        EXPECT_EQ(c.hExpected, FindTargetWindow(desk, chosen, kSelf)) << c.pszTarget;
    }
    CTargetChoice chosen;
    EXPECT_FALSE(ParseTargetChoice(L"", &chosen));
    EXPECT_FALSE(ParseTargetChoice(L" |Goods*", &chosen));
    EXPECT_TRUE(WildcardMatch(L"*", L""));
    EXPECT_FALSE(WildcardMatch(L"a?c", L"ac"));
    std::vector<std::wstring> programs = ProgramsWithWindows(desk, kSelf);
    EXPECT_EQ((std::vector<std::wstring>{ L"erp.exe", L"notepad.exe", L"wordpad.exe" }), programs);
}

TEST(TargetWindow, BroughtForwardTypedAndTheFrontGivenBack)
{
    CFakeWindows desk = Desk();
    CTargetSender sender(desk, kSelf, NotElevated);
    ASSERT_EQ(SEND_IN_FRONT, sender.Begin(L"notepad.exe"));
    EXPECT_EQ(std::vector<HWND>{ Hwnd(6) }, desk.restored);
    EXPECT_EQ(L"notepad.exe", sender.Program());
    EXPECT_TRUE(sender.GiveBack());
    EXPECT_EQ(Hwnd(1), desk.Foreground());

    // The user moved on before the last key: the front stays where it went.
    ASSERT_EQ(SEND_IN_FRONT, sender.Begin(L"erp.exe"));
    desk.ToFront(Hwnd(4));
    EXPECT_FALSE(sender.GiveBack());
    EXPECT_EQ(Hwnd(4), desk.Foreground());

    // Already in front: nothing asked of Windows, nothing to give back.
    desk.requested.clear();
    ASSERT_EQ(SEND_IN_FRONT, sender.Begin(L"erp.exe|invoices"));
    EXPECT_TRUE(desk.requested.empty());
    EXPECT_FALSE(sender.GiveBack());
}

TEST(TargetWindow, RefusedThenBroughtForwardByTheUser)
{
    CFakeWindows desk = Desk();
    desk.bRefuse = true;
    CTargetSender sender(desk, kSelf, NotElevated);
    ASSERT_EQ(SEND_ASKED, sender.Begin(L"erp.exe"));
    EXPECT_FALSE(sender.Arrived());
    sender.Refused();
    EXPECT_EQ(std::vector<HWND>{ Hwnd(3) }, desk.flashed);

    CWaitingCodes waiting;
    ASSERT_TRUE(waiting.Add({ "4711", L"erp.exe", 0, sender.Window() }));
    WaitingCode code;
    desk.ToFront(Hwnd(4));   // another window of the program is not the one refused
    EXPECT_FALSE(waiting.TakeReady(desk, kSelf, &code));
    desk.ToFront(Hwnd(3));
    ASSERT_TRUE(waiting.TakeReady(desk, kSelf, &code));
    EXPECT_EQ("4711", code.strBytes);
    EXPECT_EQ(SEND_IN_FRONT, sender.Begin(code.strTarget, code.hRefused));

    // Granted a moment later: the front's change is its answer.
    desk.ToFront(Hwnd(1));
    ASSERT_EQ(SEND_ASKED, sender.Begin(L"erp.exe|invoices"));
    desk.ToFront(Hwnd(4));
    EXPECT_TRUE(sender.Arrived());
    EXPECT_FALSE(sender.Asked());
}

TEST(TargetWindow, NeitherAMissingNorAnElevatedProgramIsTyped)
{
    CFakeWindows desk = Desk();
    CTargetSender sender(desk, kSelf, ErpElevated);
    EXPECT_EQ(SEND_NO_WINDOW, sender.Begin(L"excel.exe"));
    EXPECT_EQ(L"excel.exe", sender.Program());
    EXPECT_EQ(SEND_ELEVATED, sender.Begin(L"erp.exe"));
    EXPECT_TRUE(desk.requested.empty());
}

TEST(TargetWindow, CodesWaitWithinTheirBoundsAndGoWhenTheProgramComes)
{
    CFakeWindows desk = Desk();
    CWaitingCodes waiting;
    waiting.SetBounds(2, 120);
    const DWORD dwStart = 0xFFFFFF00;   // the tick count wraps while they wait
    EXPECT_TRUE(waiting.Add({ "a", L"excel.exe", dwStart, NULL }));
    EXPECT_TRUE(waiting.Add({ "b", L"excel.exe|Book*", dwStart + 1000, NULL }));
    EXPECT_FALSE(waiting.Add({ "c", L"excel.exe", dwStart + 2000, NULL }));
    EXPECT_EQ(2u, waiting.Count());
    EXPECT_TRUE(waiting.TakeExpired(dwStart + 119999).empty());

    WaitingCode code;
    EXPECT_FALSE(waiting.TakeReady(desk, kSelf, &code));
    desk.windows.push_back({ Hwnd(8), 50, L"EXCEL.EXE", L"Book1", true, false });
    ASSERT_TRUE(waiting.TakeReady(desk, kSelf, &code));
    EXPECT_EQ("a", code.strBytes);
    waiting.PutBack(code);

    std::vector<WaitingCode> expired = waiting.TakeExpired(dwStart + 120000);
    ASSERT_EQ(1u, expired.size());
    EXPECT_EQ("a", expired[0].strBytes);
    // Exit: whatever still waits is handed over to be reported, none kept.
    std::vector<WaitingCode> left = waiting.TakeAll();
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ("b", left[0].strBytes);
    EXPECT_TRUE(waiting.Empty());
}

TEST(TargetWindow, ARulesTargetComesBeforeItsSections)
{
    std::vector<std::pair<int, std::wstring>> rules = { { 2, L"notepad.exe" }, { 101, L"erp.exe|Goods*" } };
    EXPECT_EQ(L"notepad.exe", TargetForCode(rules, 2, L"erp.exe"));
    EXPECT_EQ(L"erp.exe|Goods*", TargetForCode(rules, 101, L""));
    EXPECT_EQ(L"erp.exe", TargetForCode(rules, 3, L"erp.exe"));
    EXPECT_EQ(L"", TargetForCode(rules, 0, L""));
}
