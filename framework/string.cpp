#include "afxwin.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// The empty string every CString starts with; never freed, never written.
struct EmptyString {
    LONG nRefs;   // never counted: the empty string is recognised by address
    int nLength;
    int nAlloc;
    char chNul;
};
EmptyString g_empty = { -1, 0, 0, '\0' };

}  // namespace

CString::CString()
    : m_pchData(&g_empty.chNul)
{
}

CString::CString(const CString& src)
    : m_pchData(&g_empty.chNul)
{
    *this = src;
}

CString::CString(LPCSTR psz)
    : m_pchData(&g_empty.chNul)
{
    AssignCopy(psz, psz ? (int)strlen(psz) : 0);
}

CString::CString(LPCSTR pch, int nLength)
    : m_pchData(&g_empty.chNul)
{
    AssignCopy(pch, nLength);
}

CString::~CString()
{
    Release();
}

void CString::AllocBuffer(int nLength)
{
    if (nLength == 0) {
        m_pchData = &g_empty.chNul;
        return;
    }
    Data* p = static_cast<Data*>(malloc(sizeof(Data) + nLength + 1));
    if (!p)
        throw CMemoryException();
    p->nRefs = 1;
    p->nLength = nLength;
    p->nAlloc = nLength;
    p->Chars()[nLength] = '\0';
    m_pchData = p->Chars();
}

void CString::Release()
{
    if (m_pchData == &g_empty.chNul)
        return;
    Data* p = Header();
    m_pchData = &g_empty.chNul;
    if (InterlockedDecrement(&p->nRefs) == 0)
        free(p);
}

void CString::Empty()
{
    Release();
}

void CString::AssignCopy(LPCSTR pch, int nLength)
{
    // Build the new buffer first: pch may point into our own text.
    CString tmp;
    tmp.AllocBuffer(nLength);
    if (nLength > 0)
        memcpy(tmp.m_pchData, pch, nLength);
    Release();
    m_pchData = tmp.m_pchData;
    tmp.m_pchData = &g_empty.chNul;
}

CString& CString::operator=(const CString& src)
{
    if (m_pchData == src.m_pchData)
        return *this;
    if (src.m_pchData == &g_empty.chNul) {
        Release();
        return *this;
    }
    InterlockedIncrement(&src.Header()->nRefs);
    Release();
    m_pchData = src.m_pchData;
    return *this;
}

CString& CString::operator=(LPCSTR psz)
{
    AssignCopy(psz, psz ? (int)strlen(psz) : 0);
    return *this;
}

void CString::Append(LPCSTR pch, int nLength)
{
    if (nLength <= 0)
        return;
    int nOld = GetLength();
    CString tmp;
    tmp.AllocBuffer(nOld + nLength);
    memcpy(tmp.m_pchData, m_pchData, nOld);
    memcpy(tmp.m_pchData + nOld, pch, nLength);
    Release();
    m_pchData = tmp.m_pchData;
    tmp.m_pchData = &g_empty.chNul;
}

CString& CString::operator+=(const CString& src)
{
    CString keep(src);  // src may be *this
    Append(keep.m_pchData, keep.GetLength());
    return *this;
}

CString& CString::operator+=(LPCSTR psz)
{
    if (psz)
        Append(psz, (int)strlen(psz));
    return *this;
}

CString& CString::operator+=(char ch)
{
    Append(&ch, 1);
    return *this;
}

CString operator+(const CString& a, const CString& b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(const CString& a, LPCSTR b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(LPCSTR a, const CString& b)
{
    CString s(a);
    s += b;
    return s;
}

int CString::Compare(LPCSTR psz) const
{
    return strcmp(m_pchData, psz ? psz : "");
}

void CString::CopyBeforeWrite(int nMinAlloc)
{
    if (m_pchData != &g_empty.chNul && Header()->nRefs == 1 && Header()->nAlloc >= nMinAlloc)
        return;
    int nLength = GetLength();
    Data* q = static_cast<Data*>(malloc(sizeof(Data) + nMinAlloc + 1));
    if (!q)
        throw CMemoryException();
    q->nRefs = 1;
    q->nLength = nLength < nMinAlloc ? nLength : nMinAlloc;
    q->nAlloc = nMinAlloc;
    memcpy(q->Chars(), m_pchData, q->nLength);
    q->Chars()[q->nLength] = '\0';
    Release();
    m_pchData = q->Chars();
}

LPSTR CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength < GetLength())
        nMinBufLength = GetLength();
    CopyBeforeWrite(nMinBufLength > 0 ? nMinBufLength : 1);
    return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (m_pchData == &g_empty.chNul)
        return;
    Data* p = Header();
    if (nNewLength < 0 || nNewLength > p->nAlloc)
        nNewLength = (int)strnlen(m_pchData, p->nAlloc);
    p->nLength = nNewLength;
    m_pchData[nNewLength] = '\0';
}

void CString::FormatV(LPCSTR pszFormat, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int nLength = vsnprintf(NULL, 0, pszFormat, measure);
    va_end(measure);
    if (nLength < 0)
        throw CMemoryException();
    CString tmp;
    tmp.AllocBuffer(nLength);
    if (nLength > 0)
        vsnprintf(tmp.m_pchData, nLength + 1, pszFormat, args);
    *this = tmp;
}

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

BOOL CString::LoadString(UINT nID)
{
    // LoadStringA gives no way to learn the length; grow until it fits.
    for (int nSize = 256;; nSize *= 2) {
        char* buf = static_cast<char*>(malloc(nSize));
        if (!buf)
            throw CMemoryException();
        int n = ::LoadStringA(AfxGetResourceHandle(), nID, buf, nSize);
        if (n < nSize - 1 || nSize >= 0x10000) {
            AssignCopy(buf, n);
            free(buf);
            return n > 0;
        }
        free(buf);
    }
}

std::wstring AfxWiden(const char* pText, int nLength, UINT nCodePage)
{
    if (nLength < 0)
        nLength = lstrlenA(pText);
    std::wstring wide;
    int n = nLength > 0 ? MultiByteToWideChar(nCodePage, 0, pText, nLength, NULL, 0) : 0;
    if (n > 0) {
        wide.resize(n);
        MultiByteToWideChar(nCodePage, 0, pText, nLength, &wide[0], n);
    }
    return wide;
}
