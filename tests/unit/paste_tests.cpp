// Pasting into an edit control of this process on the desktop: the paste runs
// on a thread of its own, as the typist's does, while this thread answers
// the edit control's messages.
#include <windows.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "clipsave.h"
#include "keeper.h"
#include "paste.h"
#include "pasterequest.h"
#include "typist.h"

namespace {

const wchar_t kUserText[] = L"the user's copy \x7528\x6237";
const BYTE kUserData[] = { 0x4E, 0x00, 0x7A, 0xFF, 0x01 };

UINT DataFormat() { return RegisterClipboardFormatA("NorzaTestData"); }

std::wstring ChineseText(size_t nChars)
{
    std::wstring text;
    for (size_t i = 0; i < nChars; ++i)
        text += (wchar_t)(0x4E00 + (i * 7919) % 20000);
    return text;
}

HGLOBAL Global(const void* pData, size_t cb)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, cb);
    memcpy(GlobalLock(h), pData, cb);
    GlobalUnlock(h);
    return h;
}

HENHMETAFILE Picture()
{
    HDC hdc = CreateEnhMetaFileA(NULL, NULL, NULL, NULL);
    Rectangle(hdc, 1, 2, 30, 40);
    return CloseEnhMetaFile(hdc);
}

// The user's clipboard: Unicode text, private data and a picture; or nothing.
void PutUserClipboard(HWND hOwner, bool bEmpty = false)
{
    ASSERT_TRUE(OpenClipboard(hOwner));
    EmptyClipboard();
    if (!bEmpty) {
        SetClipboardData(CF_UNICODETEXT, Global(kUserText, sizeof(kUserText)));
        SetClipboardData(DataFormat(), Global(kUserData, sizeof(kUserData)));
        SetClipboardData(CF_ENHMETAFILE, Picture());
    }
    CloseClipboard();
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(NULL))
        return L"<locked>";
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    if (const wchar_t* p = h ? (const wchar_t*)GlobalLock(h) : NULL) {
        text = p;
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

void ExpectUserClipboard()
{
    EXPECT_EQ(kUserText, ClipboardText());
    ASSERT_TRUE(OpenClipboard(NULL));
    HANDLE h = GetClipboardData(DataFormat());
    ASSERT_TRUE(h);
    EXPECT_TRUE(GlobalSize(h) >= sizeof(kUserData) &&
                !memcmp(GlobalLock(h), kUserData, sizeof(kUserData)));
    GlobalUnlock(h);
    HENHMETAFILE hPicture = (HENHMETAFILE)GetClipboardData(CF_ENHMETAFILE), hOriginal = Picture();
    EXPECT_TRUE(hPicture);
    EXPECT_EQ(GetEnhMetaFileBits(hOriginal, 0, NULL), GetEnhMetaFileBits(hPicture, 0, NULL));
    DeleteEnhMetaFile(hOriginal);
    CloseClipboard();
}

// What the edit control does around its paste: it notes whether the text was
// marked for clipboard history, and "another program" then copies, empties
// the clipboard, or holds it open for a while.
enum AfterPaste { AFTER_NOTHING, AFTER_COPY, AFTER_EMPTY, AFTER_HOLD };

struct {
    WNDPROC pfnEdit;
    AfterPaste after;
    bool bUnrecorded;
    bool bWindowless;   // reads the clipboard as programs do that open it without a window
} g_edit;

void PasteWindowless(HWND hwnd)
{
    if (!OpenClipboard(NULL))
        return;
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    if (const wchar_t* p = h ? (const wchar_t*)GlobalLock(h) : NULL) {
        SendMessageW(hwnd, EM_REPLACESEL, TRUE, (LPARAM)p);
        GlobalUnlock(h);
    }
    CloseClipboard();
}

DWORD WINAPI HoldClipboard(LPVOID)
{
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    if (OpenClipboard(hwnd)) {
        Sleep(4000);
        CloseClipboard();
    }
    DestroyWindow(hwnd);
    return 0;
}

LRESULT CALLBACK WatchedEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_PASTE)
        return CallWindowProcW(g_edit.pfnEdit, hwnd, msg, wParam, lParam);
    g_edit.bUnrecorded = true;
    for (const char* pszMark : { "ExcludeClipboardContentFromMonitorProcessing",
                                 "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard" })
        g_edit.bUnrecorded &=
            IsClipboardFormatAvailable(RegisterClipboardFormatA(pszMark)) != FALSE;
    LRESULT lResult = 0;
    if (g_edit.bWindowless)
        PasteWindowless(hwnd);
    else
        lResult = CallWindowProcW(g_edit.pfnEdit, hwnd, msg, wParam, lParam);
    if ((g_edit.after == AFTER_COPY || g_edit.after == AFTER_EMPTY) && OpenClipboard(hwnd)) {
        EmptyClipboard();
        if (g_edit.after == AFTER_COPY)
            SetClipboardData(CF_UNICODETEXT, Global(L"copied meanwhile", sizeof(L"copied meanwhile")));
        CloseClipboard();
    } else if (g_edit.after == AFTER_HOLD) {
        CloseHandle(CreateThread(NULL, 0, HoldClipboard, NULL, 0, NULL));
        Sleep(100);
    }
    return lResult;
}

