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

// The rules in force at the record's own date, not today's offset: a winter
// record read in summer keeps its winter time.
SYSTEMTIME LocalTimeOf(unsigned long long nTime, const TIME_ZONE_INFORMATION* pZone)
{
    FILETIME utc = ToFileTime(nTime);
    SYSTEMTIME utcTime = {}, time = {};
    if (!FileTimeToSystemTime(&utc, &utcTime) || !SystemTimeToTzSpecificLocalTime(pZone, &utcTime, &time))
        return utcTime;
    return time;
}

unsigned long long LocalFileTimeOf(unsigned long long nTime, const TIME_ZONE_INFORMATION* pZone)
{
    SYSTEMTIME time = LocalTimeOf(nTime, pZone);
    FILETIME local;
    if (!SystemTimeToFileTime(&time, &local))
        return nTime;
    return FromFileTime(local);
}

unsigned long long LocalDayStart(unsigned long long nTime, const TIME_ZONE_INFORMATION* pZone)
{
    unsigned long long nLocal = LocalFileTimeOf(nTime, pZone);
    FILETIME midnight = ToFileTime(nLocal - nLocal % kHistoryDay), utc;
    SYSTEMTIME localTime = {}, utcTime = {};
    if (!FileTimeToSystemTime(&midnight, &localTime) ||
        !TzSpecificLocalTimeToSystemTime(pZone, &localTime, &utcTime) || !SystemTimeToFileTime(&utcTime, &utc))
        return nLocal - nLocal % kHistoryDay - ((long long)nLocal - (long long)nTime);
    return FromFileTime(utc);
}
