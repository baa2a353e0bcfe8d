#include "gs1.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace {

const char kGs = 0x1D;

// An AI matches a row when it has as many digits as pszFirst and each digit
// lies between those of pszFirst and pszLast: "3100".."3165" stands for 310n
// to 316n, n (the decimal places) 0 to 5.
struct CAiRange {
    const char* pszFirst;
    const char* pszLast;
};

// The value's parts, in order: N digits, X the 82 characters GS1 allows, Y
// the 39 of a component/part identifier; a length ("14") or a maximum
// ("..20"); [..] a part that may be left out. A letter after the length is
// checked too: c check digit (mod 10), d date YYMMDD where DD may be 00 (year
// and month only), D date with a day, h hour, m minute or second.
struct CAiFormat {
    CAiRange ai;
    const char* pszFormat;
};

const CAiFormat kAis[] = {
    { { "00", "00" }, "N18c" },            // SSCC
    { { "01", "03" }, "N14c" },            // GTIN, GTIN of contents, made-to-order GTIN
    { { "10", "10" }, "X..20" },           // batch or lot
    { { "11", "13" }, "N6d" },             // production, due, packaging date
    { { "15", "17" }, "N6d" },             // best before, sell by, expiry date
    { { "20", "20" }, "N2" },
    { { "21", "22" }, "X..20" },           // serial number, consumer product variant
    { { "235", "235" }, "X..28" },
    { { "240", "241" }, "X..30" },
    { { "242", "242" }, "N..6" },
    { { "243", "243" }, "X..20" },
    { { "250", "251" }, "X..30" },
    { { "253", "253" }, "N13c [X..17]" },  // GDTI
    { { "254", "254" }, "X..20" },
    { { "255", "255" }, "N13c [N..12]" },  // GCN
    { { "30", "30" }, "N..8" },
    { { "3100", "3165" }, "N6" },          // trade measures
    { { "3200", "3295" }, "N6" },
    { { "3300", "3375" }, "N6" },          // logistic measures
    { { "3400", "3495" }, "N6" },
    { { "3500", "3575" }, "N6" },
    { { "3600", "3695" }, "N6" },
    { { "37", "37" }, "N..8" },
    { { "3900", "3909" }, "N..15" },       // amount
    { { "3910", "3919" }, "N3 N..15" },    // amount with ISO currency
    { { "3920", "3929" }, "N..15" },       // price
    { { "3930", "3939" }, "N3 N..15" },
    { { "3940", "3943" }, "N4" },
    { { "3950", "3955" }, "N6" },
    { { "400", "401" }, "X..30" },
    { { "402", "402" }, "N17c" },          // GSIN
    { { "403", "403" }, "X..30" },
    { { "410", "417" }, "N13c" },          // GLNs
    { { "420", "420" }, "X..20" },
    { { "421", "421" }, "N3 X..9" },
    { { "422", "422" }, "N3" },
    { { "423", "423" }, "N3 [N..12]" },
    { { "424", "424" }, "N3" },
    { { "425", "425" }, "N3 [N..12]" },
    { { "426", "426" }, "N3" },
    { { "427", "427" }, "X..3" },
    { { "7001", "7001" }, "N13" },
    { { "7002", "7002" }, "X..30" },
    { { "7003", "7003" }, "N6D N2h N2m" },
    { { "7004", "7004" }, "N..4" },
    { { "7005", "7005" }, "X..12" },
    { { "7006", "7006" }, "N6D" },
    { { "7007", "7007" }, "N6D [N6D]" },
    { { "7008", "7008" }, "X..3" },
    { { "7009", "7009" }, "X..10" },
    { { "7010", "7010" }, "X..2" },
    { { "7020", "7022" }, "X..20" },
    { { "7023", "7023" }, "X..30" },
    { { "7030", "7039" }, "N3 X..27" },
    { { "710", "715" }, "X..20" },         // national healthcare reimbursement numbers
    { { "8001", "8001" }, "N14" },
    { { "8002", "8002" }, "X..20" },
    { { "8003", "8003" }, "N14c [X..16]" }, // GRAI
    { { "8004", "8004" }, "X..30" },
    { { "8005", "8005" }, "N6" },
    { { "8006", "8006" }, "N14c N2 N2" },  // ITIP
    { { "8007", "8007" }, "X..34" },
    { { "8008", "8008" }, "N6D N2h [N2m] [N2m]" },
    { { "8009", "8009" }, "X..50" },
    { { "8010", "8010" }, "Y..30" },
    { { "8011", "8011" }, "N..12" },
    { { "8012", "8012" }, "X..20" },
    { { "8013", "8013" }, "X..25" },
    { { "8017", "8018" }, "N18c" },        // GSRN
    { { "8019", "8019" }, "N..10" },
    { { "8020", "8020" }, "X..25" },
    { { "8026", "8026" }, "N14c N2 N2" },
    { { "8110", "8110" }, "X..70" },
    { { "8111", "8111" }, "N4" },
    { { "8112", "8112" }, "X..70" },
    { { "8200", "8200" }, "X..70" },
    { { "90", "90" }, "X..30" },
    { { "91", "99" }, "X..90" },           // company internal
};

