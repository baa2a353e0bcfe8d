#include <afxwin.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "test_resource.h"

namespace {

const UINT WM_TEST_MAPPED = WM_APP + 1;
const UINT WM_TEST_DEFAULT = WM_APP + 2;
const UINT WM_TEST_UNMAPPED = WM_APP + 9;
const UINT ID_TEST_COMMAND = 1001;
UINT g_nRegistered = RegisterWindowMessageA("NorzaFrameworkTest");

// A dialog whose handlers and default processing write into one journal, so
// a test sees exactly which code each message reached and in what order.
class CJournalDlg : public CDialog {
public:
    explicit CJournalDlg(UINT nIDTemplate = IDD_TEST_DIALOG) : CDialog(nIDTemplate) {}

    std::function<void(CJournalDlg&)> m_script;
    std::vector<std::string> m_journal;

    void Note(const std::string& s) { m_journal.push_back(s); }
    using CWnd::Default;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        Note("init");
        if (m_script)
            m_script(*this);
        return TRUE;
    }

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message >= WM_APP && message < 0xC000)
            Note("default " + std::to_string(message - WM_APP) + " " +
                 std::to_string(wParam) + " " + std::to_string(lParam));
        return CDialog::DefWindowProc(message, wParam, lParam);
    }

protected:
    afx_msg LRESULT OnMapped(WPARAM wParam, LPARAM)
    {
        Note("mapped " + std::to_string(wParam));
        return 41;
    }
    afx_msg LRESULT OnDefaulted(WPARAM, LPARAM)
    {
        Note("handler");
        return Default();
    }
    afx_msg LRESULT OnRegistered(WPARAM, LPARAM) { Note("registered"); return 5; }
    afx_msg void OnTestCommand() { Note("command"); }
    afx_msg void OnTestChange() { Note("change"); }
    afx_msg void OnTestItemChanged(NMHDR* pHeader, LRESULT* pResult)
    {
        Note("item changed " + std::to_string(pHeader->idFrom));
        *pResult = 9;
    }
    afx_msg void OnTimer(UINT_PTR nIDEvent)
    {
        KillTimer(m_hWnd, nIDEvent);
        Note("timer " + std::to_string(nIDEvent));
        EndDialog(77);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CJournalDlg, CDialog)
    ON_MESSAGE(WM_TEST_MAPPED, OnMapped)
    ON_MESSAGE(WM_TEST_DEFAULT, OnDefaulted)
    ON_REGISTERED_MESSAGE(g_nRegistered, OnRegistered)
    ON_COMMAND(ID_TEST_COMMAND, OnTestCommand)
    ON_EN_CHANGE(ID_TEST_COMMAND, OnTestChange)
    ON_NOTIFY(LVN_ITEMCHANGED, ID_TEST_COMMAND, OnTestItemChanged)
    ON_WM_TIMER()
END_MESSAGE_MAP()

// Overrides one entry of its base's table; the others stay reachable.
class CDerivedDlg : public CJournalDlg {
protected:
    afx_msg LRESULT OnMappedHere(WPARAM, LPARAM)
    {
        Note("derived");
        return 42;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedDlg, CJournalDlg)
    ON_MESSAGE(WM_TEST_MAPPED, OnMappedHere)
END_MESSAGE_MAP()

std::vector<std::string> Journal(std::initializer_list<const char*> items)
{
    return std::vector<std::string>(items.begin(), items.end());
}

}  // namespace

