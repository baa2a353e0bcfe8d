#include "utf8.h"

#include <ctype.h>
#include <string.h>

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

bool HasBom(const char* pText, int nLength)
{
    return nLength >= 3 && memcmp(pText, "\xEF\xBB\xBF", 3) == 0;
}

bool IsAscii(const char* pText, int nLength)
{
    for (int i = 0; i < nLength; ++i) {
        if ((unsigned char)pText[i] > 0x7F)
            return false;
    }
    return true;
}

std::wstring Widen(UINT nCodePage, DWORD dwFlags, const char* pText, int nLength, bool* pOk)
{
    std::wstring wide;
    int n = nLength ? MultiByteToWideChar(nCodePage, dwFlags, pText, nLength, NULL, 0) : 0;
    *pOk = n > 0 || nLength == 0;
    if (n > 0) {
        wide.resize(n);
        MultiByteToWideChar(nCodePage, dwFlags, pText, nLength, &wide[0], n);
    }
    return wide;
}

// The character's bytes in the code page, none when the code page lacks it.
int Narrow(UINT nCodePage, const WCHAR* pwch, int nUnits, unsigned char* pOut)
{
    BOOL bLost = FALSE;
    if (nCodePage == CP_UTF8)
        return WideCharToMultiByte(CP_UTF8, 0, pwch, nUnits, reinterpret_cast<char*>(pOut), 8,
                                   NULL, NULL);
    int n = WideCharToMultiByte(nCodePage, WC_NO_BEST_FIT_CHARS, pwch, nUnits,
                                reinterpret_cast<char*>(pOut), 8, NULL, &bLost);
    return bLost ? 0 : n;
}

// A double-byte character of the core set of an EUC-style code page (GB2312
// in code page 936, KS X 1001 in 949): both bytes 0xA1 or above. These are
// the characters in everyday use.
bool IsCoreCharacter(UINT nCodePage, WCHAR wch)
{
    unsigned char b[8];
    return Narrow(nCodePage, &wch, 1, b) == 2 && b[0] >= 0xA1 && b[1] >= 0xA1;
}

// True when every double-byte character of the text is a core character and
// none is private-use (the user-defined rows): what a Chinese text in
// everyday characters looks like. Single bytes above 0x7F are not core.
bool IsCoreText(UINT nCodePage, const char* pText, int nLength, const std::wstring& wide)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pText);
    for (int i = 0; i < nLength; ++i) {
        if (p[i] < 0x80)
            continue;
        if (p[i] < 0xA1 || !IsDBCSLeadByteEx(nCodePage, p[i]) || i + 1 >= nLength ||
            p[i + 1] < 0xA1)
            return false;
        ++i;
    }
    for (WCHAR wch : wide) {
        if (wch >= 0xE000 && wch <= 0xF8FF)
            return false;
    }
    return true;
}

// Whether a character is one a real UTF-8 text would hold under a Chinese,
// Japanese or Korean code page: ideographs and Hangul syllables of everyday
// use (GB2312, Big5's frequent set, KS X 1001), Latin, Greek, Cyrillic,
// punctuation, symbols, kana, full-width forms and emoji. A Chinese text
// misread as UTF-8 turns into rare ideographs, stray scripts and
// private-use characters instead.
bool IsPlausible(UINT32 ch, const WCHAR* pwch)
{
    if (ch < 0x80)
        return true;
    if (ch < 0x800)
        return (ch >= 0xA0 && ch <= 0x24F) || (ch >= 0x370 && ch <= 0x4FF);
    if ((ch >= 0x3400 && ch <= 0x9FFF) || (ch >= 0xF900 && ch <= 0xFAFF)) {
        unsigned char b[8];
        return IsCoreCharacter(936, pwch[0]) ||
               (Narrow(950, pwch, 1, b) == 2 && b[0] >= 0xA4 && b[0] <= 0xC6);
    }
    if (ch >= 0xAC00 && ch <= 0xD7A3)
        return IsCoreCharacter(949, pwch[0]);
    static const struct { UINT32 first, last; } kRanges[] = {
        { 0x1E00, 0x1EFF }, { 0x2000, 0x27BF }, { 0x3000, 0x33FF },
        { 0xFE30, 0xFE4F }, { 0xFF00, 0xFFEF }, { 0x1F000, 0x1FAFF },
    };
    for (const auto& r : kRanges) {
        if (ch >= r.first && ch <= r.last)
            return true;
    }
    return false;
}

