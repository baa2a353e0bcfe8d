// The organisation's shared settings file, named by policy: a file in the
// format of typeSet.ini, typically on a network share. The program never
// writes it. Each time it is read whole, a copy of it goes beside
// typeSet.ini, and the readers read the copy: a share that cannot be
// reached keeps the settings read last, also over a restart. Whoever can
// write the file presses keys on every desk: a policy can pin its content
// by its SHA-256, and a file beyond a bound is never read.
#pragma once

#include <afxwin.h>

#include <string>

// "typeSet-shared.ini" in the executable's folder.
CString SharedCopyPath();

// A settings file is a few KB; a larger one is refused unread.
const DWORD kMaxSharedBytes = 1024 * 1024;

// The SHA-256 of the bytes in lower-case hex, by the system's cryptography;
// empty when the system has none to give.
std::string Sha256Hex(const std::string& strBytes);

// A SHA-256 as an administrator may write it (any case, bytes apart by
// spaces or colons, as tools print it) in lower-case hex.
std::string NormalSha256(LPCSTR pszText);

// The copy's text: the shared file's bytes after two comment lines naming
// the file and its SHA-256 (behind the byte-order mark, in UTF-16 for a
// UTF-16 file, else in UTF-8).
std::string SharedCopyText(LPCWSTR pszShared, const std::string& strBytes, const std::string& strSha256);

// Whether the copy was made of that shared file, and the SHA-256 it was
// made of: the copy is read whole, and its body must have that SHA-256.
bool IsSharedCopyOf(LPCSTR pszCopy, LPCWSTR pszShared, std::string* pstrSha256 = NULL);

// What tells a changed file: its time of last writing and its size.
struct CSharedStamp {
    FILETIME ftWrite;
    DWORD nSizeHigh;
    DWORD nSizeLow;

    bool operator==(const CSharedStamp& other) const;
    bool TooLarge() const { return nSizeHigh || nSizeLow > kMaxSharedBytes; }
};

// These may take long on a share that does not answer: not on a window's
// thread. 0, or the system's error code; ERROR_FILE_TOO_LARGE for a file
// beyond kMaxSharedBytes, of which no more than that is read.
DWORD StampSharedFile(LPCWSTR pszShared, CSharedStamp* pStamp);
DWORD ReadSharedFile(LPCWSTR pszShared, std::string& strBytes);
