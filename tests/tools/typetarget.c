/* A typing target for end-to-end tests: a window with a multi-line edit
 * field, or a one-line field and a multi-line one, the first focused; with 0
 * fields, a window in which no control ever has the focus. It reports what
 * arrived to a file, as the
 * ANSI bytes and the UTF-16 text of each field plus the keyboard messages the
 * fields received (characters as UTF-16, key messages with their scan code)
 * with the message time of each (ms), and whether Caps Lock is on, rewriting
 * the report whenever something changed.
 *
 *   typetarget <report-path> [fields [count [sink]]]
 *
 * With a count it times rounds for benchmarks instead: no keyboard messages
 * are recorded and nothing is written while characters arrive. Each time the
 * count of characters has reached the first field, the report is written once
 * with the round's number and the performance-counter times at which its
 * first and last character had been taken in by the field, and the field is
 * emptied for the next round. With "sink" the field does not take the
 * characters in as they come (the edit control spends far longer drawing each
 * one than any sender takes to send it); it keeps them aside and shows them
 * all at the end of the round, for the report. A paste ends a round at once.
 *
 * In place of the number of fields, a mode for the tests of paste output:
 *   slowpaste   one field that pastes 3 s after Ctrl+V, as a remote window may
 *   pasteempty  one field that empties the clipboard after each paste
 *   nopaste     one field that never pastes
 *   monitor     no field; reads the clipboard's text whenever it changes and
 *               reports each read as an event "clip <UTF-16 hex>" ("clip -": none)
 *   hungowner   no field; copies "the user's own" and one more format it only
 *               renders when asked, and then hangs
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_FIELDS 2
#define MAX_EVENTS 65536
#define IDT_REPORT 1
#define IDT_PASTE 2

enum { MODE_FIELDS, MODE_SLOWPASTE, MODE_PASTEEMPTY, MODE_NOPASTE, MODE_MONITOR, MODE_HUNGOWNER };

static HWND g_hwndField[MAX_FIELDS];
static int g_nFields = 1;
static WNDPROC g_pfnEditProc;
static const char *g_pszReport;
static char *g_pszEvents;
static size_t g_cbEvents;
static char *g_pszTimes;            /* "times" line: one message time per event */
static size_t g_cbTimes;
static BOOL g_bDirty = TRUE;
static int g_nRoundChars;           /* characters per timed round; 0: no rounds */
static int g_nArrived;
static int g_nRound;
static LARGE_INTEGER g_qpcFirst, g_qpcLast;
static BOOL g_bSink;
static WCHAR *g_pwszSunk;           /* the round's characters, in sink mode */
static int g_nMode;
static BOOL g_bLatePaste;           /* the slow field's paste, now */
static HWND g_hwndNextViewer;

static void WriteReport(void);

/* A character has been taken in by the first field. */
static void CountCharacter(void)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (g_nArrived++ == 0)
        g_qpcFirst = now;
    if (g_nArrived < g_nRoundChars)
        return;
    g_qpcLast = now;
    g_nRound++;
    if (g_bSink) {
        g_pwszSunk[g_nArrived] = 0;
        SetWindowTextW(g_hwndField[0], g_pwszSunk);
    }
    WriteReport();
    g_nArrived = 0;
    SetWindowTextW(g_hwndField[0], L"");
}

/* A paste brings the round's characters at once. */
static void CountPaste(HWND hwnd)
{
    if (GetWindowTextLengthW(hwnd) < g_nRoundChars)
        return;
    QueryPerformanceCounter(&g_qpcLast);
    g_qpcFirst = g_qpcLast;
    g_nRound++;
    WriteReport();
    g_nArrived = 0;
    SetWindowTextW(hwnd, L"");
}

/* Key events carry their scan code as a third word. */
static void NoteEvent(const char *kind, WPARAM code, LPARAM lParam)
{
    char line[32];
    int n = strcmp(kind, "char")
        ? sprintf(line, "%s %02x %02x\n", kind, (unsigned)(code & 0xFFFF),
                  (unsigned)((lParam >> 16) & 0x1FF))
        : sprintf(line, "%s %02x\n", kind, (unsigned)(code & 0xFFFF));
    if (g_cbEvents + n < MAX_EVENTS * 16) {
        memcpy(g_pszEvents + g_cbEvents, line, n);
        g_cbEvents += n;
        g_cbTimes += sprintf(g_pszTimes + g_cbTimes, " %lu", (unsigned long)GetMessageTime());
    }
    g_bDirty = TRUE;
}

