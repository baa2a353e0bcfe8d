#include "utf8.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>

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

// How much a reading looks like real text, as a cost in bits, the way a
// simple model of text would score it: each character costs what it is worth
// in its script (an everyday hanzi 12, a rare one 36, a letter of a small
// alphabet 5, ASCII nothing since both readings share it), and each pair of
// neighbours what it costs the two to stand together (a currency sign before
// a digit 0, a hanzi among Hangul 25, unrelated kinds 10). Blanks are looked
// through, so a word's neighbours are the words beside it, and the ends of
// the text count as neighbours. Of two readings the cheaper is the likelier.

// Groups of characters, by how they stand next to others; each has a letter
// for the join rules below.
const char kGroupLetters[] = "EPDLAGCBQFTOHJKWMX";
// E edge of the text, P punctuation and controls, D digit, L ASCII letter,
// A accented Latin letter, G Greek, C Cyrillic, B sign before a number (¥ ©),
// Q opening mark before a word (¿ «), F sign after a number or word (° ² ®),
// T operator between numbers (± ×), O other symbol, H hanzi, J kana,
// K Hangul, W CJK punctuation and full-width forms, M emoji, X rare.
const int kGroups = sizeof(kGroupLetters) - 1;

enum Kind {
    kBlank, kPunct, kDigit, kLetter, kWidePunct, kAccented, kGreek, kCyrillic, kBefore, kOpening,
    kAfter, kOperator, kSymbol, kHanziEveryday, kHanziTraditional, kHanziLevel2, kHanziRare,
    kHanziSupplementary, kKana, kHangulEveryday, kHangulRare, kCjkPunct, kEmoji, kRare, kKinds
};

// Each kind's group and what one character of it costs, in the order of the
// kinds. Everyday hanzi are GB2312's first level, traditional ones Big5's
// frequent set, the next GB2312's second level; everyday Hangul are the
// syllables of KS X 1001.
const struct {
    char chGroup;
    BYTE nBits;
} kKindInfo[kKinds] = {
    { ' ', 0 },  { 'P', 0 },  { 'D', 0 },  { 'L', 0 },                // blank (no group), ASCII
    { 'P', 6 },  { 'A', 6 },  { 'G', 5 },  { 'C', 5 },                // punctuation, letters
    { 'B', 5 },  { 'Q', 5 },  { 'F', 5 },  { 'T', 5 },  { 'O', 8 },   // signs, symbols
    { 'H', 12 }, { 'H', 14 }, { 'H', 16 }, { 'H', 36 }, { 'H', 42 },  // hanzi
    { 'J', 10 }, { 'K', 12 }, { 'K', 36 }, { 'W', 10 }, { 'M', 12 }, { 'X', 30 },
};

int GroupOf(char chLetter)
{
    const char* p = strchr(kGroupLetters, chLetter);
    return p ? (int)(p - kGroupLetters) : 0;
}

// Kinds of the BMP by range, a later range overriding an earlier one; the
// rest is rare.
const struct {
    WCHAR first, last;
    Kind kind;
} kRanges[] = {
    { 0x00A0, 0x00BF, kSymbol },     { 0x00C0, 0x024F, kAccented },
    { 0x0386, 0x03CE, kGreek },      { 0x0387, 0x0387, kSymbol },
    { 0x0400, 0x045F, kCyrillic },   { 0x1E00, 0x1EFF, kAccented },
    { 0x2000, 0x2BFF, kSymbol },     { 0x2010, 0x2027, kWidePunct },
    { 0x2600, 0x27BF, kEmoji },      { 0x3000, 0x303F, kCjkPunct },
    { 0x3041, 0x30FF, kKana },       { 0x3100, 0x312F, kCjkPunct },
    { 0x3200, 0x33FF, kSymbol },     { 0x3400, 0x4DBF, kHanziRare },
    { 0x4E00, 0x9FFF, kHanziRare },  { 0xAC00, 0xD7A3, kHangulRare },
    { 0xF900, 0xFAFF, kHanziRare },  { 0xFE30, 0xFE4F, kCjkPunct },
    { 0xFF00, 0xFFEF, kCjkPunct },
};

