// Core classes of the application framework: the reference-counted string,
// the exceptions, and the file classes. Failures of the file and string
// classes are reported by throwing the exception objects by value.
#pragma once

#include <windows.h>
#include <stdarg.h>

#include <string>

class CException {
public:
    virtual ~CException() {}
};

class CMemoryException : public CException {};

class CFileException : public CException {
public:
    enum {
        none, genericException, fileNotFound, badPath, tooManyOpenFiles,
        accessDenied, invalidFile, removeCurrentDir, directoryFull, badSeek,
        hardIO, sharingViolation, lockViolation, diskFull, endOfFile
    };

    explicit CFileException(int cause = none, LONG lOsError = -1)
        : m_cause(cause), m_lOsError(lOsError) {}

    static int OsErrorToException(LONG lOsError);
    [[noreturn]] static void ThrowOsError(LONG lOsError);

    int m_cause;
    LONG m_lOsError;
};

// Text in a code page as UTF-16; nLength -1 takes it up to its NUL.
std::wstring AfxWiden(const char* pText, int nLength = -1, UINT nCodePage = CP_ACP);

// Copy-on-write string: copies share one buffer until one of them changes.
class CString {
public:
    CString();
    CString(const CString& src);
    CString(LPCSTR psz);
    CString(LPCSTR pch, int nLength);
    ~CString();

    CString& operator=(const CString& src);
    CString& operator=(LPCSTR psz);
    CString& operator+=(const CString& src);
    CString& operator+=(LPCSTR psz);
    CString& operator+=(char ch);

    int GetLength() const { return Header()->nLength; }
    BOOL IsEmpty() const { return GetLength() == 0; }
    void Empty();
    char GetAt(int nIndex) const { return m_pchData[nIndex]; }
    char operator[](int nIndex) const { return m_pchData[nIndex]; }
    operator LPCSTR() const { return m_pchData; }

    int Compare(LPCSTR psz) const;
    bool operator==(LPCSTR psz) const { return Compare(psz) == 0; }
    bool operator!=(LPCSTR psz) const { return Compare(psz) != 0; }

    void Format(LPCSTR pszFormat, ...);
    void FormatV(LPCSTR pszFormat, va_list args);
    BOOL LoadString(UINT nID);

    // Direct access for APIs that fill a char buffer; ReleaseBuffer(-1)
    // takes the length from the terminating NUL.
    LPSTR GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    struct Data {
        volatile LONG nRefs;
        int nLength;
        int nAlloc;
        char* Chars() { return reinterpret_cast<char*>(this + 1); }
    };

    Data* Header() const { return reinterpret_cast<Data*>(m_pchData) - 1; }
    void AllocBuffer(int nLength);
    void Release();
    void AssignCopy(LPCSTR pch, int nLength);
    void Append(LPCSTR pch, int nLength);
    void CopyBeforeWrite(int nMinAlloc);

    char* m_pchData;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCSTR b);
CString operator+(LPCSTR a, const CString& b);

class CFile {
public:
    enum OpenFlags {
        modeRead = 0x0000, modeWrite = 0x0001, modeReadWrite = 0x0002,
        shareCompat = 0x0000, shareExclusive = 0x0010, shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030, shareDenyNone = 0x0040, modeNoInherit = 0x0080,
        modeCreate = 0x1000, modeNoTruncate = 0x2000,
        typeText = 0x4000, typeBinary = 0x8000
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile();
    virtual ~CFile();

    // Returns FALSE on failure (with the cause in *pError when given);
    // every other operation throws CFileException.
    virtual BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = NULL);
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual LONG Seek(LONG lOff, UINT nFrom);
    DWORD SeekToEnd() { return Seek(0, end); }
    virtual DWORD GetLength() const;
    virtual void Close();
    virtual void Abort();   // closes without throwing

    HANDLE m_hFile;
    CString m_strFileName;

private:
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
};

// A file whose text mode turns every "\n" written into CR LF.
class CStdioFile : public CFile {
public:
    CStdioFile() : m_bText(TRUE) {}

    BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = NULL) override;
    virtual void WriteString(LPCSTR lpsz);

private:
    BOOL m_bText;
};
