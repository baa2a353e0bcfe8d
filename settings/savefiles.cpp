#include "savefiles.h"

#include <string.h>

bool ReadFileBytes(LPCSTR pszPath, std::string& strBytes)
{
    strBytes.clear();
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        DWORD dwError = GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
    }
    char buffer[4096];
    DWORD nRead = 0;
    BOOL bOk;
    while ((bOk = ReadFile(hFile, buffer, sizeof(buffer), &nRead, NULL)) && nRead > 0)
        strBytes.append(buffer, nRead);
    CloseHandle(hFile);
    return bOk != FALSE;
}

namespace {

// The scratch files of a file: "<name>.~nz" and 8 hex digits, ".tmp".
const char kScratchTag[] = ".~nz";
const char kScratchExt[] = ".tmp";
const int kScratchDigits = 8;

DWORD LastError()
{
    return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
}

CString ScratchName(const CString& strPath)
{
    static LONG s_nCount;
    DWORD dwUnique = (GetCurrentProcessId() << 16) ^ GetTickCount() ^
                     ((DWORD)InterlockedIncrement(&s_nCount) * 0x9E3779B9u);
    CString strName;
    strName.Format("%s%s%08lX%s", (LPCSTR)strPath, kScratchTag, (unsigned long)dwUnique, kScratchExt);
    return strName;
}

bool IsScratchOf(LPCSTR pszFound, LPCSTR pszName)
{
    size_t nName = strlen(pszName), nTag = strlen(kScratchTag);
    if (strlen(pszFound) != nName + nTag + kScratchDigits + strlen(kScratchExt) ||
        _strnicmp(pszFound, pszName, nName) != 0 || _strnicmp(pszFound + nName, kScratchTag, nTag) != 0 ||
        _stricmp(pszFound + nName + nTag + kScratchDigits, kScratchExt) != 0)
        return false;
    return strspn(pszFound + nName + nTag, "0123456789ABCDEFabcdef") == (size_t)kScratchDigits;
}

// What a crash between the steps left beside the file.
void RemoveScratchOf(const CString& strPath)
{
    std::string strDir = (LPCSTR)strPath;
    size_t nSlash = strDir.find_last_of("\\/");
    std::string strName = strDir.substr(nSlash + 1);
    strDir.resize(nSlash + 1);
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA(strPath + kScratchTag + "*" + kScratchExt, &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsScratchOf(found.cFileName, strName.c_str()))
            DeleteFileA((strDir + found.cFileName).c_str());
    } while (FindNextFileA(hFind, &found));
    FindClose(hFind);
}

bool NameTaken(DWORD dwError)
{
    return dwError == ERROR_FILE_EXISTS || dwError == ERROR_ALREADY_EXISTS;
}

// The bytes in a new scratch file of strPath, named in *pstrScratch.
DWORD WriteScratch(const CString& strPath, const std::string& strBytes, CString* pstrScratch)
{
    HANDLE hFile = INVALID_HANDLE_VALUE;
    for (int nTry = 0; hFile == INVALID_HANDLE_VALUE; ++nTry) {
        *pstrScratch = ScratchName(strPath);
        hFile = CreateFileA(*pstrScratch, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (hFile == INVALID_HANDLE_VALUE && (!NameTaken(GetLastError()) || nTry == 100)) {
            DWORD dwError = LastError();
            pstrScratch->Empty();
            return dwError;
        }
    }
    DWORD nWritten = 0;
    DWORD dwError = 0;
    if (!WriteFile(hFile, strBytes.data(), (DWORD)strBytes.size(), &nWritten, NULL) ||
        nWritten != strBytes.size() || !FlushFileBuffers(hFile))
        dwError = LastError();
    CloseHandle(hFile);
    if (dwError) {
        DeleteFileA(*pstrScratch);
        pstrScratch->Empty();
    }
    return dwError;
}

// A copy of strPath in a new scratch file, named in *pstrScratch.
DWORD CopyToScratch(const CString& strPath, CString* pstrScratch)
{
    for (int nTry = 0;; ++nTry) {
        *pstrScratch = ScratchName(strPath);
        if (CopyFileA(strPath, *pstrScratch, TRUE))
            return 0;
        if (!NameTaken(GetLastError()) || nTry == 100) {
            DWORD dwError = LastError();
            DeleteFileA(*pstrScratch);   // a copy that failed half way
            pstrScratch->Empty();
            return dwError;
        }
    }
}

// A file that may not be written, or a folder in its place, is not replaced.
DWORD CheckReplaceable(LPCSTR pszPath)
{
    DWORD dwAttributes = GetFileAttributesA(pszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    return dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY) ? ERROR_ACCESS_DENIED : 0;
}

struct CCrash {};

// Counts the steps that change the disk, for a test's fault.
class CSteps {
public:
    explicit CSteps(const CWriteFault* pFault) : m_pFault(pFault), m_nStep(0) {}

    // 0 when the next step may go ahead.
    DWORD Next()
    {
        if (!m_pFault || m_nStep++ != m_pFault->nStep)
            return 0;
        if (m_pFault->bCrash)
            throw CCrash();
        return m_pFault->dwError;
    }

private:
    const CWriteFault* m_pFault;
    int m_nStep;
};

DWORD WriteAll(const std::vector<CFileContent>& files, size_t* pnFailed, CSteps& steps)
{
    for (const CFileContent& file : files)
        RemoveScratchOf(file.strPath);
    std::vector<CString> temps(files.size()), backups(files.size());
    DWORD dwError = 0;
    size_t i = 0;
    for (; !dwError && i < files.size(); ++i) {
        dwError = CheckReplaceable(files[i].strPath);
        if (!dwError)
            dwError = steps.Next();
        if (!dwError)
            dwError = WriteScratch(files[i].strPath, files[i].strBytes, &temps[i]);
    }
    if (dwError) {
        *pnFailed = i - 1;
        for (size_t j = 0; j + 1 < i; ++j)
            DeleteFileA(temps[j]);
        return dwError;
    }

    // Each old file is copied aside before the new one takes its place in
    // one step, so the file itself is never missing.
    std::vector<bool> hadOld(files.size(), false);
    for (i = 0; !dwError && i < files.size(); ++i) {
        hadOld[i] = GetFileAttributesA(files[i].strPath) != INVALID_FILE_ATTRIBUTES;
        if (hadOld[i])
            dwError = steps.Next();
        if (hadOld[i] && !dwError)
            dwError = CopyToScratch(files[i].strPath, &backups[i]);
        if (!dwError)
            dwError = steps.Next();
        if (!dwError && !MoveFileExA(temps[i], files[i].strPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            dwError = LastError();
    }
    if (dwError) {
        *pnFailed = i - 1;
        for (size_t j = 0; j + 1 < i; ++j) {
            // A copy that cannot be put back stays until the next write.
            if (hadOld[j])
                MoveFileExA(backups[j], files[j].strPath, MOVEFILE_REPLACE_EXISTING);
            else
                DeleteFileA(files[j].strPath);
            backups[j].Empty();
        }
        for (size_t j = i - 1; j < files.size(); ++j)
            DeleteFileA(temps[j]);
    }
    for (const CString& strBackup : backups) {
        if (!strBackup.IsEmpty() && !steps.Next())
            DeleteFileA(strBackup);
    }
    return dwError;
}

}  // namespace

DWORD WriteFilesTogether(const std::vector<CFileContent>& files, size_t* pnFailed, const CWriteFault* pFault)
{
    CSteps steps(pFault);
    try {
        return WriteAll(files, pnFailed, steps);
    } catch (const CCrash&) {
        return ERROR_REQUEST_ABORTED;
    }
}
