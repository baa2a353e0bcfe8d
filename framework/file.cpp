#include "afxwin.h"

#include <string.h>
#include <vector>

int CFileException::OsErrorToException(LONG lOsError)
{
    switch (lOsError) {
    case NO_ERROR:                 return none;
    case ERROR_FILE_NOT_FOUND:     return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:      return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:      return accessDenied;
    case ERROR_INVALID_HANDLE:     return invalidFile;
    case ERROR_CURRENT_DIRECTORY:  return removeCurrentDir;
    case ERROR_CANNOT_MAKE:        return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:      return badSeek;
    case ERROR_SHARING_VIOLATION:  return sharingViolation;
    case ERROR_LOCK_VIOLATION:     return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:   return diskFull;
    case ERROR_HANDLE_EOF:         return endOfFile;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:        return hardIO;
    default:                       return genericException;
    }
}

void CFileException::ThrowOsError(LONG lOsError)
{
    throw CFileException(OsErrorToException(lOsError), lOsError);
}

CFile::CFile()
    : m_hFile(INVALID_HANDLE_VALUE)
{
}

CFile::~CFile()
{
    Abort();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    Abort();

    DWORD dwAccess;
    switch (nOpenFlags & 3) {
    case modeWrite:     dwAccess = GENERIC_WRITE; break;
    case modeReadWrite: dwAccess = GENERIC_READ | GENERIC_WRITE; break;
    default:            dwAccess = GENERIC_READ; break;
    }

    // shareCompat and shareExclusive both mean: nobody else may open it.
    DWORD dwShare;
    switch (nOpenFlags & 0x70) {
    case shareDenyWrite: dwShare = FILE_SHARE_READ; break;
    case shareDenyRead:  dwShare = FILE_SHARE_WRITE; break;
    case shareDenyNone:  dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default:             dwShare = 0; break;
    }

    DWORD dwCreate;
    if (nOpenFlags & modeCreate)
        dwCreate = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    else
        dwCreate = OPEN_EXISTING;

    SECURITY_ATTRIBUTES sa = { sizeof(sa), NULL, !(nOpenFlags & modeNoInherit) };
    HANDLE h = CreateFileA(lpszFileName, dwAccess, dwShare, &sa, dwCreate,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        if (pError) {
            pError->m_lOsError = (LONG)GetLastError();
            pError->m_cause = CFileException::OsErrorToException(pError->m_lOsError);
        }
        return FALSE;
    }
    m_hFile = h;
    m_strFileName = lpszFileName;
    return TRUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    DWORD nRead = 0;
    if (!ReadFile(m_hFile, lpBuf, nCount, &nRead, NULL))
        CFileException::ThrowOsError((LONG)GetLastError());
    return nRead;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    DWORD nWritten = 0;
    if (!WriteFile(m_hFile, lpBuf, nCount, &nWritten, NULL))
        CFileException::ThrowOsError((LONG)GetLastError());
    if (nWritten != nCount)
        throw CFileException(CFileException::diskFull, ERROR_DISK_FULL);
}

LONG CFile::Seek(LONG lOff, UINT nFrom)
{
    DWORD dw = SetFilePointer(m_hFile, lOff, NULL, nFrom);
    if (dw == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        CFileException::ThrowOsError((LONG)GetLastError());
    return (LONG)dw;
}

DWORD CFile::GetLength() const
{
    DWORD dw = GetFileSize(m_hFile, NULL);
    if (dw == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        CFileException::ThrowOsError((LONG)GetLastError());
    return dw;
}

void CFile::Close()
{
    BOOL bError = FALSE;
    if (m_hFile != INVALID_HANDLE_VALUE)
        bError = !CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_strFileName.Empty();
    if (bError)
        CFileException::ThrowOsError((LONG)GetLastError());
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

BOOL CStdioFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    m_bText = !(nOpenFlags & typeBinary);
    return CFile::Open(lpszFileName, nOpenFlags & ~(typeText | typeBinary), pError);
}

void CStdioFile::WriteString(LPCSTR lpsz)
{
    size_t n = strlen(lpsz);
    if (!m_bText) {
        Write(lpsz, (UINT)n);
        return;
    }
    // One write for the whole string, so a reader never sees half a line end.
    std::vector<char> buf;
    buf.reserve(n + n / 8 + 1);
    for (const char* p = lpsz; *p; ++p) {
        if (*p == '\n')
            buf.push_back('\r');
        buf.push_back(*p);
    }
    Write(buf.data(), (UINT)buf.size());
}
