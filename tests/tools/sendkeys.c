/* Types its argument as key presses through keybd_event, as a person at the
 * keyboard would. Input from one process reaches another process's focused
 * control only when the sender owns a window, so it makes a hidden one.
 *
 *   sendkeys <text>
 *   sendkeys -t <text>      the same, timed
 *   sendkeys -t             timed, each line of stdin a text, until stdin ends
 *
 * Timed, it prints a line for each text with the performance counter just
 * before its first key and just after its last:
 * "start <count> end <count> freq <counts a second>", so a benchmark can time
 * the typing without the process start.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static void Key(BYTE vk, DWORD flags)
{
    keybd_event(vk, 0, flags, 0);
}

/* FALSE when a character has no key on the keyboard layout. */
static BOOL Type(const unsigned char *p)
{
    for (; *p; p++) {
        SHORT r = VkKeyScanA((char)*p);
        BOOL bShift = (r >> 8) & 1;
        if (r == -1)
            return FALSE;
        if (bShift)
            Key(VK_SHIFT, 0);
        Key(LOBYTE(r), 0);
        Key(LOBYTE(r), KEYEVENTF_KEYUP);
        if (bShift)
            Key(VK_SHIFT, KEYEVENTF_KEYUP);
    }
    return TRUE;
}

static BOOL TypeTimed(const unsigned char *p)
{
    LARGE_INTEGER start, end, freq;
    BOOL bOk;
    QueryPerformanceCounter(&start);
    bOk = Type(p);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&freq);
    printf("start %lld end %lld freq %lld\n", (long long)start.QuadPart,
           (long long)end.QuadPart, (long long)freq.QuadPart);
    fflush(stdout);
    return bOk;
}

int main(int argc, char **argv)
{
    static char line[65536];
    HWND hwnd;
    BOOL bTimed = argc > 1 && strcmp(argv[1], "-t") == 0;
    BOOL bOk = TRUE;

    if (argc != 2 + bTimed && !(bTimed && argc == 2))
        return 2;
    hwnd = CreateWindowExA(0, "STATIC", "sendkeys", WS_POPUP, 0, 0, 1, 1,
                           NULL, NULL, NULL, NULL);
    if (!bTimed) {
        bOk = Type((const unsigned char *)argv[1]);
    } else if (argc == 3) {
        bOk = TypeTimed((const unsigned char *)argv[2]);
    } else {
        while (bOk && fgets(line, sizeof(line), stdin)) {
            line[strcspn(line, "\r\n")] = 0;
            bOk = TypeTimed((const unsigned char *)line);
        }
    }
    DestroyWindow(hwnd);
    return bOk ? 0 : 1;
}
