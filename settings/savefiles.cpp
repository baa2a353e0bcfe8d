#include "savefiles.h"

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

DWORD WriteWholeFile(LPCSTR pszPath, const std::string& strBytes)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD nWritten = 0;
    DWORD dwError = 0;
    if (!WriteFile(hFile, strBytes.data(), (DWORD)strBytes.size(), &nWritten, NULL) ||
        nWritten != strBytes.size() || !FlushFileBuffers(hFile))
        dwError = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    CloseHandle(hFile);
    if (dwError)
        DeleteFileA(pszPath);
    return dwError;
}

// A file that may not be written, or a folder in its place, is not replaced.
DWORD CheckReplaceable(LPCSTR pszPath)
{
    DWORD dwAttributes = GetFileAttributesA(pszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    return dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY) ? ERROR_ACCESS_DENIED : 0;
}

}  // namespace

DWORD WriteFilesTogether(const std::vector<CFileContent>& files, size_t* pnFailed)
{
    std::vector<CString> temps, backups;
    for (const CFileContent& file : files) {
        temps.push_back(file.strPath + ".new");
        backups.push_back(file.strPath + ".bak");
    }
    DWORD dwError = 0;
    size_t i = 0;
    for (; !dwError && i < files.size(); ++i) {
        dwError = CheckReplaceable(files[i].strPath);
        if (!dwError)
            dwError = WriteWholeFile(temps[i], files[i].strBytes);
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
        if ((hadOld[i] && !CopyFileA(files[i].strPath, backups[i], FALSE)) ||
            !MoveFileExA(temps[i], files[i].strPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            dwError = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    }
    std::vector<bool> keepBackup(files.size(), false);
    if (dwError) {
        *pnFailed = i - 1;
        for (size_t j = 0; j + 1 < i; ++j) {
            // A copy that cannot be put back stays beside the file.
            if (hadOld[j])
                keepBackup[j] = !MoveFileExA(backups[j], files[j].strPath, MOVEFILE_REPLACE_EXISTING);
            else
                DeleteFileA(files[j].strPath);
        }
        for (size_t j = i - 1; j < files.size(); ++j)
            DeleteFileA(temps[j]);
    }
    for (size_t j = 0; j < files.size(); ++j) {
        if (!keepBackup[j])
            DeleteFileA(backups[j]);
    }
    return dwError;
}
