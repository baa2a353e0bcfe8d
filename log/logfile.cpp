#include "logfile.h"

#include <string.h>
#include <new>

CString g_strLogPath;
HANDLE g_hLogEvent = NULL;
static HANDLE g_hLogOwner = NULL;

namespace {

// Readers may look at the log while an entry is written; writers may not.
const UINT LOG_OPEN_FLAGS = CFile::modeCreate | CFile::modeNoTruncate |
                            CFile::modeWrite | CFile::shareDenyWrite;

// The handle is kept for good: the event lives only while some process has
// it open, and every writer must meet the same one.
HANDLE GetLogEvent()
{
    if (!g_hLogEvent) {
        g_hLogEvent = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, LOG_EVENT_NAME);
        if (!g_hLogEvent)
            g_hLogEvent = CreateEventA(NULL, FALSE, TRUE, LOG_EVENT_NAME);
    }
    return g_hLogEvent;
}

HANDLE GetLogOwner()
{
    if (!g_hLogOwner)
        g_hLogOwner = CreateMutexA(NULL, FALSE, LOG_OWNER_NAME);
    return g_hLogOwner;
}

// True when this writer got the lock and must give it back.
BOOL TakeLock(HANDLE hLock)
{
    static DWORD s_dwWait = LOG_LOCK_WAIT_MS;
    HANDLE hOwner = GetLogOwner();
    if (WaitForSingleObject(hLock, s_dwWait) == WAIT_OBJECT_0) {
        if (hOwner)
            WaitForSingleObject(hOwner, LOG_LOCK_WAIT_MS);
        s_dwWait = LOG_LOCK_WAIT_MS;
        return TRUE;
    }
    DWORD dwOwner = hOwner ? WaitForSingleObject(hOwner, 0) : WAIT_FAILED;
    if (dwOwner == WAIT_ABANDONED) {
        s_dwWait = LOG_LOCK_WAIT_MS;
        return TRUE;   // its holder died: the lock is this writer's now
    }
    if (dwOwner == WAIT_OBJECT_0)
        ReleaseMutex(hOwner);
    s_dwWait = LOG_LOCK_RECHECK_MS;
    return FALSE;
}

void GiveLock(HANDLE hLock)
{
    if (g_hLogOwner)
        ReleaseMutex(g_hLogOwner);
    SetEvent(hLock);
}

BOOL IsHeldByOther(const CFileException& err)
{
    return err.m_cause == CFileException::sharingViolation ||
           err.m_cause == CFileException::lockViolation;
}

// A program holding the file without sharing it usually lets go within
// moments; a missing folder or a read-only file will not get better.
BOOL OpenLog(CStdioFile& file)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        CFileException err;
        if (file.Open(g_strLogPath, LOG_OPEN_FLAGS, &err))
            return TRUE;
        if (!IsHeldByOther(err) || GetTickCount() - dwStart >= LOG_OPEN_RETRY_MS)
            return FALSE;
        Sleep(LOG_OPEN_RETRY_PAUSE_MS);
    }
}

void WriteEntry(LPCSTR pszTag, LPCSTR pszFormat, va_list args)
{
    if (g_strLogPath.IsEmpty())
        SetLogFile(NULL);

    CStdioFile file;
    if (!OpenLog(file))
        return;
    // Stamped while this writer alone has the file open for writing, so the
    // stamps follow the file's order even when the lock was given up on.
    CString strEntry = "\n" + FormatLogLine(pszTag, pszFormat, args);
    file.SeekToEnd();
    file.WriteString(strEntry);
    file.Close();
}

}  // namespace

short LogWrite(LPCSTR pszTag, LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    LogWriteV(pszTag, pszFormat, args);
    va_end(args);
    return 1;
}

short LogWriteV(LPCSTR pszTag, LPCSTR pszFormat, va_list args)
{
    HANDLE hLock = GetLogEvent();
    BOOL bLocked = hLock && TakeLock(hLock);

    // A failed entry is dropped (the file is closed as the stack unwinds);
    // the lock is released whatever happened.
    try {
        WriteEntry(pszTag, pszFormat, args);
    } catch (const CException&) {
    } catch (const std::bad_alloc&) {
    }

    if (bLocked)
        GiveLock(hLock);
    return 1;
}

short SetLogFile(LPCSTR pszName)
{
    g_strLogPath = ResolveLogPath(pszName && *pszName ? pszName : "log.log");
    return 1;
}

CString FormatLogStamp(const SYSTEMTIME& st)
{
    CString strStamp;
    strStamp.Format("[%2d-%2d %2d:%2d:%2d_%3d]", st.wMonth, st.wDay, st.wHour,
                    st.wMinute, st.wSecond, st.wMilliseconds);
    return strStamp;
}

CString FormatLogLine(LPCSTR pszTag, LPCSTR pszFormat, va_list args)
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    CString strLine = FormatLogStamp(st);
    if (pszTag && *pszTag) {
        strLine += '[';
        strLine += pszTag;
        strLine += ']';
    }
    CString strMessage;
    strMessage.FormatV(pszFormat, args);
    return strLine + strMessage;
}

// A name with no colon, or one only at its start, is taken relative to the
// program's folder; "C:\..." and other names with a colon are used as given.
CString ResolveLogPath(LPCSTR pszName)
{
    if (!pszName || !*pszName)
        return CString();
    LPCSTR pColon = strchr(pszName, ':');
    if (!pColon || pColon == pszName)
        return GetModuleDir(FALSE) + "\\" + pszName;
    return CString(pszName);
}

CString GetModuleDir(BOOL bTrailingBackslash)
{
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, szPath, MAX_PATH);
    szPath[n < MAX_PATH ? n : MAX_PATH - 1] = '\0';

    // Walked character by character: in a double-byte code page the second
    // byte of a character may be a backslash.
    LPCSTR pLast = NULL;
    for (LPCSTR p = szPath; *p; p = CharNextA(p)) {
        if (*p == '\\')
            pLast = p;
    }
    if (!pLast)
        return CString();
    return CString(szPath, (int)(pLast - szPath) + (bTrailingBackslash ? 1 : 0));
}
