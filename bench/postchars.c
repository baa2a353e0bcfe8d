/* The least a program can do to type text in character mode: posts every
 * byte of a file as WM_CHAR to the focused control of the foreground window.
 * Prints the performance counter just before it looks for the focus and
 * just after the last post ("start <count>", "end <count>", "freq <counts a
 * second>").
 *
 *   postchars <path>
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static void PrintCounter(const char *name)
{
    LARGE_INTEGER n;
    QueryPerformanceCounter(&n);
    printf("%s %lld\n", name, (long long)n.QuadPart);
}

int main(int argc, char **argv)
{
    static unsigned char text[1 << 20];
    size_t n, i;
    FILE *f;
    GUITHREADINFO gti;
    LARGE_INTEGER freq;

    if (argc != 2 || !(f = fopen(argv[1], "rb")))
        return 2;
    n = fread(text, 1, sizeof(text), f);
    fclose(f);

    PrintCounter("start");
    gti.cbSize = sizeof(gti);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(GetForegroundWindow(), NULL), &gti) ||
        !gti.hwndFocus)
        return 1;
    for (i = 0; i < n; i++)
        PostMessageA(gti.hwndFocus, WM_CHAR, text[i], 0);
    PrintCounter("end");
    QueryPerformanceFrequency(&freq);
    printf("freq %lld\n", (long long)freq.QuadPart);
    return 0;
}
