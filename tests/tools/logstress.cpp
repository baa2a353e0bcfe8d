// Writes the log from a process of its own, for tests with many writers.
//
//   logstress <path> <count> <tag>   writes count entries under the tag
//   logstress hold-lock              takes the log lock and keeps it until killed
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
    if (!h || WaitForSingleObject(h, INFINITE) != WAIT_OBJECT_0)
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
    if (argc == 4)
        return WriteEntries(argv[1], atoi(argv[2]), argv[3]);
    fprintf(stderr, "usage: logstress <path> <count> <tag> | logstress hold-lock\n");
    return 2;
}
