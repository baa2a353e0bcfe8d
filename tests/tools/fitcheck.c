/* Checks a window's layout at the screen's DPI, for tests:
 *
 *   fitcheck <hwnd> <font face> <points> <id>
 *
 * For each shown control: "cut <id> <text>" when its text, in the dialog's
 * font at this DPI, is wider (or, wrapped, taller) than the room the control
 * gives it; "overlap <id> <id>" for two shown controls of one parent whose
 * rectangles intersect. Group boxes and tab controls hold others and are not
 * compared. Prints nothing when all fits. Exit code 3 while the control
 * <id> is not shown yet (a page not turned to), 2 on bad arguments.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HDC s_hdc;
static HWND s_controls[256];
static int s_count;

static BOOL CALLBACK Collect(HWND hwnd, LPARAM lParam)
{
    (void)lParam;
    if (IsWindowVisible(hwnd) && s_count < 256)
        s_controls[s_count++] = hwnd;
    return TRUE;
}

static int IsClass(HWND hwnd, const char *name)
{
    char cls[64];
    GetClassNameA(hwnd, cls, sizeof(cls));
    return !lstrcmpiA(cls, name);
}

static int IsContainer(HWND hwnd)
{
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    return IsClass(hwnd, "SysTabControl32") || IsClass(hwnd, "#32770") ||
           (IsClass(hwnd, "Button") && (style & BS_TYPEMASK) == BS_GROUPBOX);
}

static void CheckText(HWND hwnd)
{
    WCHAR text[512];
    RECT client, need;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    UINT flags = DT_CALCRECT;
    int room, type = style & BS_TYPEMASK, lineHeight;
    TEXTMETRICW tm;
    if (!GetWindowTextW(hwnd, text, 512) || !text[0])
        return;
    GetClientRect(hwnd, &client);
    room = client.right;
    if (IsClass(hwnd, "Static")) {
        if ((style & SS_TYPEMASK) > SS_RIGHT)
            return;
        if (style & SS_NOPREFIX)
            flags |= DT_NOPREFIX;
    } else if (IsClass(hwnd, "Button")) {
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
            type == BS_3STATE || type == BS_AUTO3STATE)
            room -= GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE);
        else
            room -= 2 * GetSystemMetrics(SM_CXEDGE);
    } else {
        return;
    }
    GetTextMetricsW(s_hdc, &tm);
    lineHeight = tm.tmHeight;
    SetRect(&need, 0, 0, room, 0);
    if (client.bottom >= 2 * lineHeight)
        flags |= DT_WORDBREAK;
    DrawTextW(s_hdc, text, -1, &need, flags);
    if (need.right > room || need.bottom > client.bottom + 1) {
        char u[1536];
        WideCharToMultiByte(CP_UTF8, 0, text, -1, u, sizeof(u), NULL, NULL);
        printf("cut %d \"%s\"\n", GetDlgCtrlID(hwnd), u);
    }
}

int main(int argc, char **argv)
{
    BOOL (WINAPI *pSetProcessDPIAware)(void);
    WCHAR face[64];
    HWND top;
    int i, j;
    RECT a, b, both;
    if (argc != 5)
        return 2;
    /* Coordinates and the font in the screen's own pixels, as the program
     * sees them. */
    pSetProcessDPIAware = (BOOL (WINAPI *)(void))(void *)GetProcAddress(GetModuleHandleA("user32.dll"),
                                                                        "SetProcessDPIAware");
    if (pSetProcessDPIAware)
        pSetProcessDPIAware();
    top = (HWND)(ULONG_PTR)strtoul(argv[1], NULL, 0);
    s_hdc = GetDC(NULL);
    MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, face, 64);
    SelectObject(s_hdc, CreateFontW(-MulDiv(atoi(argv[3]), GetDeviceCaps(s_hdc, LOGPIXELSY), 72), 0, 0, 0,
                                    FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face));
    EnumChildWindows(top, Collect, 0);
    for (i = 0; i < s_count && GetDlgCtrlID(s_controls[i]) != atoi(argv[4]); ++i) {
    }
    if (i == s_count)
        return 3;
    for (i = 0; i < s_count; ++i) {
        if (IsContainer(s_controls[i]))
            continue;
        CheckText(s_controls[i]);
        GetWindowRect(s_controls[i], &a);
        for (j = i + 1; j < s_count; ++j) {
            if (IsContainer(s_controls[j]) || GetParent(s_controls[j]) != GetParent(s_controls[i]))
                continue;
            GetWindowRect(s_controls[j], &b);
            if (IntersectRect(&both, &a, &b))
                printf("overlap %d %d\n", GetDlgCtrlID(s_controls[i]), GetDlgCtrlID(s_controls[j]));
        }
    }
    return 0;
}