TEST(MessageRouting, TableEntriesWinAndTheRestReachDefWindowProc)
{
    CJournalDlg dlg;
    LRESULT mapped = 0, unmapped = -1;
    dlg.m_script = [&](CJournalDlg& d) {
        mapped = d.SendMessage(WM_TEST_MAPPED, 3, 0);
        unmapped = d.SendMessage(WM_TEST_UNMAPPED, 4, 5);
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(41, mapped);
    EXPECT_EQ(0, unmapped);
    EXPECT_EQ(Journal({ "init", "mapped 3", "default 9 4 5" }), dlg.m_journal);
}

TEST(MessageRouting, DefaultPassesTheCurrentMessageOnUnchanged)
{
    CJournalDlg dlg;
    dlg.m_script = [](CJournalDlg& d) {
        d.SendMessage(WM_TEST_DEFAULT, 6, 7);
        d.EndDialog(IDOK);
    };
    dlg.DoModal();
    EXPECT_EQ(Journal({ "init", "handler", "default 2 6 7" }), dlg.m_journal);
}

TEST(MessageRouting, DerivedEntriesOverrideAndBaseEntriesRemain)
{
    CDerivedDlg dlg;
    LRESULT r = 0;
    dlg.m_script = [&](CJournalDlg& d) {
        r = d.SendMessage(WM_TEST_MAPPED, 0, 0);
        d.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_COMMAND, 0), 0);
        d.SendMessage(g_nRegistered, 0, 0);
        d.SendMessage(WM_COMMAND, IDOK, 0);   // CDialog's own table
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(42, r);
    EXPECT_EQ(Journal({ "init", "derived", "command", "registered" }), dlg.m_journal);
}

TEST(MessageRouting, CommandsMatchMenuAcceleratorAndClickCodesNotificationsTheirOwn)
{
    CJournalDlg dlg;
    dlg.m_script = [](CJournalDlg& d) {
        d.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_COMMAND, 1), 0);      // accelerator
        d.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_COMMAND, EN_CHANGE), 1);
        d.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_COMMAND, EN_UPDATE), 1);
        d.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_COMMAND + 1, 0), 0);  // other id
        d.SendMessage(WM_COMMAND, MAKEWPARAM(ID_TEST_COMMAND + 1, EN_CHANGE), 1);
        d.EndDialog(IDOK);
    };
    dlg.DoModal();
    EXPECT_EQ(Journal({ "init", "command", "change" }), dlg.m_journal);
}

TEST(MessageRouting, NotifyEntriesMatchTheirControlAndCodeOnly)
{
    CJournalDlg dlg;
    LRESULT results[3] = {};
    dlg.m_script = [&](CJournalDlg& d) {
        NMHDR headers[] = { { NULL, ID_TEST_COMMAND, (UINT)LVN_ITEMCHANGED },
                            { NULL, ID_TEST_COMMAND, (UINT)LVN_ITEMCHANGING },
                            { NULL, ID_TEST_COMMAND + 1, (UINT)LVN_ITEMCHANGED } };
        for (int i = 0; i < 3; ++i)
            results[i] = d.SendMessage(WM_NOTIFY, headers[i].idFrom, (LPARAM)&headers[i]);
        d.EndDialog(IDOK);
    };
    dlg.DoModal();
    EXPECT_EQ((std::vector<std::string>{ "init", "item changed " + std::to_string(ID_TEST_COMMAND) }), dlg.m_journal);
    EXPECT_EQ(9, results[0]);
    EXPECT_EQ(0, results[1]);
}

// Characters typed into a modeless Unicode dialog arrive whole through the
// thread's loop: taken through the ANSI functions, under code page 1252 a
// Chinese one would arrive as "?".
TEST(ModelessDialog, TypedCharactersTheCodePageLacksArriveWhole)
{
    HRSRC hRes = FindResourceW(NULL, MAKEINTRESOURCEW(IDD_TEST_EDIT), MAKEINTRESOURCEW(5));
    ASSERT_NE(nullptr, hRes);
    CJournalDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(NULL, hRes)))));
    HWND hEdit = GetDlgItem(dlg.m_hWnd, IDC_TEST_TEXT);
    const WCHAR typed[] = { 0x7F16, L'x', 0x53F7 };
    for (WCHAR ch : typed)
        PostMessageW(hEdit, WM_CHAR, ch, 0);
    dlg.PostMessage(WM_TEST_MAPPED, 2, 0);
    while (dlg.m_journal.size() < 2 && AfxPumpMessage()) {
    }
    WCHAR sz[16] = {};
    GetWindowTextW(hEdit, sz, 16);
    EXPECT_EQ(L"\u7f16x\u53f7", std::wstring(sz));
    EXPECT_EQ(Journal({ "init", "mapped 2" }), dlg.m_journal);
    dlg.DestroyWindow();
    EXPECT_EQ(NULL, dlg.m_hWnd);
}