// Another program's copy whose second format it renders only when asked, and
// never does: asked, it hangs until released.
// Or one that renders everything, but sleeps dwSleep ms when it loses the
// clipboard.
struct {
    HWND hWnd;
    HANDLE hRelease;
    DWORD dwSleep;
} g_owner;

LRESULT CALLBACK HungOwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_RENDERFORMAT)
        WaitForSingleObject(g_owner.hRelease, INFINITE);
    if (msg == WM_DESTROYCLIPBOARD)
        Sleep(g_owner.dwSleep);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

DWORD WINAPI RunHungOwner(LPVOID pReady)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HungOwnerProc;
    wc.lpszClassName = L"NorzaHungOwner";
    RegisterClassW(&wc);
    g_owner.hWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    if (OpenClipboard(g_owner.hWnd)) {
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, Global(kUserText, sizeof(kUserText)));
        SetClipboardData(DataFormat(), g_owner.dwSleep ? Global(kUserData, sizeof(kUserData)) : NULL);
        CloseClipboard();
    }
    SetEvent((HANDLE)pReady);
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0)
        DispatchMessageW(&msg);
    DestroyWindow(g_owner.hWnd);
    return 0;
}

DWORD g_dwOwner;
HANDLE g_hOwner;

void StartOwner(DWORD dwSleep)
{
    g_owner.hRelease = CreateEventA(NULL, TRUE, FALSE, NULL);
    g_owner.dwSleep = dwSleep;
    HANDLE hReady = CreateEventA(NULL, TRUE, FALSE, NULL);
    g_hOwner = CreateThread(NULL, 0, RunHungOwner, hReady, 0, &g_dwOwner);
    WaitForSingleObject(hReady, INFINITE);
    CloseHandle(hReady);
}

void EndOwner()
{
    SetEvent(g_owner.hRelease);
    PostThreadMessageW(g_dwOwner, WM_QUIT, 0, 0);
    WaitForSingleObject(g_hOwner, 10000);
    CloseHandle(g_hOwner);
    CloseHandle(g_owner.hRelease);
}

// The changes that bring the user's content back, seen by a clipboard viewer.
struct {
    WNDPROC pfnWindow;
    HWND hNext;
    int nRestores;
} g_viewer;

LRESULT CALLBACK ViewerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DRAWCLIPBOARD) {
        g_viewer.nRestores += IsClipboardFormatAvailable(DataFormat()) != FALSE;
        if (g_viewer.hNext)
            SendMessageW(g_viewer.hNext, msg, wParam, lParam);
        return 0;
    }
    return CallWindowProcW(g_viewer.pfnWindow, hwnd, msg, wParam, lParam);
}

// The clipboard's formats, as a count; -1 when it cannot be opened.
int ClipboardFormats()
{
    if (!OpenClipboard(NULL))
        return -1;
    int n = CountClipboardFormats();
    CloseClipboard();
    return n;
}

// Answers this thread's messages until fDone says so, for up to dwMs.
template <typename F>
bool PumpUntil(F fDone, DWORD dwMs)
{
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < dwMs;) {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (fDone())
            return true;
        Sleep(20);
    }
    return fDone();
}

HANDLE g_hCancel;

void CALLBACK CancelPaste(HWND hwnd, UINT, UINT_PTR nId, DWORD)
{
    KillTimer(hwnd, nId);
    SetEvent(g_hCancel);
}

