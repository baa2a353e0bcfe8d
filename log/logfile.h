// The log file: one line per entry, appended by any number of programs that
// share the file. A named event serialises the writers across processes.
#pragma once

#include <afx.h>

// The log file's full name, fixed by the first entry unless SetLogFile
// changes it.
extern CString g_strLogPath;

// The cross-process write lock, opened or created by the first entry.
extern HANDLE g_hLogEvent;

// Name of the auto-reset event every writer of the log waits on.
#define LOG_EVENT_NAME "MoxLogWrite"

// Name of the mutex a writer of this module holds with the event. The event
// cannot tell a writer that died holding it from a slow one; the mutex,
// abandoned by a writer that died, can.
#define LOG_OWNER_NAME "MoxLogWriteOwner"

// How long an entry waits for the lock before writing without it. A writer
// that died holding the lock left the owner mutex abandoned: the lock is
// taken over then, so it never freezes later writers. Any other holder keeps
// it: a writer never releases a lock it did not get.
const DWORD LOG_LOCK_WAIT_MS = 3000;

// After a wait that timed out on a live holder, later entries only look
// for this long until the lock is seen free again: one program that hangs
// holding the lock costs one full wait, not one for every entry.
const DWORD LOG_LOCK_RECHECK_MS = 100;

// How long an entry keeps trying to open a file another program holds
// without sharing it, and the pause between tries. Kept well below the lock
// bound, so a writer retrying with the lock held never makes others give up.
const DWORD LOG_OPEN_RETRY_MS = 500;
const DWORD LOG_OPEN_RETRY_PAUSE_MS = 20;

short LogWrite(LPCSTR pszTag, LPCSTR pszFormat, ...);
short LogWriteV(LPCSTR pszTag, LPCSTR pszFormat, va_list args);
short SetLogFile(LPCSTR pszName);

CString FormatLogStamp(const SYSTEMTIME& st);
CString FormatLogLine(LPCSTR pszTag, LPCSTR pszFormat, va_list args);
CString ResolveLogPath(LPCSTR pszName);
CString GetModuleDir(BOOL bTrailingBackslash);
