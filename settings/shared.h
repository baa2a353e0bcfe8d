// The organisation's shared settings file, named by policy: a file in the
// format of typeSet.ini, typically on a network share. The program never
// writes it. Each time it is read whole, a copy of it goes beside
// typeSet.ini, and the readers read the copy: a share that cannot be
// reached keeps the settings read last, also over a restart.
#pragma once

#include <afxwin.h>

#include <string>

// "typeSet-shared.ini" in the executable's folder.
CString SharedCopyPath();

// The copy's text: the shared file's bytes after a comment line naming the
// file (behind the byte-order mark, in UTF-16 for a UTF-16 file).
std::string SharedCopyText(LPCSTR pszShared, const std::string& strBytes);

// Whether the copy was made of that shared file.
bool IsSharedCopyOf(LPCSTR pszCopy, LPCSTR pszShared);

// What tells a changed file: its time of last writing and its size.
struct CSharedStamp {
    FILETIME ftWrite;
    DWORD nSizeHigh;
    DWORD nSizeLow;

    bool operator==(const CSharedStamp& other) const;
};

// These may take long on a share that does not answer: not on a window's
// thread. 0, or the system's error code.
DWORD StampSharedFile(LPCSTR pszShared, CSharedStamp* pStamp);
DWORD ReadSharedFile(LPCSTR pszShared, std::string& strBytes);