// Elements whose length, AI included, their first two digits fix: these are
// the ones a code may run on into the next AI without a GS.
struct CPredefined {
    CAiRange prefix;
    size_t nLength;
};

const CPredefined kPredefined[] = {
    { { "00", "00" }, 20 }, { { "01", "03" }, 16 }, { { "04", "04" }, 18 },
    { { "11", "19" }, 8 },  { { "20", "20" }, 4 },  { { "31", "36" }, 10 },
    { { "41", "41" }, 16 },
};

// Symbology identifiers of GS1-128, GS1 DataMatrix, GS1 QR, GS1 DataBar, GS1 DotCode.
const char* const kGs1Identifiers[] = { "]C1", "]d2", "]Q3", "]e0", "]J1" };

bool InRange(const std::string& s, size_t pos, const CAiRange& range)
{
    size_t n = strlen(range.pszFirst);
    if (s.size() - pos < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (s[pos + i] < range.pszFirst[i] || s[pos + i] > range.pszLast[i])
            return false;
    }
    return true;
}

const CAiFormat* FindAi(const std::string& s, size_t pos)
{
    for (const CAiFormat& row : kAis) {
        if (InRange(s, pos, row.ai))
            return &row;
    }
    return NULL;
}

size_t PredefinedLength(const std::string& strAi)
{
    for (const CPredefined& row : kPredefined) {
        if (InRange(strAi, 0, row.prefix))
            return row.nLength - strAi.size();
    }
    return 0;
}

bool IsInSet(char cType, char ch)
{
    if (ch >= '0' && ch <= '9')
        return true;
    if (cType == 'N')
        return false;
    if (ch >= 'A' && ch <= 'Z')
        return true;
    if (cType == 'Y')
        return ch == '#' || ch == '-' || ch == '/';
    return (ch >= 'a' && ch <= 'z') || (ch != 0 && strchr("!\"%&'()*+,-./:;<=>?_", ch));
}

int Two(const char* p)
{
    return (p[0] - '0') * 10 + (p[1] - '0');
}

bool IsCheckDigitRight(const char* p, size_t n)
{
    int nSum = 0;
    for (size_t i = 0; i + 1 < n; ++i)
        nSum += (p[i] - '0') * ((n - 1 - i) % 2 ? 3 : 1);
    return (10 - nSum % 10) % 10 == p[n - 1] - '0';
}