// The bounds these tests wait out, shortened.
KeeperTimes ShortTimes()
{
    KeeperTimes times;
    times.dwOffer = 1000;
    times.dwAsk = 1000;
    times.dwExitBound = 1500;
    return times;
}

class PasteInto : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Keeper().SetTimes(ShortTimes()); }
    static void TearDownTestSuite() { Keeper().SetTimes(KeeperTimes()); }

    void SetUp() override
    {
        m_hWnd = CreateWindowExW(0, L"STATIC", L"paste target", WS_POPUP | WS_VISIBLE, 0, 0, 400,
                                 300, NULL, NULL, NULL, NULL);
        m_hEdit = CreateWindowExW(0, L"EDIT", L"",
                                  WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 400,
                                  300, m_hWnd, NULL, NULL, NULL);
        g_edit = { (WNDPROC)SetWindowLongPtrW(m_hEdit, GWLP_WNDPROC, (LONG_PTR)WatchedEditProc),
                   AFTER_NOTHING, false, false };
        ASSERT_TRUE(SetForegroundWindow(m_hWnd));
        SetFocus(m_hEdit);
        ASSERT_EQ(m_hEdit, GetFocus());
    }
    void TearDown() override { DestroyWindow(m_hWnd); }

    // Pastes from another thread, answering this thread's messages meanwhile.
    TypingResult Paste(const std::wstring& text, HANDLE hCancel = NULL, bool bWithKeys = false)
    {
        m_job = { text, m_hEdit, hCancel, bWithKeys, TYPING_FAILED };
        DWORD dwStart = GetTickCount();
        HANDLE hThread = CreateThread(NULL, 0, Run, &m_job, 0, NULL);
        while (MsgWaitForMultipleObjects(1, &hThread, FALSE, 10000, QS_ALLINPUT) ==
               WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 0)) << "the paste took over 10 s";
        WaitForSingleObject(hThread, INFINITE);
        CloseHandle(hThread);
        m_dwMs = GetTickCount() - dwStart;
        return m_job.result;
    }

    std::wstring EditText() const
    {
        std::wstring text(GetWindowTextLengthW(m_hEdit) + 1, L'\0');
        text.resize(GetWindowTextW(m_hEdit, &text[0], (int)text.size()));
        return text;
    }

    HWND m_hWnd, m_hEdit;
    DWORD m_dwMs;

private:
    struct Job {
        std::wstring text;
        HWND hFocus;
        HANDLE hCancel;
        bool bWithKeys;   // a typing job: runs pasted, the keys between them typed
        TypingResult result;
    } m_job;

    static DWORD WINAPI Run(LPVOID pParam)
    {
        Job* pJob = (Job*)pParam;
        if (pJob->bWithKeys) {
            TypingJob job = { NULL, pJob->hFocus, KeyboardSnapshot(), pJob->text, false, 0, true, 50 };
            CTypingGuard guard(pJob->hCancel);
            pJob->result = TypeText(job, guard);
        } else {
            pJob->result = PasteText(pJob->text, pJob->hFocus, KeyboardSnapshot(), pJob->hCancel, 50);
        }
        return 0;
    }
};

}  // namespace

TEST(PasteAnswers, EachRequestGetsItsOwnAnswerAndALateOneNone)
{
    CAnswerSlot slot;
    HANDLE hGivenUp = CreateEventA(NULL, TRUE, TRUE, NULL);
    ULONG nFirst = slot.Expect();
    EXPECT_EQ(ANSWER_CANCELLED, slot.Wait(nFirst, hGivenUp));
    ULONG nSecond = slot.Expect();
    EXPECT_NE(nFirst, nSecond);
    slot.Answer(nFirst, ANSWER_DONE);   // the first request's, late
    EXPECT_EQ(ANSWER_CANCELLED, slot.Wait(nSecond, hGivenUp));
    nSecond = slot.Expect();
    slot.Answer(nSecond, ANSWER_NOT_TAKEN);
    slot.Answer(nSecond, ANSWER_DONE);   // only the first answer counts
    EXPECT_EQ(ANSWER_NOT_TAKEN, slot.Wait(nSecond, hGivenUp));
    CloseHandle(hGivenUp);
}