// Signs, by where they stand.
const struct {
    const wchar_t* pszChars;
    Kind kind;
} kSigns[] = {
    { L"\x00A3\x00A4\x00A5\x00A7\x00A9\x20AC\x2116", kBefore },    // £ ¤ ¥ § © € №
    { L"\x00A1\x00AB\x00BF", kOpening },                           // ¡ « ¿
    { L"\x00A2\x00AA\x00AE\x00B0\x00B2\x00B3\x00B9\x00BA\x00BB"    // ¢ ª ® ° ² ³ ¹ º »
      L"\x00BC\x00BD\x00BE\x2030\x2032\x2033\x2103\x2122", kAfter },  // ¼ ½ ¾ ‰ ′ ″ ℃ ™
    { L"\x00B1\x00D7\x00F7", kOperator },                          // ± × ÷
    { L"\x00B5", kAccented },                                      // µ, a letter of units
};

// What it costs two neighbours to stand together, by group letters: rules in
// order, a later one overriding an earlier one, both ways where marked;
// pairs no rule names are unrelated and cost 10.
const int kUnrelated = 10;
const struct {
    const char* pszLeft;
    const char* pszRight;
    BYTE nBits;
    bool bBothWays;
} kJoins[] = {
    { "EPDL", "EPDL", 0, false },
    // Hanzi among hanzi, beside ASCII, kana and emoji; not among Hangul.
    { "H", "EHW", 0, true },  { "H", "P", 1, true },   { "H", "DL", 2, true },
    { "H", "J", 1, true },    { "H", "M", 2, true },   { "H", "K", 25, true },
    // An accented letter belongs inside a Latin word.
    { "A", "L", 0, true },    { "A", "A", 6, false },  { "E", "A", 4, false },
    { "A", "E", 3, false },   { "A", "P", 2, true },   { "A", "D", 6, true },
    // Greek and Cyrillic letters among their own script.
    { "G", "G", 0, false },   { "C", "C", 0, false },  { "E", "GC", 8, false },
    { "GC", "E", 6, false },  { "GC", "P", 3, true },  { "GC", "D", 4, true },
    // A currency sign or © before a number, not after one (1楼 is no 1¥).
    { "E", "B", 3, false },   { "HP", "B", 1, false }, { "D", "B", 12, false },
    { "L", "B", 4, false },   { "B", "D", 0, false },  { "B", "L", 4, false },
    { "B", "H", 3, false },   { "B", "E", 12, false },
    // ± × between or before numbers.
    { "E", "T", 3, false },   { "P", "T", 1, false },  { "D", "T", 1, true },
    { "L", "T", 4, true },    { "T", "E", 12, false },
    // ° ² ® after a number or a word, never first.
    { "D", "F", 0, false },   { "L", "F", 1, false },  { "P", "F", 3, false },
    { "H", "F", 4, false },   { "E", "F", 12, false }, { "F", "E", 0, false },
    { "F", "PL", 1, false },  { "F", "H", 3, false },  { "F", "D", 5, false },
    // ¿ ¡ « before a word.
    { "E", "Q", 3, false },   { "P", "Q", 1, false },  { "Q", "L", 0, false },
    { "Q", "E", 12, false },
    { "O", "LAPHGC", 4, true },
    // CJK punctuation, kana, Hangul and emoji.
    { "W", "J", 0, true },    { "W", "K", 1, true },   { "W", "EDL", 2, true },
    { "W", "W", 1, false },   { "W", "P", 3, true },   { "J", "J", 0, false },
    { "J", "E", 1, true },    { "J", "DLP", 2, true }, { "J", "K", 8, true },
    { "K", "K", 0, false },   { "K", "E", 0, true },   { "K", "PDL", 2, true },
    { "M", "M", 1, false },   { "M", "E", 1, true },   { "M", "PDLAGCHJKW", 2, true },
};

class CPlausibility {
public:
    static const CPlausibility& Get();

    // What the text costs, in bits: the less, the likelier.
    int Cost(const std::wstring& text) const;

private:
    CPlausibility();
    void SetJoins(const char* pszLeft, const char* pszRight, BYTE nBits);
    void MarkCodePage(UINT nCodePage, BYTE bFirstLead, BYTE bLastLead, bool bLowTrails, Kind kind);
    Kind KindAt(const std::wstring& text, size_t i, int* pUnits) const;

    BYTE m_kind[0x10000];
    BYTE m_group[kKinds];
    BYTE m_join[kGroups][kGroups];
};

const CPlausibility& CPlausibility::Get()
{
    static const CPlausibility s_model;
    return s_model;
}

