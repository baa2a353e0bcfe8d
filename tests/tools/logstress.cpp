// Writes the log from a process of its own, for tests with many writers.
//
//   logstress <path> <count> <tag>   writes count entries under the tag
//   logstress hold-lock              takes the log lock as a writer does and keeps it until killed
//   logstress hold-file <path>       opens the file sharing nothing, keeps it until killed
//   logstress hold-file <path> read  opens it to read as a log viewer does, sharing
//                                    reading and writing, keeps it until killed
//
// Each prints one line once it is under way, so a test knows it has started.
#include <logfile.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int HoldLock()
{
    HANDLE h = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, LOG_EVENT_NAME);
    if (!h)
        h = CreateEventA(NULL, FALSE, TRUE, LOG_EVENT_NAME);
    HANDLE hOwner = CreateMutexA(NULL, FALSE, LOG_OWNER_NAME);
    if (!h || !hOwner || WaitForSingleObject(h, INFINITE) != WAIT_OBJECT_0 ||
        WaitForSingleObject(hOwner, INFINITE) != WAIT_OBJECT_0)
        return 1;
    printf("holding\n");
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

// Another program that has the log open: one that lets nobody else in, as
// an editor or a copy tool may, or a viewer that follows the log as it grows.
static int HoldFile(LPCSTR pszPath, bool bReader)
{
    HANDLE h = bReader
        ? CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL)
        : CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    printf("holding\n");
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

static int WriteEntries(LPCSTR pszPath, int nCount, LPCSTR pszTag)
{
    SetLogFile(pszPath);
    printf("writing %s\n", pszTag);
    fflush(stdout);
    DWORD pid = GetCurrentProcessId();
    for (int i = 0; i < nCount; ++i)
        LogWrite(pszTag, "Decode:%d/%d pid %lu %s", i, nCount, pid, "0123456789ABCDEF");
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "hold-lock") == 0)
        return HoldLock();
    if (argc == 3 && strcmp(argv[1], "hold-file") == 0)
        return HoldFile(argv[2], false);
    if (argc == 4 && strcmp(argv[1], "hold-file") == 0 && strcmp(argv[3], "read") == 0)
        return HoldFile(argv[2], true);
    if (argc == 4)
        return WriteEntries(argv[1], atoi(argv[2]), argv[3]);
    fprintf(stderr, "usage: logstress <path> <count> <tag> | logstress hold-lock | "
                    "logstress hold-file <path> [read]\n");
    return 2;
}
