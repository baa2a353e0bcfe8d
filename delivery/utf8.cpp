#include "utf8.h"

#include <stdlib.h>

namespace {

inline bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Length of the sequence a lead byte starts, and the allowed range of the
// byte after it (which rules out overlong forms, surrogates and values above
// U+10FFFF); 0 for a byte that cannot start a sequence.
int SequenceLength(unsigned char b, unsigned char* pLow, unsigned char* pHigh)
{
    *pLow = 0x80;
    *pHigh = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
        return 2;
    if (b >= 0xE0 && b <= 0xEF) {
        if (b == 0xE0)
            *pLow = 0xA0;
        else if (b == 0xED)
            *pHigh = 0x9F;
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (b == 0xF0)
            *pLow = 0x90;
        else if (b == 0xF4)
            *pHigh = 0x8F;
        return 4;
    }
    return 0;
}

}  // namespace

bool IsUtf8(const char* pText, int nLength)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pText);
    int i = 0;
    while (i < nLength) {
        unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        unsigned char low, high;
        int n = SequenceLength(b, &low, &high);
        if (n == 0 || i + n > nLength)
            return false;
        if (p[i + 1] < low || p[i + 1] > high)
            return false;
        for (int k = 2; k < n; ++k) {
            if (!IsContinuation(p[i + k]))
                return false;
        }
        i += n;
    }
    return true;
}

void Utf8ToAnsi(CString& strText)
{
    int nWide = MultiByteToWideChar(CP_UTF8, 0, strText, -1, NULL, 0);
    WCHAR* pWide = static_cast<WCHAR*>(calloc(nWide + 1, sizeof(WCHAR)));
    if (!pWide)
        throw CMemoryException();
    MultiByteToWideChar(CP_UTF8, 0, strText, -1, pWide, nWide);

    int nAnsi = WideCharToMultiByte(CP_ACP, 0, pWide, -1, NULL, 0, NULL, NULL);
    char* pAnsi = static_cast<char*>(calloc(nAnsi + 1, 1));
    if (!pAnsi) {
        free(pWide);
        throw CMemoryException();
    }
    WideCharToMultiByte(CP_ACP, 0, pWide, -1, pAnsi, nAnsi, NULL, NULL);

    free(pWide);
    try {
        strText = pAnsi;
    } catch (...) {
        free(pAnsi);
        throw;
    }
    free(pAnsi);
}