TEST(ModalLoop, EndDialogDuringInitReturnsAtOnce)
{
    CJournalDlg dlg;
    dlg.m_script = [](CJournalDlg& d) { d.EndDialog(12); };
    EXPECT_EQ(12, dlg.DoModal());
    EXPECT_EQ(NULL, dlg.m_hWnd);
}

TEST(ModalLoop, PostedMessagesEndItTheStandardWays)
{
    struct Case { const char* name; UINT message; WPARAM wParam; INT_PTR expected; };
    const Case cases[] = {
        { "OK command", WM_COMMAND, IDOK, IDOK },
        { "Cancel command", WM_COMMAND, IDCANCEL, IDCANCEL },
        { "close", WM_CLOSE, 0, IDCANCEL },
        { "Esc key", WM_KEYDOWN, VK_ESCAPE, IDCANCEL },
        { "Enter key", WM_KEYDOWN, VK_RETURN, IDOK },
    };
    for (const Case& c : cases) {
        CJournalDlg dlg;
        dlg.m_script = [&](CJournalDlg& d) { d.PostMessage(c.message, c.wParam, 0); };
        EXPECT_EQ(c.expected, dlg.DoModal()) << c.name;
    }
}

TEST(ModalLoop, QuitEndsItAndIsLeftForTheLoopAround)
{
    CJournalDlg dlg;
    dlg.m_script = [](CJournalDlg&) { PostQuitMessage(3); };
    EXPECT_EQ(-1, dlg.DoModal());
    MSG msg = {};
    EXPECT_TRUE(PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

TEST(ModalLoop, TimersArriveThroughTheTable)
{
    CJournalDlg dlg;
    dlg.m_script = [](CJournalDlg& d) { d.SetTimer(2, 10, NULL); };
    EXPECT_EQ(77, dlg.DoModal());
    EXPECT_EQ(Journal({ "init", "timer 2" }), dlg.m_journal);
}

TEST(ModalLoop, NestedDialogsEachReturnTheirOwnResult)
{
    CJournalDlg outer;
    INT_PTR inner = 0;
    outer.m_script = [&](CJournalDlg& d) {
        CJournalDlg dlgInner;
        dlgInner.m_script = [](CJournalDlg& i) { i.PostMessage(WM_COMMAND, IDCANCEL, 0); };
        inner = dlgInner.DoModal();
        d.PostMessage(WM_TEST_MAPPED, 8, 0);
        d.PostMessage(WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(IDOK, outer.DoModal());
    EXPECT_EQ(IDCANCEL, inner);
    EXPECT_EQ(Journal({ "init", "mapped 8" }), outer.m_journal);
}

TEST(ModalLoop, MissingTemplateFails)
{
    class CNoTemplate : public CDialog {
    public:
        CNoTemplate() : CDialog(IDD_TEST_DIALOG + 50) {}
    } dlg;
    EXPECT_EQ(-1, dlg.DoModal());
}

// Under a Western code page, a dialog made or subclassed through the ANSI
// functions would read "??" here.
TEST(ModalLoop, TemplateFromMemoryKeepsItsUnicodeTexts)
{
    HRSRC hRes = FindResourceW(NULL, MAKEINTRESOURCEW(IDD_TEST_CHINESE), MAKEINTRESOURCEW(5));
    ASSERT_NE(nullptr, hRes);
    CJournalDlg dlg;
    dlg.InitModalIndirect(static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(NULL, hRes))));
    std::wstring caption, text;
    LRESULT mapped = 0;
    dlg.m_script = [&](CJournalDlg& d) {
        WCHAR sz[16] = {};
        GetWindowTextW(d.m_hWnd, sz, 16);
        caption = sz;
        GetDlgItemTextW(d.m_hWnd, IDC_TEST_TEXT, sz, 16);
        text = sz;
        mapped = d.SendMessage(WM_TEST_MAPPED, 1, 0);
        d.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(L"\u5173\u4e8e", caption);
    EXPECT_EQ(L"\u626b\u7801\u952e\u76d8", text);
    EXPECT_EQ(41, mapped);
    EXPECT_EQ(Journal({ "init", "mapped 1" }), dlg.m_journal);
}

// A modeless dialog runs in the caller's loop and lives until destroyed.
TEST(Modeless, CreatedFromMemoryRoutedAndDetachedWhenDestroyed)
{
    HRSRC hRes = FindResourceW(NULL, MAKEINTRESOURCEW(IDD_TEST_CHINESE), MAKEINTRESOURCEW(5));
    LPCDLGTEMPLATEW pTemplate = static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(NULL, hRes)));
    CJournalDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(pTemplate));
    EXPECT_FALSE(dlg.CreateIndirect(pTemplate));   // one window per object
    EXPECT_TRUE(IsWindowUnicode(dlg.m_hWnd));
    EXPECT_EQ(41, dlg.SendMessage(WM_TEST_MAPPED, 2, 0));
    HWND hWnd = dlg.m_hWnd;
    dlg.DestroyWindow();
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(nullptr, dlg.m_hWnd);
    EXPECT_EQ(Journal({ "init", "mapped 2" }), dlg.m_journal);
}

