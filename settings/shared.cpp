#include "shared.h"

#include <shlwapi.h>

#include "savefiles.h"

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";
const char kUtf16Bom[] = "\xFF\xFE";

std::string CopyHeader(LPCSTR pszShared)
{
    return std::string("; Norza: copy of ") + pszShared + "\r\n";
}

}  // namespace

CString SharedCopyPath()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(NULL, szPath, MAX_PATH);
    PathRemoveFileSpecA(szPath);
    return CString(szPath) + "\\typeSet-shared.ini";
}

std::string SharedCopyText(LPCSTR pszShared, const std::string& strBytes)
{
    std::string strHeader = CopyHeader(pszShared);
    if (strBytes.compare(0, 2, kUtf16Bom) == 0) {
        std::wstring strWide = AfxWiden(strHeader.c_str());
        return kUtf16Bom + std::string(reinterpret_cast<const char*>(strWide.data()), strWide.size() * 2) +
               strBytes.substr(2);
    }
    if (strBytes.compare(0, 3, kUtf8Bom) == 0)
        return kUtf8Bom + strHeader + strBytes.substr(3);
    return strHeader + strBytes;
}

bool IsSharedCopyOf(LPCSTR pszCopy, LPCSTR pszShared)
{
    std::string strCopy;
    if (!ReadFileBytes(pszCopy, strCopy) || strCopy.empty())
        return false;
    for (const char* pszBom : { "", kUtf8Bom, kUtf16Bom }) {
        std::string strStart = SharedCopyText(pszShared, pszBom);
        if (strCopy.compare(0, strStart.size(), strStart) == 0)
            return true;
    }
    return false;
}

bool CSharedStamp::operator==(const CSharedStamp& other) const
{
    return CompareFileTime(&ftWrite, &other.ftWrite) == 0 && nSizeHigh == other.nSizeHigh &&
           nSizeLow == other.nSizeLow;
}

DWORD StampSharedFile(LPCSTR pszShared, CSharedStamp* pStamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(pszShared, GetFileExInfoStandard, &data))
        return GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_FILE_NOT_FOUND;
    pStamp->ftWrite = data.ftLastWriteTime;
    pStamp->nSizeHigh = data.nFileSizeHigh;
    pStamp->nSizeLow = data.nFileSizeLow;
    return 0;
}

DWORD ReadSharedFile(LPCSTR pszShared, std::string& strBytes)
{
    strBytes.clear();
    // The administrator may be replacing it meanwhile.
    HANDLE hFile = CreateFileA(pszShared, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
    char buffer[4096];
    DWORD nRead = 0;
    BOOL bOk;
    while ((bOk = ReadFile(hFile, buffer, sizeof(buffer), &nRead, NULL)) && nRead > 0)
        strBytes.append(buffer, nRead);
    DWORD dwError = bOk ? 0 : GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    CloseHandle(hFile);
    return dwError;
}