static LRESULT CALLBACK FieldProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (g_nRoundChars) {
        LRESULT r = 0;
        if (msg == WM_CHAR && hwnd == g_hwndField[0] && g_bSink)
            g_pwszSunk[g_nArrived] = (WCHAR)wParam;
        else
            r = CallWindowProcW(g_pfnEditProc, hwnd, msg, wParam, lParam);
        if (msg == WM_CHAR && hwnd == g_hwndField[0] && wParam != 0x16)   /* not Ctrl+V */
            CountCharacter();
        else if (msg == WM_PASTE && hwnd == g_hwndField[0])
            CountPaste(hwnd);
        return r;
    }
    if (msg == WM_PASTE && g_nMode == MODE_NOPASTE)
        return 0;
    if (msg == WM_PASTE && g_nMode == MODE_SLOWPASTE && !g_bLatePaste) {
        SetTimer(GetParent(hwnd), IDT_PASTE, 3000, NULL);
        return 0;
    }
    if (msg == WM_PASTE && g_nMode == MODE_PASTEEMPTY) {
        LRESULT r = CallWindowProcW(g_pfnEditProc, hwnd, msg, wParam, lParam);
        if (OpenClipboard(hwnd)) {
            EmptyClipboard();
            CloseClipboard();
        }
        return r;
    }
    /* Select all on Ctrl+A, as the edit controls of common controls 6 and
     * most forms do (the plain edit control does not). */
    if (msg == WM_KEYDOWN && wParam == 'A' && (GetKeyState(VK_CONTROL) & 0x8000))
        SendMessageW(hwnd, EM_SETSEL, 0, -1);
    switch (msg) {
    case WM_KEYDOWN:    NoteEvent("down", wParam, lParam); break;
    case WM_KEYUP:      NoteEvent("up", wParam, lParam); break;
    case WM_SYSKEYDOWN: NoteEvent("sysdown", wParam, lParam); break;
    case WM_SYSKEYUP:   NoteEvent("sysup", wParam, lParam); break;
    case WM_CHAR:       NoteEvent("char", wParam, lParam); break;
    }
    return CallWindowProcW(g_pfnEditProc, hwnd, msg, wParam, lParam);
}

static void WriteHex(FILE *f, const unsigned char *p, size_t n)
{
    size_t i;
    for (i = 0; i < n; i++)
        fprintf(f, "%02x", p[i]);
}

static void WriteReport(void)
{
    char tmp[MAX_PATH + 8];
    FILE *f;
    int i;

    sprintf(tmp, "%s.tmp", g_pszReport);
    f = fopen(tmp, "wb");
    if (!f)
        return;
    fprintf(f, "acp %u\nfocus %d\n", GetACP(),
            GetFocus() == g_hwndField[1] && g_nFields > 1 ? 1 : 0);
    fprintf(f, "caps %d\n", GetKeyState(VK_CAPITAL) & 1);
    for (i = 0; i < g_nFields; i++) {
        int cch = GetWindowTextLengthW(g_hwndField[i]);
        WCHAR *w = calloc(cch + 1, sizeof(WCHAR));
        char *a = calloc(cch * 2 + 1, 1);
        GetWindowTextW(g_hwndField[i], w, cch + 1);
        GetWindowTextA(g_hwndField[i], a, cch * 2 + 1);
        fprintf(f, "field%d.ansi ", i);
        WriteHex(f, (unsigned char *)a, strlen(a));
        fprintf(f, "\nfield%d.utf16 ", i);
        WriteHex(f, (unsigned char *)w, wcslen(w) * sizeof(WCHAR));
        fprintf(f, "\n");
        free(w);
        free(a);
    }
    if (g_nRoundChars) {
        LARGE_INTEGER freq;
        QueryPerformanceFrequency(&freq);
        fprintf(f, "round %d\nfirst %lld\nlast %lld\nfreq %lld\n", g_nRound,
                (long long)g_qpcFirst.QuadPart, (long long)g_qpcLast.QuadPart,
                (long long)freq.QuadPart);
    }
    fprintf(f, "times%.*s\n", (int)g_cbTimes, g_pszTimes);
    fprintf(f, "events\n");
    fwrite(g_pszEvents, 1, g_cbEvents, f);
    fclose(f);
    MoveFileExA(tmp, g_pszReport, MOVEFILE_REPLACE_EXISTING);
    g_bDirty = FALSE;
}

/* The monitor's read of the clipboard, as an event. */
static void NoteClipboard(HWND hwnd)
{
    HANDLE h;
    const WCHAR *p = NULL;
    size_t n = 0, i;
    if (!OpenClipboard(hwnd))
        return;
    if ((h = GetClipboardData(CF_UNICODETEXT)) != NULL && (p = GlobalLock(h)) != NULL)
        n = wcslen(p);
    if (g_cbEvents + n * 4 + 16 < MAX_EVENTS * 16) {
        g_cbEvents += sprintf(g_pszEvents + g_cbEvents, "clip %s", p ? "" : "-");
        for (i = 0; i < n; i++)
            g_cbEvents += sprintf(g_pszEvents + g_cbEvents, "%02x%02x", p[i] & 0xFF, p[i] >> 8);
        g_pszEvents[g_cbEvents++] = '\n';
        g_bDirty = TRUE;
    }
    if (p)
        GlobalUnlock(h);
    CloseClipboard();
}

static void CopyAndHang(HWND hwnd)
{
    static const WCHAR kText[] = L"the user's own";
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, sizeof(kText));
    memcpy(GlobalLock(h), kText, sizeof(kText));
    GlobalUnlock(h);
    if (OpenClipboard(hwnd)) {
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, h);
        SetClipboardData(RegisterClipboardFormatA("NorzaLate"), NULL);
        CloseClipboard();
    }
}