TEST_F(PasteInto, TheTargetGetsTheTextAndTheUserTheirClipboard)
{
    PutUserClipboard(m_hWnd);
    std::wstring text = ChineseText(1000) + L"\r" + ChineseText(1047);
    EXPECT_EQ(TYPING_DONE, Paste(text));
    std::wstring pasted = EditText();
    EXPECT_TRUE(pasted == ChineseText(1000) + L"\r\n" + ChineseText(1047))
        << pasted.size() << " characters arrived";
    EXPECT_TRUE(g_edit.bUnrecorded) << "the text was not marked for clipboard history";
    ExpectUserClipboard();
    printf("2,048 characters pasted in %lu ms\n", (unsigned long)m_dwMs);
}

// The saver gets its end of the pipe and nothing else this process made
// inheritable (an engine DLL may make such handles).
TEST_F(PasteInto, TheSaverInheritsItsPipeAlone)
{
    EndClipboardSaver();
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), NULL, TRUE };
    HANDLE hEvent = CreateEventW(&inherit, TRUE, FALSE, NULL);
    PutUserClipboard(m_hWnd);
    EXPECT_EQ(TYPING_DONE, Paste(L"code"));
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    int nSavers = 0;
    for (BOOL b = Process32FirstW(hSnapshot, &entry); b; b = Process32NextW(hSnapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"NorzaClip.exe") != 0 || entry.th32ParentProcessID != GetCurrentProcessId())
            continue;
        ++nSavers;
        HANDLE hSaver = OpenProcess(PROCESS_DUP_HANDLE, FALSE, entry.th32ProcessID);
        HANDLE hTheirs = NULL;
        // The same handle value in the saver, were it inherited, is this event.
        if (hSaver && DuplicateHandle(hSaver, hEvent, GetCurrentProcess(), &hTheirs, 0, FALSE,
                                      DUPLICATE_SAME_ACCESS)) {
            SetEvent(hTheirs);
            CloseHandle(hTheirs);
        }
        if (hSaver)
            CloseHandle(hSaver);
    }
    CloseHandle(hSnapshot);
    EXPECT_EQ(1, nSavers);
    EXPECT_NE(WAIT_OBJECT_0, WaitForSingleObject(hEvent, 0)) << "the saver inherited the event";
    CloseHandle(hEvent);
}

TEST_F(PasteInto, AClipboardChangedDuringThePasteIsLeftAsItIs)
{
    // A copy, or a password manager clearing the clipboard.
    for (AfterPaste after : { AFTER_COPY, AFTER_EMPTY }) {
        PutUserClipboard(m_hWnd);
        SetWindowTextW(m_hEdit, L"");
        g_edit.after = after;
        EXPECT_EQ(TYPING_DONE, Paste(ChineseText(50)));
        EXPECT_EQ(ChineseText(50), EditText());
        if (after == AFTER_COPY)
            EXPECT_EQ(L"copied meanwhile", ClipboardText());
        else
            EXPECT_EQ(0, ClipboardFormats());
    }
}

TEST_F(PasteInto, NothingIsPastedOrLostWhenItCannotBe)
{
    // The clipboard held by another window all along.
    PutUserClipboard(m_hWnd);
    ASSERT_TRUE(OpenClipboard(m_hWnd));
    EXPECT_EQ(TYPING_FAILED, Paste(L"locked out"));
    EXPECT_LT(m_dwMs, 2500u);
    CloseClipboard();
    ExpectUserClipboard();
    EXPECT_EQ(L"", EditText());

    // A target that never asks for the text, cancelled while waiting for it,
    // then hung for 2 s: its Ctrl+V is unresolved, so the user's content
    // comes back only once the target has answered again for the exit bound.
    SendMessageW(m_hEdit, EM_SETREADONLY, TRUE, 0);
    g_hCancel = CreateEventA(NULL, TRUE, FALSE, NULL);
    SetTimer(m_hWnd, 1, 300, CancelPaste);
    EXPECT_EQ(TYPING_CANCELLED, Paste(L"cancelled", g_hCancel));
    EXPECT_LT(m_dwMs, 1800u);
    CloseHandle(g_hCancel);
    Sleep(2000);
    EXPECT_FALSE(IsClipboardFormatAvailable(DataFormat()));
    DWORD dwAnswering = GetTickCount();
    EXPECT_TRUE(PumpUntil([] { return IsClipboardFormatAvailable(DataFormat()) != FALSE; }, 8000));
    EXPECT_GE(GetTickCount() - dwAnswering, ShortTimes().dwExitBound - 500);
    ExpectUserClipboard();

    // Waited for in vain, from an empty clipboard: the text stays for the
    // user to paste; the target pasting it after all gives the user's (empty)
    // clipboard back once it is done.
    PutUserClipboard(m_hWnd, true);
    EXPECT_EQ(TYPING_NOT_TAKEN, Paste(L"never asked for"));
    EXPECT_LT(m_dwMs, 12000u);
    EXPECT_EQ(L"", EditText());
    SendMessageW(m_hEdit, EM_SETREADONLY, FALSE, 0);
    SendMessageW(m_hEdit, WM_PASTE, 0, 0);
    EXPECT_EQ(L"never asked for", EditText());
    EXPECT_TRUE(PumpUntil([] { return ClipboardFormats() == 0; }, 5000));
}