TEST(HandleMap, PermanentAndTemporaryObjects)
{
    CJournalDlg dlg;
    dlg.m_script = [](CJournalDlg& d) {
        EXPECT_EQ(&d, CWnd::FromHandle(d.m_hWnd));
        CWnd* pDesktop = CWnd::FromHandle(GetDesktopWindow());
        ASSERT_NE(nullptr, pDesktop);
        EXPECT_EQ(GetDesktopWindow(), pDesktop->m_hWnd);
        EXPECT_EQ(pDesktop, CWnd::FromHandle(GetDesktopWindow()));
        EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(GetDesktopWindow()));
        EXPECT_EQ(nullptr, CWnd::FromHandle(NULL));
        d.EndDialog(IDOK);
    };
    dlg.DoModal();
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(dlg.m_hWnd));
}

TEST(Menu, SubMenusBelongToTheirMenuAndDieWithIt)
{
    HMENU hSub = CreatePopupMenu();
    AppendMenuA(hSub, MF_STRING, 1, "one");
    AppendMenuA(hSub, MF_STRING, 2, "two");
    HMENU hBar = CreateMenu();
    AppendMenuA(hBar, MF_POPUP, (UINT_PTR)hSub, "menu");
    {
        CMenu menu;
        ASSERT_TRUE(menu.Attach(hBar));
        CMenu* pSub = menu.GetSubMenu(0);
        ASSERT_NE(nullptr, pSub);
        EXPECT_EQ(hSub, pSub->m_hMenu);
        EXPECT_EQ(pSub, menu.GetSubMenu(0));
        EXPECT_EQ(nullptr, menu.GetSubMenu(5));

        pSub->CheckMenuItem(1, MF_BYPOSITION | MF_CHECKED);
        EXPECT_EQ((UINT)MF_UNCHECKED, GetMenuState(hSub, 0, MF_BYPOSITION) & MF_CHECKED);
        EXPECT_EQ((UINT)MF_CHECKED, GetMenuState(hSub, 1, MF_BYPOSITION) & MF_CHECKED);
        pSub->CheckMenuItem(1, MF_BYPOSITION | MF_UNCHECKED);
        EXPECT_EQ((UINT)MF_UNCHECKED, GetMenuState(hSub, 1, MF_BYPOSITION) & MF_CHECKED);
    }
    EXPECT_FALSE(IsMenu(hBar));
    EXPECT_FALSE(IsMenu(hSub));
}

TEST(Menu, SystemMenuGetsAppendedItems)
{
    CJournalDlg dlg(IDD_TEST_SYSMENU);
    int before = -1, after = -1;
    dlg.m_script = [&](CJournalDlg& d) {
        CMenu* pSys = d.GetSystemMenu(FALSE);
        if (pSys) {
            before = GetMenuItemCount(pSys->m_hMenu);
            pSys->AppendMenu(MF_SEPARATOR);
            pSys->AppendMenu(MF_STRING, 0x10, "About");
            after = GetMenuItemCount(pSys->m_hMenu);
        }
        d.EndDialog(IDOK);
    };
    dlg.DoModal();
    EXPECT_EQ(before + 2, after);
}

TEST(Application, ThreadsWithoutAThreadObjectHaveNone)
{
    EXPECT_EQ(nullptr, AfxGetThread());
    EXPECT_EQ(nullptr, AfxGetMainWnd());
    EXPECT_EQ(GetModuleHandleA(NULL), AfxGetResourceHandle());
}