// GS1 reads YY within 50 years of today, which puts 00 at 2000 for decades
// yet: every year that YY divides by 4 is a leap year.
bool IsDateRight(const char* p, bool bDayZero)
{
    static const int kDays[] = { 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    int nYear = Two(p), nMonth = Two(p + 2), nDay = Two(p + 4);
    if (nMonth < 1 || nMonth > 12)
        return false;
    int nDays = nMonth == 2 && nYear % 4 != 0 ? 28 : kDays[nMonth - 1];
    return (nDay >= 1 || (bDayZero && nDay == 0)) && nDay <= nDays;
}

// What is wrong with the value for this format, or NULL.
const char* CheckValue(const std::string& strValue, const char* pszFormat)
{
    if (strValue.empty())
        return "empty";
    size_t pos = 0;
    for (const char* f = pszFormat; *f;) {
        if (*f == ' ') {
            ++f;
            continue;
        }
        bool bOptional = *f == '[';
        f += bOptional;
        char cType = *f++;
        char* pEnd;
        size_t nMin = 1, nMax;
        if (*f == '.')
            nMax = strtoul(f + 2, &pEnd, 10);
        else
            nMin = nMax = strtoul(f, &pEnd, 10);
        f = pEnd;
        char cCheck = *f && strchr("cdDhm", *f) ? *f++ : 0;
        f += bOptional;

        size_t n = std::min(nMax, strValue.size() - pos);
        if (n == 0 && bOptional)
            continue;
        if (n < nMin)
            return "too short";
        const char* p = strValue.c_str() + pos;
        for (size_t i = 0; i < n; ++i) {
            if (!IsInSet(cType, p[i]))
                return cType == 'N' ? "not a digit" : "character not allowed";
        }
        if (cCheck == 'c' && !IsCheckDigitRight(p, n))
            return "check digit";
        if ((cCheck == 'd' || cCheck == 'D') && !IsDateRight(p, cCheck == 'd'))
            return "date";
        if ((cCheck == 'h' && Two(p) > 23) || (cCheck == 'm' && Two(p) > 59))
            return "time";
        pos += n;
    }
    return pos < strValue.size() ? "too long" : NULL;
}

std::string AtCharacter(const char* pszWhat, size_t pos)
{
    char sz[64];
    snprintf(sz, sizeof(sz), "%s at character %u", pszWhat, (unsigned)(pos + 1));
    return sz;
}

// The elements, or what is wrong (empty when nothing is).
std::string Split(const std::wstring& strCode, std::vector<Gs1Element>* pElements)
{
    if (strCode.empty())
        return "empty";
    std::string s;
    s.reserve(strCode.size());
    for (size_t i = 0; i < strCode.size(); ++i) {
        if (strCode[i] > 0x7F)
            return AtCharacter("non-ASCII character", i);
        s += (char)strCode[i];
    }

    size_t pos = 0;
    for (const char* pszId : kGs1Identifiers) {
        if (s.compare(0, 3, pszId) == 0)
            pos = 3;
    }
    if (pos == 0 && s[0] == ']')
        return "not GS1 data";
    // Some scanners send the FNC1 that the identifier already announces.
    if (pos < s.size() && s[pos] == kGs)
        ++pos;
    if (pos == s.size())
        return "no element";

    while (pos < s.size()) {
        if (s[pos] == kGs)
            return AtCharacter("GS in place of an AI", pos);
        const CAiFormat* pRow = FindAi(s, pos);
        if (!pRow)
            return AtCharacter("unknown AI", pos);
        Gs1Element element;
        element.strAi = s.substr(pos, strlen(pRow->ai.pszFirst));
        pos += element.strAi.size();
        size_t nEnd = std::min(s.find(kGs, pos), s.size());
        if (size_t nFixed = PredefinedLength(element.strAi))
            nEnd = std::min(nEnd, pos + nFixed);
        element.strValue = s.substr(pos, nEnd - pos);
        if (const char* pszWrong = CheckValue(element.strValue, pRow->pszFormat))
            return "AI " + element.strAi + ": " + pszWrong;
        // A field given twice must say the same, or a template could not tell which is meant.
        for (const Gs1Element& before : *pElements) {
            if (before.strAi == element.strAi && before.strValue != element.strValue)
                return "AI " + element.strAi + ": two different values";
        }
        pElements->push_back(element);
        pos = nEnd;
        if (pos < s.size() && s[pos] == kGs)
            ++pos;
    }
    return std::string();
}

}  // namespace

bool ParseGs1(const std::wstring& strCode, std::vector<Gs1Element>* pElements,
              std::string* pstrError)
{
    std::vector<Gs1Element> elements;
    std::string strError = Split(strCode, &elements);
    if (!strError.empty())
        elements.clear();
    if (pElements)
        pElements->swap(elements);
    if (pstrError)
        *pstrError = strError;
    return strError.empty();
}
