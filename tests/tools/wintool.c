/* Looks at and pokes windows the way the shell or a user would, for tests.
 *
 *   wintool list                      top-level windows and their controls, with each
 *                                     control's parent (a page of a tabbed dialog)
 *   wintool post <hwnd> <msg> <w> <l> PostMessage
 *   wintool send <hwnd> <msg> <w> <l> SendMessage, prints the result
 *   wintool tray-delete <hwnd> <id>   removes a tray icon, as a crashed shell loses it
 *   wintool broadcast <name>          broadcasts a registered message
 *   wintool foreground <hwnd>         brings a window to the foreground
 *   wintool foreground                prints the foreground window (0x00000000 if none)
 *   wintool held <vk>                 exit code 0 when the system has the key down
 *   wintool text <hwnd>               a control's text, asked of its owner (WM_GETTEXT)
 *   wintool controls <hwnd>           a window's controls: id, enabled (1/0), check or choice,
 *                                     and text (WM_GETTEXT)
 *   wintool settext <hwnd> <text>     sets a control's text (WM_SETTEXT, Unicode)
 *   wintool chars <hwnd> <text>       posts the text as typed characters (WM_CHAR, Unicode)
 *   wintool busy-tray <ms>            for that long, a notification area that refuses
 *                                     every icon, found before the real one
 *   wintool clipboard <text>          puts the text on the clipboard, as a user's copy
 *   wintool clipboard                 prints the clipboard's Unicode text
 *   wintool rows <hwnd> [<row>]       a list view's rows, their columns separated by tabs,
 *                                     after selecting the row alone when given
 *   wintool ping <hwnd> <ms>          for that long, asks the window a message every 50 ms;
 *                                     prints the slowest answer in ms (-1: none in 5 s)
 *   wintool serve                     runs each line of stdin as a command, its words
 *                                     separated by tabs (UTF-8); after each command's
 *                                     output prints "\x1e<exit code>\n"
 *
 * Numbers may be decimal or 0x-hex. Texts are printed as UTF-8.
 */
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <io.h>

static void PrintText(HWND hwnd)
{
    WCHAR w[512], *p;
    char u[1536];
    GetWindowTextW(hwnd, w, 512);
    for (p = w; *p; ++p) {   /* one line per window */
        if (*p == '\r' || *p == '\n')
            *p = ' ';
    }
    WideCharToMultiByte(CP_UTF8, 0, w, -1, u, sizeof(u), NULL, NULL);
    printf("\"%s\"", u);
}

static BOOL CALLBACK ListChild(HWND hwnd, LPARAM lParam)
{
    char cls[64];
    (void)lParam;
    GetClassNameA(hwnd, cls, sizeof(cls));
    printf("  child 0x%08lx %s %d parent 0x%08lx ", (unsigned long)(ULONG_PTR)hwnd, cls, GetDlgCtrlID(hwnd),
           (unsigned long)(ULONG_PTR)GetParent(hwnd));
    PrintText(hwnd);
    printf("\n");
    return TRUE;
}

/* A dialog's control as the user finds it: enabled or not, what it shows
 * besides its text (a check box's check, a combo box's choice), and its
 * text, asked of its owner. */
static BOOL CALLBACK ListControl(HWND hwnd, LPARAM lParam)
{
    char cls[64], u[1536];
    WCHAR w[512] = { 0 }, *p;
    LRESULT state = 0;
    (void)lParam;
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (!lstrcmpiA(cls, "Button"))
        state = SendMessageA(hwnd, BM_GETCHECK, 0, 0);
    else if (!lstrcmpiA(cls, "ComboBox"))
        state = SendMessageA(hwnd, CB_GETCURSEL, 0, 0);
    SendMessageW(hwnd, WM_GETTEXT, 512, (LPARAM)w);
    for (p = w; *p; ++p) {
        if (*p == '\r' || *p == '\n')
            *p = ' ';
    }
    WideCharToMultiByte(CP_UTF8, 0, w, -1, u, sizeof(u), NULL, NULL);
    printf("%d %d %ld \"%s\"\n", GetDlgCtrlID(hwnd), IsWindowEnabled(hwnd) ? 1 : 0, (long)state, u);
    return TRUE;
}

static BOOL CALLBACK ListTop(HWND hwnd, LPARAM lParam)
{
    char cls[64];
    DWORD pid;
    RECT rc;
    (void)lParam;
    GetClassNameA(hwnd, cls, sizeof(cls));
    GetWindowThreadProcessId(hwnd, &pid);
    GetWindowRect(hwnd, &rc);
    printf("window 0x%08lx pid %lu %s visible %d rect %ld %ld %ld %ld style 0x%08lx exstyle 0x%08lx ",
           (unsigned long)(ULONG_PTR)hwnd, (unsigned long)pid, cls, IsWindowVisible(hwnd) ? 1 : 0,
           rc.left, rc.top, rc.right, rc.bottom, (unsigned long)GetWindowLongA(hwnd, GWL_STYLE),
           (unsigned long)GetWindowLongA(hwnd, GWL_EXSTYLE));
    PrintText(hwnd);
    printf("\n");
    EnumChildWindows(hwnd, ListChild, 0);
    return TRUE;
}

