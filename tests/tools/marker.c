/* Leaves "<own path>.started" behind when run, so a test can tell that a
 * program it never meant to start was started. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE hInst, HINSTANCE hPrev, LPSTR lpCmdLine, int nShow)
{
    char path[MAX_PATH + 16];
    HANDLE h;
    (void)hInst; (void)hPrev; (void)lpCmdLine; (void)nShow;
    GetModuleFileNameA(NULL, path, MAX_PATH);
    lstrcatA(path, ".started");
    h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return 0;
}
