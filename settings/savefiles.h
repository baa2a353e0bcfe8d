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

// Writes every file or none. Each is written in full beside its old one
// ("<name>.new") before any old one is replaced; an old file is replaced
// only when it may be written (not read-only), and the files replaced
// before a failure get their old contents back. 0 when done, otherwise
// the system's error code and *pnFailed the index of the file that failed.
DWORD WriteFilesTogether(const std::vector<CFileContent>& files, size_t* pnFailed);
