// Reading and replacing the settings files whole.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

// The whole file; a missing file is empty. False when it cannot be read.
bool ReadFileBytes(LPCSTR pszPath, std::string& strBytes);

struct CFileContent {
    CString strPath;
    std::string strBytes;
};

// For tests: the writer meets a fault before its step nStep (counted from
// 0 over every change it makes on disk): that step fails with dwError, or,
// with bCrash, the writer stops there as if the program had died.
struct CWriteFault {
    int nStep;
    DWORD dwError;
    bool bCrash;
};

// Writes every file or none. Each is written in full beside its old one
// before any old one is replaced, and each replacement is one step, so the
// files are whole, old or new, at every moment. An old file is replaced
// only when it may be written (not read-only); the files replaced before a
// failure get their old contents back from copies taken just before.
// The files written beside are the writer's own, "<name>.~nzXXXXXXXX.tmp"
// (8 hex digits) and made anew, so no file of a user's is ever touched;
// those a crash left behind go at the next write of that file.
// 0 when done, otherwise the system's error code and *pnFailed the index of
// the file that failed.
DWORD WriteFilesTogether(const std::vector<CFileContent>& files, size_t* pnFailed,
                         const CWriteFault* pFault = NULL);
