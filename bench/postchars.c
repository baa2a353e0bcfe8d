/* The least a program can do to type text in character mode: posts every
 * byte of a file as WM_CHAR to the focused control of the foreground window.
 *
 *   postchars <path>      one file
 *   postchars             each line of stdin a path, until stdin ends
 *
 * For each file it prints a line with the performance counter just before it
 * looks for the focus and just after the last post:
 * "start <count> end <count> freq <counts a second>".
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static int Post(const char *pszPath)
{
    static unsigned char text[1 << 20];
    LARGE_INTEGER start, end, freq;
    GUITHREADINFO gti;
    size_t n, i;
    FILE *f = fopen(pszPath, "rb");

    if (!f)
        return 2;
    n = fread(text, 1, sizeof(text), f);
    fclose(f);

    QueryPerformanceCounter(&start);
    gti.cbSize = sizeof(gti);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(GetForegroundWindow(), NULL), &gti) ||
        !gti.hwndFocus)
        return 1;
    for (i = 0; i < n; i++)
        PostMessageA(gti.hwndFocus, WM_CHAR, text[i], 0);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&freq);
    printf("start %lld end %lld freq %lld\n", (long long)start.QuadPart,
           (long long)end.QuadPart, (long long)freq.QuadPart);
    fflush(stdout);
    return 0;
}

int main(int argc, char **argv)
{
    static char line[4096];
    int rc = 0;

    if (argc == 2)
        return Post(argv[1]);
    if (argc != 1)
        return 2;
    while (rc == 0 && fgets(line, sizeof(line), stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        rc = Post(line);
    }
    return rc;
}
