/* A stand-in browser registered for .html: appends its command line, in UTF-8
 * and a line of its own, to the file its first argument names. */
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrev, LPSTR pszCmdLine, int nShow)
{
    (void)hInstance; (void)hPrev; (void)pszCmdLine; (void)nShow;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    char szLine[8192];
    int cb = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, szLine, sizeof(szLine) - 1, NULL, NULL);
    if (!argv || argc < 2 || cb <= 0)
        return 2;
    szLine[cb - 1] = '\n';
    HANDLE hFile = CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    DWORD cbWritten = 0;
    return hFile != INVALID_HANDLE_VALUE && WriteFile(hFile, szLine, (DWORD)cb, &cbWritten, NULL) ? 0 : 3;
}
