#include "shared.h"

#include <shlwapi.h>
#include <wincrypt.h>

#include "savefiles.h"

// Declared for XP SP3 on; the provider has it there and on every Windows since.
#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c
#endif

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";
const char kUtf16Bom[] = "\xFF\xFE";

std::wstring CopyHeader(LPCWSTR pszShared, const std::string& strSha256)
{
    return std::wstring(L"; Norza: copy of ") + pszShared + L"\r\n; SHA-256 " +
           std::wstring(strSha256.begin(), strSha256.end()) + L"\r\n";
}

std::string Utf8(const std::wstring& str)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, str.data(), (int)str.size(), NULL, 0, NULL, NULL);
    std::string strOut(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, str.data(), (int)str.size(), &strOut[0], n, NULL, NULL);
    return strOut;
}

// The first bytes of a file.
std::string FileStart(LPCSTR pszPath, DWORD nBytes)
{
    std::string strBytes(nBytes, '\0');
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    DWORD nRead = 0;
    if (hFile == INVALID_HANDLE_VALUE)
        return std::string();
    if (!ReadFile(hFile, &strBytes[0], nBytes, &nRead, NULL))
        nRead = 0;
    CloseHandle(hFile);
    strBytes.resize(nRead);
    return strBytes;
}

}  // namespace

CString SharedCopyPath()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(NULL, szPath, MAX_PATH);
    PathRemoveFileSpecA(szPath);
    return CString(szPath) + "\\typeSet-shared.ini";
}

std::string Sha256Hex(const std::string& strBytes)
{
    std::string strHex;
    HCRYPTPROV hProv = 0;
    if (!CryptAcquireContextW(&hProv, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return strHex;
    HCRYPTHASH hHash = 0;
    BYTE digest[32];
    DWORD cb = sizeof(digest);
    if (CryptCreateHash(hProv, CALG_SHA_256, 0, 0, &hHash)) {
        if (CryptHashData(hHash, reinterpret_cast<const BYTE*>(strBytes.data()), (DWORD)strBytes.size(), 0) &&
            CryptGetHashParam(hHash, HP_HASHVAL, digest, &cb, 0) && cb == sizeof(digest)) {
            static const char kDigits[] = "0123456789abcdef";
            for (BYTE b : digest) {
                strHex += kDigits[b >> 4];
                strHex += kDigits[b & 15];
            }
        }
        CryptDestroyHash(hHash);
    }
    CryptReleaseContext(hProv, 0);
    return strHex;
}

std::string NormalSha256(LPCSTR pszText)
{
    std::string strHex;
    for (const char* p = pszText; *p; ++p) {
        if (*p == ' ' || *p == ':' || *p == '\t')
            continue;
        strHex += (*p >= 'A' && *p <= 'F') ? (char)(*p - 'A' + 'a') : *p;
    }
    return strHex;
}

std::string SharedCopyText(LPCWSTR pszShared, const std::string& strBytes, const std::string& strSha256)
{
    std::wstring strHeader = CopyHeader(pszShared, strSha256);
    if (strBytes.compare(0, 2, kUtf16Bom) == 0) {
        return kUtf16Bom + std::string(reinterpret_cast<const char*>(strHeader.data()), strHeader.size() * 2) +
               strBytes.substr(2);
    }
    if (strBytes.compare(0, 3, kUtf8Bom) == 0)
        return kUtf8Bom + Utf8(strHeader) + strBytes.substr(3);
    return Utf8(strHeader) + strBytes;
}

bool IsSharedCopyOf(LPCSTR pszCopy, LPCWSTR pszShared, std::string* pstrSha256)
{
    const std::wstring strStart = CopyHeader(pszShared, "");
    const size_t nHash = 64;
    // The whole copy: its body must be what the header says it was made of.
    // The header is no longer than its path and hash written in UTF-16 or UTF-8.
    const DWORD nMaxCopy = kMaxSharedBytes + (DWORD)(3 + (strStart.size() + nHash) * 3);
    std::string strBytes = FileStart(pszCopy, nMaxCopy + 1);
    if (strBytes.size() > nMaxCopy)
        return false;
    bool bUtf16 = strBytes.compare(0, 2, kUtf16Bom) == 0;
    std::string strBom = bUtf16 ? kUtf16Bom : strBytes.compare(0, 3, kUtf8Bom) == 0 ? kUtf8Bom : "";
    size_t nHeadBytes = bUtf16 ? 2 + (strStart.size() + nHash + 2) * 2 : strBom.size() + (strStart.size() + nHash + 2) * 3;
    std::string strHeadBytes = strBytes.substr(0, nHeadBytes);
    std::wstring strHead;
    if (bUtf16) {
        strHead.assign(reinterpret_cast<const wchar_t*>(strHeadBytes.data() + 2), (strHeadBytes.size() - 2) / 2);
    } else {
        strHead = AfxWiden(strHeadBytes.c_str() + strBom.size(), (int)(strHeadBytes.size() - strBom.size()),
                           CP_UTF8);
    }
    // The SHA-256's line ends the header; a system without SHA-256 left it
    // empty, which no pin matches.
    std::wstring strStartLine = strStart.substr(0, strStart.size() - 2);
    if (strHead.compare(0, strStartLine.size(), strStartLine) != 0)
        return false;
    size_t nEnd = strHead.find(L"\r\n", strStartLine.size());
    std::wstring strHash = strHead.substr(strStartLine.size(), nEnd - strStartLine.size());
    if (nEnd == std::wstring::npos || (strHash.size() != nHash && !strHash.empty()) ||
        strHash.find_first_not_of(L"0123456789abcdef") != std::wstring::npos)
        return false;
    std::string strSha256(strHash.begin(), strHash.end());
    std::string strHeader = SharedCopyText(pszShared, strBom, strSha256);
    if (strBytes.compare(0, strHeader.size(), strHeader) != 0 ||
        Sha256Hex(strBom + strBytes.substr(strHeader.size())) != strSha256)
        return false;
    if (pstrSha256)
        *pstrSha256 = strSha256;
    return true;
}

bool CSharedStamp::operator==(const CSharedStamp& other) const
{
    return CompareFileTime(&ftWrite, &other.ftWrite) == 0 && nSizeHigh == other.nSizeHigh &&
           nSizeLow == other.nSizeLow;
}

DWORD StampSharedFile(LPCWSTR pszShared, CSharedStamp* pStamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(pszShared, GetFileExInfoStandard, &data))
        return GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_FILE_NOT_FOUND;
    pStamp->ftWrite = data.ftLastWriteTime;
    pStamp->nSizeHigh = data.nFileSizeHigh;
    pStamp->nSizeLow = data.nFileSizeLow;
    return 0;
}

DWORD ReadSharedFile(LPCWSTR pszShared, std::string& strBytes)
{
    strBytes.clear();
    // The administrator may be replacing it meanwhile.
    HANDLE hFile = CreateFileW(pszShared, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
    // It may have grown since its size was looked at: one byte beyond the
    // bound tells, and no more is read.
    char buffer[4096];
    DWORD nRead = 0;
    BOOL bOk;
    while ((bOk = ReadFile(hFile, buffer, sizeof(buffer), &nRead, NULL)) && nRead > 0 &&
           strBytes.size() <= kMaxSharedBytes)
        strBytes.append(buffer, nRead);
    DWORD dwError = bOk ? 0 : GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    CloseHandle(hFile);
    if (!dwError && strBytes.size() > kMaxSharedBytes) {
        strBytes.clear();
        dwError = ERROR_FILE_TOO_LARGE;
    }
    return dwError;
}
