/* Types its argument as key presses through keybd_event, as a person at the
 * keyboard would. Input from one process reaches another process's focused
 * control only when the sender owns a window, so it makes a hidden one.
 *
 *   sendkeys [-t] <text>
 *
 * With -t it prints the performance counter just before the first key and
 * just after the last ("start <count>", "end <count>", "freq <counts a
 * second>"), so a benchmark can time the typing without the process start.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static void Key(BYTE vk, DWORD flags)
{
    keybd_event(vk, 0, flags, 0);
}

static void PrintCounter(const char *name)
{
    LARGE_INTEGER n;
    QueryPerformanceCounter(&n);
    printf("%s %lld\n", name, (long long)n.QuadPart);
}

int main(int argc, char **argv)
{
    const unsigned char *p;
    HWND hwnd;
    int bTimed = argc == 3 && strcmp(argv[1], "-t") == 0;
    LARGE_INTEGER freq;

    if (argc != 2 && !bTimed)
        return 2;
    hwnd = CreateWindowExA(0, "STATIC", "sendkeys", WS_POPUP, 0, 0, 1, 1,
                           NULL, NULL, NULL, NULL);
    if (bTimed)
        PrintCounter("start");
    for (p = (const unsigned char *)argv[argc - 1]; *p; p++) {
        SHORT r = VkKeyScanA((char)*p);
        BOOL bShift = (r >> 8) & 1;
        if (r == -1)
            return 1;
        if (bShift)
            Key(VK_SHIFT, 0);
        Key(LOBYTE(r), 0);
        Key(LOBYTE(r), KEYEVENTF_KEYUP);
        if (bShift)
            Key(VK_SHIFT, KEYEVENTF_KEYUP);
    }
    if (bTimed) {
        PrintCounter("end");
        QueryPerformanceFrequency(&freq);
        printf("freq %lld\n", (long long)freq.QuadPart);
    }
    DestroyWindow(hwnd);
    return 0;
}