static void PrintUtf8(const WCHAR *w)
{
    static char u[65536 * 3];
    WideCharToMultiByte(CP_UTF8, 0, w, -1, u, sizeof(u), NULL, NULL);
    fwrite(u, 1, strlen(u), stdout);
}

/* A list view answers with pointers into its own process: the item record
 * and the text buffer are lent to it there. */
static int ListRows(HWND list, int select)
{
    DWORD pid;
    HANDLE process;
    char *remote;
    int rows, columns, row, column;
    LVITEMW item = { 0 };
    static WCHAR text[4096];
    GetWindowThreadProcessId(list, &pid);
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return 1;
    remote = VirtualAllocEx(process, NULL, sizeof(item) + sizeof(text), MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return 1;
    if (select >= 0) {
        /* As a click: the row alone selected. */
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(process, remote, &item, sizeof(item), NULL);
        SendMessageW(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)remote);
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(process, remote, &item, sizeof(item), NULL);
        SendMessageW(list, LVM_SETITEMSTATE, select, (LPARAM)remote);
    }
    rows = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    columns = (int)SendMessageW((HWND)SendMessageW(list, LVM_GETHEADER, 0, 0), HDM_GETITEMCOUNT, 0, 0);
    for (row = 0; row < rows; ++row) {
        for (column = 0; column < columns; ++column) {
            memset(&item, 0, sizeof(item));
            item.iSubItem = column;
            item.pszText = (LPWSTR)(remote + sizeof(item));
            item.cchTextMax = sizeof(text) / sizeof(WCHAR);
            WriteProcessMemory(process, remote, &item, sizeof(item), NULL);
            SendMessageW(list, LVM_GETITEMTEXTW, row, (LPARAM)remote);
            ReadProcessMemory(process, remote + sizeof(item), text, sizeof(text), NULL);
            text[sizeof(text) / sizeof(WCHAR) - 1] = 0;
            if (column)
                printf("\t");
            PrintUtf8(text);
        }
        printf("\n");
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return 0;
}

/* The command's arguments as Unicode: main's are in the ANSI code page,
 * which may lack the characters. */
static WCHAR **g_wargv;
static int g_wargc;

static WCHAR *WideArg(int i)
{
    return g_wargv && i < g_wargc ? g_wargv[i] : L"";
}

static ULONG_PTR Num(const char *s)
{
    return (ULONG_PTR)strtoul(s, NULL, 0);
}

static LRESULT CALLBACK BusyTrayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COPYDATA)
        return FALSE;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static int BusyTray(DWORD ms)
{
    WNDCLASSA wc = { 0 };
    MSG msg;
    DWORD end = GetTickCount() + ms;
    wc.lpfnWndProc = BusyTrayProc;
    wc.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&wc);
    if (!CreateWindowExA(0, wc.lpszClassName, NULL, WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL))
        return 1;
    printf("ready\n");
    fflush(stdout);
    while ((LONG)(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    return 0;
}

static int Run(int argc, char **argv);

/* One process for all of a test's probes: a Wine process takes long to start. */
static int Serve(void)
{
    static char line[65536];
    while (fgets(line, sizeof(line), stdin)) {
        static WCHAR wline[65536];
        WCHAR *wargv[16], *p;
        char *argv[16];
        int argc = 1, i;
        line[strcspn(line, "\r\n")] = 0;
        MultiByteToWideChar(CP_UTF8, 0, line, -1, wline, 65536);
        wargv[0] = L"wintool";
        for (p = wline; argc < 16;) {
            wargv[argc++] = p;
            p = wcschr(p, L'\t');
            if (!p)
                break;
            *p++ = 0;
        }
        for (i = 0; i < argc; ++i) {
            int n = WideCharToMultiByte(CP_ACP, 0, wargv[i], -1, NULL, 0, NULL, NULL);
            argv[i] = (char *)malloc(n);
            WideCharToMultiByte(CP_ACP, 0, wargv[i], -1, argv[i], n, NULL, NULL);
        }
        g_wargv = wargv;
        g_wargc = argc;
        i = Run(argc, argv);
        printf("\x1e%d\n", i);
        fflush(stdout);
        while (argc)
            free(argv[--argc]);
    }
    return 0;
}

int main(int argc, char **argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    g_wargv = CommandLineToArgvW(GetCommandLineW(), &g_wargc);
    if (argc == 2 && !strcmp(argv[1], "serve"))
        return Serve();
    return Run(argc, argv);
}

static int Run(int argc, char **argv)
{
    const char *cmd = argc > 1 ? argv[1] : "";
    if (!strcmp(cmd, "list") && argc == 2) {
        EnumWindows(ListTop, 0);
    } else if ((!strcmp(cmd, "post") || !strcmp(cmd, "send")) && argc == 6) {
        HWND hwnd = (HWND)Num(argv[2]);
        UINT msg = (UINT)Num(argv[3]);
        if (!strcmp(cmd, "post"))
            return PostMessageA(hwnd, msg, Num(argv[4]), (LPARAM)Num(argv[5])) ? 0 : 1;
        printf("%ld\n", (long)SendMessageA(hwnd, msg, Num(argv[4]), (LPARAM)Num(argv[5])));
    } else if (!strcmp(cmd, "tray-delete") && argc == 4) {
        NOTIFYICONDATAA nid = { 0 };
        nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
        nid.hWnd = (HWND)Num(argv[2]);
        nid.uID = (UINT)Num(argv[3]);
        return Shell_NotifyIconA(NIM_DELETE, &nid) ? 0 : 1;
    } else if (!strcmp(cmd, "broadcast") && argc == 3) {
        return SendNotifyMessageA(HWND_BROADCAST, RegisterWindowMessageA(argv[2]), 0, 0) ? 0 : 1;
    } else if (!strcmp(cmd, "controls") && argc == 3) {
        EnumChildWindows((HWND)Num(argv[2]), ListControl, 0);
    } else if (!strcmp(cmd, "text") && argc == 3) {
        static WCHAR w[65536];
        static char u[65536 * 3];
        SendMessageW((HWND)Num(argv[2]), WM_GETTEXT, 65536, (LPARAM)w);
        WideCharToMultiByte(CP_UTF8, 0, w, -1, u, sizeof(u), NULL, NULL);
        fwrite(u, 1, strlen(u), stdout);
    } else if (!strcmp(cmd, "settext") && argc == 4) {
        return SendMessageW((HWND)Num(argv[2]), WM_SETTEXT, 0, (LPARAM)WideArg(3)) ? 0 : 1;
    } else if (!strcmp(cmd, "chars") && argc == 4) {
        const WCHAR *p;
        for (p = WideArg(3); *p; ++p) {
            if (!PostMessageW((HWND)Num(argv[2]), WM_CHAR, *p, 1))
                return 1;
        }
    } else if (!strcmp(cmd, "clipboard") && argc == 3) {
        int n = MultiByteToWideChar(CP_ACP, 0, argv[2], -1, NULL, 0);
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, n * sizeof(WCHAR));
        MultiByteToWideChar(CP_ACP, 0, argv[2], -1, (WCHAR *)GlobalLock(h), n);
        GlobalUnlock(h);
        if (!OpenClipboard(NULL))
            return 1;
        EmptyClipboard();
        int ok = SetClipboardData(CF_UNICODETEXT, h) != NULL;
        CloseClipboard();
        return ok ? 0 : 1;
    } else if (!strcmp(cmd, "clipboard") && argc == 2) {
        HANDLE h;
        if (!OpenClipboard(NULL))
            return 1;
        h = GetClipboardData(CF_UNICODETEXT);
        if (h) {
            PrintUtf8((const WCHAR *)GlobalLock(h));
            GlobalUnlock(h);
        }
        CloseClipboard();
        return h ? 0 : 1;
    } else if (!strcmp(cmd, "rows") && (argc == 3 || argc == 4)) {
        return ListRows((HWND)Num(argv[2]), argc == 4 ? (int)Num(argv[3]) : -1);
    } else if (!strcmp(cmd, "ping") && argc == 4) {
        DWORD start = GetTickCount(), slowest = 0;
        while (GetTickCount() - start < (DWORD)Num(argv[3])) {
            DWORD t0 = GetTickCount();
            DWORD_PTR r;
            if (!SendMessageTimeoutA((HWND)Num(argv[2]), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r)) {
                printf("-1\n");
                return 1;
            }
            if (GetTickCount() - t0 > slowest)
                slowest = GetTickCount() - t0;
            Sleep(50);
        }
        printf("%lu\n", (unsigned long)slowest);
    } else if (!strcmp(cmd, "busy-tray") && argc == 3) {
        return BusyTray((DWORD)Num(argv[2]));
    } else if (!strcmp(cmd, "foreground") && argc == 2) {
        printf("0x%08lx\n", (unsigned long)(ULONG_PTR)GetForegroundWindow());
    } else if (!strcmp(cmd, "held") && argc == 3) {
        return GetAsyncKeyState((int)Num(argv[2])) & 0x8000 ? 0 : 1;
    } else if (!strcmp(cmd, "foreground") && argc == 3) {
        /* Only a process that owns a window may take the foreground; one
         * left behind would be seen in the next list. */
        HWND own = CreateWindowExA(0, "STATIC", "wintool", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
        int rc = SetForegroundWindow((HWND)Num(argv[2])) ? 0 : 1;
        if (own)
            DestroyWindow(own);
        return rc;
    } else {
        fprintf(stderr, "usage: wintool list | post|send <hwnd> <msg> <w> <l> | "
                        "tray-delete <hwnd> <id> | broadcast <name> | foreground [hwnd] | held <vk> | "
                        "text <hwnd> | controls <hwnd> | "
                        "settext|chars <hwnd> <text> | "
                        "busy-tray <ms> | clipboard [text] | rows <hwnd> [row] | ping <hwnd> <ms>\n");
        return 2;
    }
    fflush(stdout);
    return 0;
}