// The character at wide[i]: its code point and its length in UTF-16 units.
UINT32 CodePointAt(const std::wstring& wide, size_t i, int* pUnits)
{
    WCHAR w = wide[i];
    if (w >= 0xD800 && w <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
        *pUnits = 2;
        return 0x10000 + ((UINT32)(w - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
    }
    *pUnits = 1;
    return w;
}

// Both readings are valid and the double-byte one is everyday Chinese: the
// UTF-8 reading wins only when it makes sense too. With a sequence of three
// or more bytes that means every character is plausible; with two-byte
// sequences alone (U+0080..U+07FF, where one in seven GB2312 ideographs
// lands: 小 reads as Cyrillic С, 同学 as U+036C U+0467) it means a Latin text
// with accents, i.e. ASCII letters with accented letters among them.
bool Utf8ReadingMakesSense(const std::wstring& wide)
{
    bool bLong = false, bAllPlausible = true, bLatin = true, bAsciiLetter = false;
    bool bIdeograph = false, bHangul = false;
    for (size_t i = 0; i < wide.size();) {
        int nUnits;
        UINT32 ch = CodePointAt(wide, i, &nUnits);
        if (ch >= 0x800)
            bLong = true;
        if (ch >= 0x3400 && ch <= 0x9FFF)
            bIdeograph = true;
        if (ch >= 0xAC00 && ch <= 0xD7A3)
            bHangul = true;
        if (!IsPlausible(ch, &wide[i]))
            bAllPlausible = false;
        if (ch >= 0x80 && !(ch >= 0xA0 && ch <= 0x24F))
            bLatin = false;
        if (ch < 0x80 && isalpha((int)ch))
            bAsciiLetter = true;
        i += nUnits;
    }
    // Ideographs among Hangul are rare in Korean text and common in Chinese
    // text misread.
    return bLong ? bAllPlausible && !(bIdeograph && bHangul) : bLatin && bAsciiLetter;
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

bool TakeAsUtf8(const char* pText, int nLength, UINT nCodePage)
{
    if (!IsUtf8(pText, nLength) || IsAscii(pText, nLength))
        return false;
    CPINFO info;
    if (HasBom(pText, nLength) || !GetCPInfo(nCodePage, &info) || info.MaxCharSize != 2)
        return true;
    if (nCodePage == CP_ACP)
        nCodePage = GetACP();
    bool bOk;
    std::wstring ansi = Widen(nCodePage, MB_ERR_INVALID_CHARS, pText, nLength, &bOk);
    if (!bOk || !IsCoreText(nCodePage, pText, nLength, ansi))
        return true;
    return Utf8ReadingMakesSense(Widen(CP_UTF8, 0, pText, nLength, &bOk));
}

CString WideToAnsi(const std::wstring& wide)
{
    UINT nCodePage = GetACP();
    // One character at a time and without best fit, so that none becomes a
    // look-alike (Ω is not O, ∞ is not 8).
    std::string ansi;
    ansi.reserve(wide.size() * 2);
    char chDefault = '?';
    CPINFO info;
    if (nCodePage != CP_UTF8 && GetCPInfo(nCodePage, &info))
        chDefault = (char)info.DefaultChar[0];
    for (size_t i = 0; i < wide.size();) {
        int nUnits;
        CodePointAt(wide, i, &nUnits);
        unsigned char bytes[8];
        int n = wide[i] < 0x80 ? (bytes[0] = (unsigned char)wide[i], 1)
                               : Narrow(nCodePage, &wide[i], nUnits, bytes);
        if (n > 0)
            ansi.append(reinterpret_cast<char*>(bytes), n);
        else
            ansi.append(nUnits, chDefault);   // one for each half of a surrogate pair
        i += nUnits;
    }
    return CString(ansi.c_str(), (int)ansi.size());
}

void Utf8ToAnsi(CString& strText)
{
    const char* pText = strText;
    int nLength = strText.GetLength();
    if (HasBom(pText, nLength)) {
        pText += 3;
        nLength -= 3;
    }
    if (IsAscii(pText, nLength) || GetACP() == CP_UTF8) {
        strText = CString(pText, nLength);
        return;
    }
    bool bOk;
    strText = WideToAnsi(Widen(CP_UTF8, 0, pText, nLength, &bOk));
}
