#include "settings.h"

#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ScanWedgeDlg.h"

CString TypeSetPath()
{
    char szDir[1024];
    memset(szDir, 0, sizeof(szDir));
    GetModuleFileNameA(NULL, szDir, sizeof(szDir));
    PathRemoveFileSpecA(szDir);
    CString strPath;
    strPath.Format("%s\\typeSet.ini", szDir);
    return strPath;
}

int ReadTypeFlag(LPCSTR pszKey, LPCSTR pszPath)
{
    char szValue[1024];
    memset(szValue, 0, sizeof(szValue));
    GetPrivateProfileStringA("TYPE", pszKey, "", szValue, 10, pszPath);
    return szValue[0] == '\0' || strcmp(szValue, "1") == 0;
}

int ReadNoticesSetting(LPCSTR pszPath)
{
    char szValue[16] = {};
    GetPrivateProfileStringA("OUTPUT", "Notices", "1", szValue, sizeof(szValue), pszPath);
    return strcmp(szValue, "0") == 0 ? 0 : 1;
}

namespace {

// Closes the file on every way out of LoadDecodeTime.
struct FileCloser {
    FILE* fp;
    ~FileCloser() { fclose(fp); }
};

}  // namespace

bool CScanWedgeDlg::LoadDecodeTime(LPCSTR pszFileName)
{
    try {
        FILE* fp = fopen(pszFileName, "r");
        if (!fp) {
            printf("file not exist\n");
            m_nDecodeTime = 50;
            return false;
        }
        FileCloser closer = { fp };
        fseek(fp, 0, SEEK_END);
        long nSize = ftell(fp);
        fseek(fp, 0, SEEK_SET);
        if (nSize < 0)
            throw CFileException(CFileException::badSeek);

        char* pBuf = static_cast<char*>(calloc(nSize + 1, 1));
        if (!pBuf)
            throw CMemoryException();
        fread(pBuf, 1, nSize, fp);
        CString strTime;
        strTime.Format("%s", pBuf);
        free(pBuf);

        m_nDecodeTime = atoi(strTime);
        if (m_nDecodeTime < 50)
            m_nDecodeTime = 50;
        if (m_nDecodeTime > 5000)
            m_nDecodeTime = 5000;
        return true;
    } catch (...) {
        printf("程序发生异常\n");
        return false;
    }
}
