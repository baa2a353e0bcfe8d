#include "record.h"

unsigned long long HistoryNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime;
}

static FILETIME ToFileTime(unsigned long long n)
{
    FILETIME time = { (DWORD)n, (DWORD)(n >> 32) };
    return time;
}

static unsigned long long FromFileTime(const FILETIME& time)
{
    return ((unsigned long long)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

SYSTEMTIME LocalTimeOf(unsigned long long nTime)
{
    FILETIME utc = ToFileTime(nTime), local;
    SYSTEMTIME time = {};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &time);
    return time;
}

unsigned long long LocalDayStart(unsigned long long nTime)
{
    FILETIME utc = ToFileTime(nTime), local;
    FileTimeToLocalFileTime(&utc, &local);
    unsigned long long nLocal = FromFileTime(local);
    // The offset of local time from UTC at that moment.
    long long nOffset = (long long)nLocal - (long long)nTime;
    return nLocal - nLocal % kHistoryDay - nOffset;
}