static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_RENDERFORMAT:
        Sleep(INFINITE);
        return 0;
    case WM_DRAWCLIPBOARD:
        NoteClipboard(hwnd);
        if (g_hwndNextViewer)
            SendMessageW(g_hwndNextViewer, msg, wParam, lParam);
        return 0;
    case WM_CHANGECBCHAIN:
        if ((HWND)wParam == g_hwndNextViewer)
            g_hwndNextViewer = (HWND)lParam;
        else if (g_hwndNextViewer)
            SendMessageW(g_hwndNextViewer, msg, wParam, lParam);
        return 0;
    case WM_CREATE: {
        int i;
        if (g_nMode == MODE_MONITOR)
            g_hwndNextViewer = SetClipboardViewer(hwnd);
        else if (g_nMode == MODE_HUNGOWNER)
            CopyAndHang(hwnd);
        for (i = 0; i < g_nFields; i++) {
            /* In a form of two fields the first is one line, as a name or code
             * field would be, so Tab leaves it for the next. */
            DWORD style = i + 1 < g_nFields ? ES_AUTOHSCROLL
                        : WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
            g_hwndField[i] = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 10, 10 + i * 40, 360,
                i + 1 < g_nFields ? 24 : 100, hwnd, (HMENU)(INT_PTR)(100 + i), NULL, NULL);
            g_pfnEditProc = (WNDPROC)SetWindowLongPtrW(g_hwndField[i], GWLP_WNDPROC,
                                                      (LONG_PTR)FieldProc);
        }
        if (!g_nRoundChars)
            SetTimer(hwnd, IDT_REPORT, 50, NULL);
        return 0;
    }
    case WM_SETFOCUS:
        SetFocus(g_hwndField[0]);   /* NULL without fields: nothing keeps the focus */
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE)
            g_bDirty = TRUE;
        return 0;
    case WM_TIMER:
        if (wParam == IDT_PASTE) {
            KillTimer(hwnd, IDT_PASTE);
            g_bLatePaste = TRUE;
            SendMessageW(g_hwndField[0], WM_PASTE, 0, 0);
            g_bLatePaste = FALSE;
        }
        if (g_bDirty)
            WriteReport();
        return 0;
    case WM_DESTROY:
        if (g_nMode == MODE_MONITOR)
            ChangeClipboardChain(hwnd, g_hwndNextViewer);
        WriteReport();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInst, HINSTANCE hPrev, LPSTR lpCmdLine, int nShow)
{
    WNDCLASSA wc = { 0 };
    HWND hwnd;
    MSG msg;

    (void)hPrev;
    (void)lpCmdLine;
    if (__argc < 2) {
        MessageBoxA(NULL, "usage: typetarget <report-path> [fields [count [sink]]]", "typetarget",
                    MB_OK);
        return 2;
    }
    g_pszReport = __argv[1];
    if (__argc > 2) {
        static const char *const kModes[] = { "", "slowpaste", "pasteempty", "nopaste", "monitor", "hungowner" };
        for (g_nMode = MODE_HUNGOWNER; g_nMode > 0 && strcmp(__argv[2], kModes[g_nMode]); --g_nMode)
            ;
        g_nFields = atoi(__argv[2]) == 2 ? 2 : strcmp(__argv[2], "0") == 0 || g_nMode >= MODE_MONITOR ? 0 : 1;
    }
    if (__argc > 3 && atoi(__argv[3]) > 0)
        g_nRoundChars = atoi(__argv[3]);
    if (g_nRoundChars && __argc > 4 && strcmp(__argv[4], "sink") == 0) {
        g_bSink = TRUE;
        g_pwszSunk = calloc(g_nRoundChars + 1, sizeof(WCHAR));
    }
    g_pszEvents = malloc(MAX_EVENTS * 16);
    g_pszTimes = malloc(MAX_EVENTS * 32);   /* 12 bytes for each line of 6 or more */

    wc.lpfnWndProc = MainProc;
    wc.hInstance = hInst;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = "NorzaTypingTarget";
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, wc.lpszClassName, "Norza Typing Target",
                           WS_OVERLAPPEDWINDOW, 100, 100, 400, 280, NULL, NULL, hInst, NULL);
    if (g_nMode < MODE_MONITOR) {   /* the others stay out of the way */
        ShowWindow(hwnd, nShow);
        SetForegroundWindow(hwnd);
        SetFocus(g_hwndField[0]);
    }
    if (g_nRoundChars)
        WriteReport();

    /* The dialog keys move Tab between the fields, as in any form. Messages
     * travel as Unicode: Wine's ANSI message path turns a double-byte
     * character posted as lead and trail byte into two unknown characters,
     * which Windows does not; the events hold UTF-16 characters. */
    while (GetMessageW(&msg, NULL, 0, 0)) {
        if (!IsDialogMessageW(hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}