TEST_F(PasteInto, APutBackThatCannotBeIsToldAndTriedAgain)
{
    PutUserClipboard(m_hWnd);
    g_edit.after = AFTER_HOLD;   // for 4 s after the paste
    EXPECT_EQ(TYPING_CLIPBOARD_NOT_BACK, Paste(L"pasted"));
    EXPECT_EQ(L"pasted", EditText());
    EXPECT_TRUE(PumpUntil([] { return ClipboardText() == kUserText; }, 6000));
    ExpectUserClipboard();
}

TEST_F(PasteInto, AnOwnerThatNeverRendersHoldsNothingUp)
{
    StartOwner(0);

    // Cancelled while the save waits for the render: at once.
    g_hCancel = CreateEventA(NULL, TRUE, FALSE, NULL);
    SetTimer(m_hWnd, 1, 200, CancelPaste);
    EXPECT_EQ(TYPING_CANCELLED, Paste(L"cancelled", g_hCancel));
    EXPECT_LT(m_dwMs, 1500u);
    CloseHandle(g_hCancel);

    // The format that hangs cannot be saved: the clipboard is not taken,
    // nothing is pasted, and every format stays as the owner left it.
    EXPECT_EQ(TYPING_CLIPBOARD_NOT_SAVED, Paste(L"not pasted"));
    EXPECT_LT(m_dwMs, kSaveBudget + 1500);
    EXPECT_EQ(L"", EditText());
    EXPECT_EQ(kUserText, ClipboardText());
    EXPECT_TRUE(IsClipboardFormatAvailable(DataFormat()));
    printf("refused past a hung owner in %lu ms\n", (unsigned long)m_dwMs);
    EndOwner();
}

TEST_F(PasteInto, AJobOfFourRunsRestoresOnceAndAWindowlessReaderIsTheTarget)
{
    // A GS1 code of four fields, a Tab between them, into a target that
    // opens the clipboard without a window.
    PutUserClipboard(m_hWnd);
    g_edit.bWindowless = true;
    g_viewer = { (WNDPROC)SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, (LONG_PTR)ViewerProc), NULL, 0 };
    g_viewer.hNext = SetClipboardViewer(m_hWnd);
    PumpUntil([] { return false; }, 100);
    g_viewer.nRestores = 0;
    const std::wstring code = L"0109506000134352\t10\x6279" L"ABC\t17271231\t21X9";
    EXPECT_EQ(TYPING_DONE, Paste(code, NULL, true));
    EXPECT_EQ(code, EditText());
    PumpUntil([] { return false; }, 300);
    ChangeClipboardChain(m_hWnd, g_viewer.hNext);
    EXPECT_EQ(1, g_viewer.nRestores);
    ExpectUserClipboard();
}

TEST_F(PasteInto, AnOfferThatTimesOutIsWithdrawnAndTheClipboardFreed)
{
    // The user's copy belongs to a window that sleeps, longer than an offer
    // may take, when it loses the clipboard: the offer's EmptyClipboard waits for it.
    StartOwner(ShortTimes().dwOffer + 2000);
    EXPECT_EQ(TYPING_FAILED, Paste(L"too late"));
    EXPECT_EQ(L"", EditText());
    EXPECT_TRUE(PumpUntil([] { return ClipboardText() == kUserText; }, 20000));
    EXPECT_TRUE(IsClipboardFormatAvailable(DataFormat()));
    EndOwner();
}
