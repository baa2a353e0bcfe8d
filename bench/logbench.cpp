// How many log entries a second LogWrite manages, from one process and from
// four at once, against a bare open-append-close loop writing lines of the
// same length in the same run.
//
//   logbench [entries]                          every measurement, as a table
//   logbench child log|bare <path> <entries> <go> <ready>   one of the four writers
#include <logfile.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>

namespace {

const int kWriters = 4;
const int kRounds = 3;
const char kMessage[] = "0123456789ABCDEF";
// A log line as LogWrite makes it: line break, stamp, tag, message.
const char kBareLine[] = "\r\n[12- 7 21: 0:19_760][Decode]Decode:0123456789ABCDEF";

double Seconds()
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return (double)now.QuadPart / (double)freq.QuadPart;
}

void WriteBare(LPCSTR pszPath, int nEntries)
{
    DWORD n;
    for (int i = 0; i < nEntries; ++i) {
        HANDLE h = CreateFileA(pszPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        WriteFile(h, kBareLine, sizeof kBareLine - 1, &n, NULL);
        CloseHandle(h);
    }
}

void WriteLog(LPCSTR pszPath, int nEntries)
{
    SetLogFile(pszPath);
    for (int i = 0; i < nEntries; ++i)
        LogWrite("Decode", "Decode:%s", kMessage);
}

void Write(LPCSTR pszMode, LPCSTR pszPath, int nEntries)
{
    if (strcmp(pszMode, "log") == 0)
        WriteLog(pszPath, nEntries);
    else
        WriteBare(pszPath, nEntries);
}

int Child(char** argv)
{
    HANDLE hGo = OpenEventA(SYNCHRONIZE, FALSE, argv[5]);
    HANDLE hReady = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[6]);
    if (!hGo || !hReady)
        return 1;
    ReleaseSemaphore(hReady, 1, NULL);
    WaitForSingleObject(hGo, INFINITE);
    Write(argv[2], argv[3], atoi(argv[4]));
    return 0;
}

HANDLE Spawn(LPCSTR pszArgs)
{
    char szExe[MAX_PATH];
    GetModuleFileNameA(NULL, szExe, MAX_PATH);
    char szCmd[2 * MAX_PATH + 200];
    wsprintfA(szCmd, "\"%s\" %s", szExe, pszArgs);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, szCmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return NULL;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Seconds for four processes to write their entries, counted from the moment
// all of them are started and waiting.
double TimeFour(LPCSTR pszMode, LPCSTR pszPath, int nEntries)
{
    char szGo[64], szReady[64], szArgs[MAX_PATH + 200];
    wsprintfA(szGo, "NorzaBenchGo%lu", GetCurrentProcessId());
    wsprintfA(szReady, "NorzaBenchReady%lu", GetCurrentProcessId());
    HANDLE hGo = CreateEventA(NULL, TRUE, FALSE, szGo);
    HANDLE hReady = CreateSemaphoreA(NULL, 0, kWriters, szReady);
    wsprintfA(szArgs, "child %s \"%s\" %d %s %s", pszMode, pszPath, nEntries, szGo, szReady);

    HANDLE procs[kWriters];
    for (int i = 0; i < kWriters; ++i)
        procs[i] = Spawn(szArgs);
    for (int i = 0; i < kWriters; ++i)
        WaitForSingleObject(hReady, INFINITE);
    double t0 = Seconds();
    SetEvent(hGo);
    WaitForMultipleObjects(kWriters, procs, TRUE, INFINITE);
    double t = Seconds() - t0;

    for (int i = 0; i < kWriters; ++i)
        CloseHandle(procs[i]);
    CloseHandle(hGo);
    CloseHandle(hReady);
    return t;
}

double TimeOne(LPCSTR pszMode, LPCSTR pszPath, int nEntries)
{
    double t0 = Seconds();
    Write(pszMode, pszPath, nEntries);
    return Seconds() - t0;
}

int CountLines(LPCSTR pszPath)
{
    int nLines = 0;
    HANDLE h = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    char buf[65536];
    DWORD n;
    while (ReadFile(h, buf, sizeof buf, &n, NULL) && n > 0) {
        for (DWORD i = 0; i < n; ++i)
            nLines += buf[i] == '\n';
    }
    CloseHandle(h);
    return nLines;
}

// Runs one measurement on a fresh file; returns entries a second and adds
// the lines that never arrived to *pnLost.
double Measure(int nProcesses, LPCSTR pszMode, int nEntries, int* pnLost)
{
    char szPath[MAX_PATH];
    GetTempPathA(MAX_PATH, szPath);
    lstrcatA(szPath, "logbench.log");
    DeleteFileA(szPath);
    double t = nProcesses == 1 ? TimeOne(pszMode, szPath, nEntries)
                               : TimeFour(pszMode, szPath, nEntries);
    *pnLost += nProcesses * nEntries - CountLines(szPath);
    DeleteFileA(szPath);
    return nProcesses * nEntries / t;
}

// Best of a few rounds, bare and LogWrite taking turns, so that a busy
// machine slows both alike.
void Report(int nProcesses, LPCSTR pszLabel, int nEntries)
{
    double bare = 0, log = 0;
    int nBareLost = 0, nLogLost = 0;
    for (int round = 0; round < kRounds; ++round) {
        bare = std::max(bare, Measure(nProcesses, "bare", nEntries, &nBareLost));
        log = std::max(log, Measure(nProcesses, "log", nEntries, &nLogLost));
    }
    printf("%-15s %12.0f %12.0f %13.2f\n", pszLabel, bare, log, log / bare);
    int nTotal = kRounds * nProcesses * nEntries;
    if (nBareLost || nLogLost)
        printf("  lines lost: bare %d, LogWrite %d, of %d each\n", nBareLost, nLogLost, nTotal);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 7 && strcmp(argv[1], "child") == 0)
        return Child(argv);
    int nEntries = argc > 1 ? atoi(argv[1]) : 5000;
    if (nEntries <= 0) {
        fprintf(stderr, "usage: logbench [entries per process]\n");
        return 2;
    }
    printf("%d entries per process, best of %d rounds\n", nEntries, kRounds);
    printf("%-15s %12s %12s %13s\n", "", "bare/s", "LogWrite/s", "LogWrite/bare");
    Report(1, "one process", nEntries);
    Report(kWriters, "four processes", nEntries);
    return 0;
}
