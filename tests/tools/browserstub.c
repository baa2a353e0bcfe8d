/* A stand-in browser: registered for .html in the test prefix, it appends its
 * whole command line, in UTF-8 and on a line of its own, to the file its
 * first argument names, and ends. */
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrev, LPSTR pszCmdLine, int nShow)
{
    (void)hInstance; (void)hPrev; (void)pszCmdLine; (void)nShow;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 2;
    LPCWSTR pszLine = GetCommandLineW();
    int cb = WideCharToMultiByte(CP_UTF8, 0, pszLine, -1, NULL, 0, NULL, NULL);
    char* pUtf8 = (char*)HeapAlloc(GetProcessHeap(), 0, cb + 1);
    if (!pUtf8)
        return 3;
    WideCharToMultiByte(CP_UTF8, 0, pszLine, -1, pUtf8, cb, NULL, NULL);
    pUtf8[cb - 1] = '\n';
    HANDLE hFile = CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return 4;
    DWORD cbWritten = 0;
    BOOL bOk = WriteFile(hFile, pUtf8, (DWORD)cb, &cbWritten, NULL);
    CloseHandle(hFile);
    return bOk && cbWritten == (DWORD)cb ? 0 : 5;
}