CPlausibility::CPlausibility()
{
    for (int k = 0; k < kKinds; ++k)
        m_group[k] = (BYTE)GroupOf(kKindInfo[k].chGroup);
    memset(m_join, kUnrelated, sizeof m_join);
    for (const auto& j : kJoins) {
        SetJoins(j.pszLeft, j.pszRight, j.nBits);
        if (j.bBothWays)
            SetJoins(j.pszRight, j.pszLeft, j.nBits);
    }

    memset(m_kind, kRare, sizeof m_kind);
    for (int ch = 0; ch < 0x80; ++ch) {
        m_kind[ch] = isdigit(ch) ? kDigit
                   : isalpha(ch) ? kLetter
                   : (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') ? kBlank
                                                                          : kPunct;
    }
    for (const auto& r : kRanges)
        memset(&m_kind[r.first], r.kind, r.last - r.first + 1);
    for (const auto& s : kSigns) {
        for (const wchar_t* p = s.pszChars; *p; ++p)
            m_kind[*p] = s.kind;
    }
    // Which ideographs and syllables are in everyday use, from the code pages
    // that hold them.
    MarkCodePage(936, 0xD8, 0xF7, false, kHanziLevel2);
    MarkCodePage(950, 0xA4, 0xC6, true, kHanziTraditional);
    MarkCodePage(936, 0xB0, 0xD7, false, kHanziEveryday);
    MarkCodePage(949, 0xB0, 0xC8, false, kHangulEveryday);
}

void CPlausibility::SetJoins(const char* pszLeft, const char* pszRight, BYTE nBits)
{
    for (const char* l = pszLeft; *l; ++l) {
        for (const char* r = pszRight; *r; ++r)
            m_join[GroupOf(*l)][GroupOf(*r)] = nBits;
    }
}

// Gives the characters of the rows bFirstLead..bLastLead of a double-byte
// code page (trail bytes 0xA1..0xFE, and 0x40..0x7E with bLowTrails) the
// kind, where it makes them cheaper within their group. The rows go in one
// conversion, or one at a time where the code page does not take them whole
// (a row it does not take at all is left as it is).
void CPlausibility::MarkCodePage(UINT nCodePage, BYTE bFirstLead, BYTE bLastLead, bool bLowTrails,
                                 Kind kind)
{
    std::string bytes;
    for (int lead = bFirstLead; lead <= bLastLead; ++lead) {
        for (int trail = bLowTrails ? 0x40 : 0xA1; trail <= 0xFE; ++trail) {
            if (trail <= 0x7E || trail >= 0xA1) {
                bytes += (char)lead;
                bytes += (char)trail;
            }
        }
    }
    int nRows = bLastLead - bFirstLead + 1;
    int nChars = (int)bytes.size() / 2, nRowChars = nChars / nRows;
    std::wstring wide(nChars, L'\0');
    if (MultiByteToWideChar(nCodePage, 0, bytes.data(), 2 * nChars, &wide[0], nChars) != nChars) {
        for (int row = 0; row < nRows; ++row) {
            WCHAR* pRow = &wide[row * nRowChars];
            if (MultiByteToWideChar(nCodePage, 0, &bytes[2 * row * nRowChars], 2 * nRowChars, pRow,
                                    nRowChars) != nRowChars)
                std::fill(pRow, pRow + nRowChars, L'\0');
        }
    }
    for (WCHAR w : wide) {
        BYTE& current = m_kind[w];
        if (m_group[current] == m_group[kind] && kKindInfo[kind].nBits < kKindInfo[current].nBits)
            current = (BYTE)kind;
    }
}

Kind CPlausibility::KindAt(const std::wstring& text, size_t i, int* pUnits) const
{
    UINT32 ch = CodePointAt(text, i, pUnits);
    if (ch < 0x10000)
        return (Kind)m_kind[ch];
    if (ch >= 0x1F000 && ch <= 0x1FAFF)
        return kEmoji;
    if (ch >= 0x20000 && ch <= 0x3FFFF)
        return kHanziSupplementary;
    return kRare;
}

int CPlausibility::Cost(const std::wstring& text) const
{
    int nBits = 0;
    int prev = 0;   // the start of the text
    for (size_t i = 0; i < text.size();) {
        int nUnits;
        Kind kind = KindAt(text, i, &nUnits);
        i += nUnits;
        if (kind == kBlank)
            continue;
        nBits += kKindInfo[kind].nBits + m_join[prev][m_group[kind]];
        prev = m_group[kind];
    }
    return nBits + m_join[prev][0];
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
    // Both readings valid: the one that looks more like real text wins, the
    // code page's on a tie.
    bool bOk;
    std::wstring ansi = Widen(nCodePage, MB_ERR_INVALID_CHARS, pText, nLength, &bOk);
    if (!bOk)
        return true;
    const CPlausibility& model = CPlausibility::Get();
    return model.Cost(Widen(CP_UTF8, 0, pText, nLength, &bOk)) < model.Cost(ansi);
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
