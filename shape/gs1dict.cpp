#include "gs1dict.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "gs1lists.h"

namespace {

const CAiFormat kAis[] = {
    { { "00", "00" }, "* N18,csum,gcppos2" },              // SSCC
    { { "01", "03" }, "* N14,csum,gcppos2" },              // GTIN, GTIN of contents, made-to-order GTIN
    { { "10", "10" }, "X..20" },                           // batch or lot
    { { "11", "13" }, "* N6,yymmd0" },                     // production, due, packaging date
    { { "15", "17" }, "* N6,yymmd0" },                     // best before, sell by, expiry date
    { { "20", "20" }, "* N2" },
    { { "21", "22" }, "X..20" },                           // serial number, consumer product variant
    { { "235", "235" }, "X..28" },
    { { "240", "241" }, "X..30" },
    { { "242", "242" }, "N..6" },
    { { "243", "243" }, "X..20" },
    { { "250", "251" }, "X..30" },
    { { "253", "253" }, "N13,csum,gcppos1 [X..17]" },      // GDTI
    { { "254", "254" }, "X..20" },
    { { "255", "255" }, "N13,csum,gcppos1 [N..12]" },      // GCN
    { { "30", "30" }, "N..8" },
    { { "3100", "3165" }, "* N6" },                        // trade measures
    { { "3200", "3295" }, "* N6" },
    { { "3300", "3375" }, "* N6" },                        // logistic measures
    { { "3400", "3495" }, "* N6" },
    { { "3500", "3575" }, "* N6" },
    { { "3600", "3695" }, "* N6" },
    { { "37", "37" }, "N..8" },
    { { "3900", "3909" }, "N..15" },                       // amount
    { { "3910", "3919" }, "N3,iso4217 N..15" },            // amount with ISO currency
    { { "3920", "3929" }, "N..15" },                       // price
    { { "3930", "3939" }, "N3,iso4217 N..15" },
    { { "3940", "3943" }, "N4" },
    { { "3950", "3955" }, "N6" },
    { { "400", "400" }, "X..30" },
    { { "401", "401" }, "X..30,gcppos1" },                 // GINC
    { { "402", "402" }, "N17,csum,gcppos1" },              // GSIN
    { { "403", "403" }, "X..30" },
    { { "410", "417" }, "* N13,csum,gcppos1" },            // GLNs
    { { "420", "420" }, "X..20" },
    { { "421", "421" }, "N3,iso3166 X..9" },
    { { "422", "422" }, "N3,iso3166" },
    { { "423", "423" }, "N3,iso3166 [N3],iso3166 [N3],iso3166 [N3],iso3166 [N3],iso3166" },
    { { "424", "424" }, "N3,iso3166" },
    { { "425", "425" }, "N3,iso3166 [N3],iso3166 [N3],iso3166 [N3],iso3166 [N3],iso3166" },
    { { "426", "426" }, "N3,iso3166" },
    { { "427", "427" }, "X..3" },
    { { "4300", "4301" }, "X..35,pcenc" },                 // ship to: company, name
    { { "4302", "4306" }, "X..70,pcenc" },                 // address, suburb, locality, region
    { { "4307", "4307" }, "X2,iso3166alpha2" },
    { { "4308", "4308" }, "X..30" },                       // phone
    { { "4309", "4309" }, "N10,latitude N10,longitude" },
    { { "4310", "4311" }, "X..35,pcenc" },                 // return to: as ship to
    { { "4312", "4316" }, "X..70,pcenc" },
    { { "4317", "4317" }, "X2,iso3166alpha2" },
    { { "4318", "4318" }, "X..20" },                       // postal code
    { { "4319", "4319" }, "X..30" },
    { { "4320", "4320" }, "X..35,pcenc" },                 // service description
    { { "4321", "4323" }, "N1,yesno" },                    // dangerous goods, leave, signature
    { { "4324", "4325" }, "N6,yymmd0 N4,hhmi" },           // delivery not before, not after
    { { "4326", "4326" }, "N6,yymmdd" },                   // release date
    { { "4330", "4333" }, "N6 [X1],hyphen" },              // temperatures, '-' below zero
    { { "7001", "7001" }, "N13" },
    { { "7002", "7002" }, "X..30" },
    { { "7003", "7003" }, "N6,yymmdd N4,hhmi" },
    { { "7004", "7004" }, "N..4" },
    { { "7005", "7005" }, "X..12" },
    { { "7006", "7006" }, "N6,yymmdd" },
    { { "7007", "7007" }, "N6,yymmdd [N6],yymmdd" },
    { { "7008", "7008" }, "X..3" },
    { { "7009", "7009" }, "X..10" },
    { { "7010", "7010" }, "X..2" },
    { { "7011", "7011" }, "N6,yymmdd [N4],hhmi" },         // test by date
    { { "7020", "7022" }, "X..20" },
    { { "7023", "7023" }, "X..30,gcppos1" },               // GIAI of an assembly
    { { "7030", "7039" }, "N3,iso3166999 X..27" },
    { { "7040", "7040" }, "N1 X1 X1 X1,importeridx" },     // UIC with extension
    { { "7041", "7041" }, "X..4,packagetype" },
    { { "710", "717" }, "X..20" },                         // national healthcare reimbursement numbers
    { { "7230", "7239" }, "X2 X..28" },                    // certification references
    { { "7240", "7240" }, "X..20" },
    { { "7241", "7241" }, "N2,mediatype" },
    { { "7242", "7242" }, "X..25" },
    { { "7250", "7250" }, "N8,yyyymmdd" },                 // patient: date of birth
    { { "7251", "7251" }, "N8,yyyymmdd N4,hhmi" },
    { { "7252", "7252" }, "N1,iso5218" },
    { { "7253", "7254" }, "X..40,pcenc" },                 // family name, given name
    { { "7255", "7255" }, "X..10" },
    { { "7256", "7256" }, "X..90,pcenc" },
    { { "7257", "7257" }, "X..70,pcenc" },
    { { "7258", "7258" }, "X3,posinseqslash" },            // birth sequence: 1/2
    { { "7259", "7259" }, "X..40,pcenc" },
    { { "8001", "8001" }, "N4,nonzero N5,nonzero N3,nonzero N1,winding N1" },   // roll products
    { { "8002", "8002" }, "X..20" },
    { { "8003", "8003" }, "N1,zero N13,csum,gcppos1 [X..16]" },                // GRAI
    { { "8004", "8004" }, "X..30,gcppos1" },                                     // GIAI
    { { "8005", "8005" }, "N6" },
    { { "8006", "8006" }, "N14,csum,gcppos2 N4,pieceoftotal" },                 // ITIP
    { { "8007", "8007" }, "X..34,iban" },
    { { "8008", "8008" }, "N6,yymmdd N2,hh [N2],mi [N2],ss" },
    { { "8009", "8009" }, "X..50" },
    { { "8010", "8010" }, "Y..30,gcppos1" },                                     // CPID
    { { "8011", "8011" }, "N..12,nozeroprefix" },
    { { "8012", "8012" }, "X..20" },
    { { "8013", "8013" }, "X..25,csumalpha,gcppos1" },                           // GMN
    { { "8014", "8014" }, "X..25,csumalpha,gcppos1,hasnondigit" },               // MUDI
    { { "8017", "8018" }, "N18,csum,gcppos1" },                                  // GSRN
    { { "8019", "8019" }, "N..10" },
    { { "8020", "8020" }, "X..25" },
    { { "8026", "8026" }, "N14,csum,gcppos2 N4,pieceoftotal" },
    { { "8030", "8030" }, "Z..90" },                       // digital signature
    { { "8040", "8041" }, "N15" },                         // IMEI, second IMEI
    { { "8042", "8042" }, "N32" },                         // eSIM
    { { "8043", "8043" }, "N18 [N..2]" },                  // physical SIM
    { { "8110", "8110" }, "X..70,couponcode" },
    { { "8111", "8111" }, "N4" },
    { { "8112", "8112" }, "X..70,couponposoffer" },
    { { "8200", "8200" }, "X..70" },
    { { "90", "90" }, "X..30" },
    { { "91", "99" }, "X..90" },                           // company internal
};

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

bool IsDigits(const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
    }
    return true;
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
    if (cType == 'Z')
        return (ch >= 'a' && ch <= 'z') || ch == '-' || ch == '_';
    return (ch >= 'a' && ch <= 'z') || (ch != 0 && strchr("!\"%&'()*+,-./:;<=>?_", ch));
}

int Two(const char* p)
{
    return (p[0] - '0') * 10 + (p[1] - '0');
}

// ---- The checks of a part: each says what is wrong, or NULL --------------

typedef const char* (*PFN_CHECK)(const char* p, size_t n);

const char* CheckDigit(const char* p, size_t n)
{
    int nSum = 0;
    for (size_t i = 0; i + 1 < n; ++i)
        nSum += (p[i] - '0') * ((n - 1 - i) % 2 ? 3 : 1);
    return (10 - nSum % 10) % 10 == p[n - 1] - '0' ? NULL : "check digit";
}

unsigned NextPrime(unsigned n)
{
    for (++n;; ++n) {
        unsigned d = 2;
        while (d * d <= n && n % d != 0)
            ++d;
        if (d * d > n)
            return n;
    }
}

// The two check characters of an alphanumeric key: the characters' places
// in CSET 82 weighted by the primes from the right, modulo 1021, written as
// two characters of CSET 32 of five bits each.
const char* CheckPair(const char* p, size_t n)
{
    static const char kCset82[] =
        "!\"%&'()*+,-./0123456789:;<=>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
    static const char kCset32[] = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
    if (n < 2)
        return "check characters";
    unsigned nSum = 0, nPrime = 1;
    for (size_t i = n - 2; i-- > 0;) {
        nPrime = NextPrime(nPrime);
        nSum += (unsigned)(strchr(kCset82, p[i]) - kCset82) * nPrime;
    }
    nSum %= 1021;
    return p[n - 2] == kCset32[nSum >> 5] && p[n - 1] == kCset32[nSum & 31] ? NULL : "check characters";
}

// A key starts with a GS1 company prefix, which has four digits at least.
const char* CompanyPrefix(const char* p, size_t n, size_t nAt)
{
    return n >= nAt + 4 && IsDigits(p + nAt, 4) ? NULL : "company prefix";
}

const char* CompanyPrefixFirst(const char* p, size_t n)
{
    return CompanyPrefix(p, n, 0);
}

const char* CompanyPrefixSecond(const char* p, size_t n)
{
    return CompanyPrefix(p, n, 1);
}

bool IsLeapYear(int nYear)
{
    return nYear % 4 == 0 && (nYear % 100 != 0 || nYear % 400 == 0);
}

// Month and day of a date; a day 00 stands for the month as a whole.
const char* MonthDay(const char* p, bool bLeap, bool bDayZero)
{
    static const int kDays[] = { 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    int nMonth = Two(p), nDay = Two(p + 2);
    if (nMonth < 1 || nMonth > 12)
        return "date";
    int nDays = nMonth == 2 && !bLeap ? 28 : kDays[nMonth - 1];
    return (nDay >= 1 || (bDayZero && nDay == 0)) && nDay <= nDays ? NULL : "date";
}

// GS1 reads YY within 50 years of today, which puts 00 at 2000 for decades
// yet: every year that YY divides by 4 is a leap year.
const char* DateOrMonth(const char* p, size_t)
{
    return MonthDay(p + 2, Two(p) % 4 == 0, true);
}

const char* Date(const char* p, size_t)
{
    return MonthDay(p + 2, Two(p) % 4 == 0, false);
}

const char* LongDate(const char* p, size_t)
{
    return MonthDay(p + 4, IsLeapYear(Two(p) * 100 + Two(p + 2)), false);
}

const char* Hour(const char* p, size_t)
{
    return Two(p) <= 23 ? NULL : "time";
}

const char* MinuteOrSecond(const char* p, size_t)
{
    return Two(p) <= 59 ? NULL : "time";
}

const char* HourMinute(const char* p, size_t n)
{
    return Hour(p, n) ? Hour(p, n) : MinuteOrSecond(p + 2, n);
}

const char* Zero(const char* p, size_t n)
{
    return strspn(p, "0") >= n ? NULL : "not 0";
}

const char* NonZero(const char* p, size_t n)
{
    return Zero(p, n) ? NULL : "0 not allowed";
}

const char* OneOf(const char* p, const char* pszAllowed, const char* pszWrong)
{
    return strchr(pszAllowed, *p) ? NULL : pszWrong;
}

const char* Winding(const char* p, size_t)
{
    return OneOf(p, "019", "winding direction");
}

const char* YesNo(const char* p, size_t)
{
    return OneOf(p, "01", "neither 0 nor 1");
}

const char* Sex(const char* p, size_t)
{
    return OneOf(p, "0129", "sex code");
}

const char* Hyphen(const char* p, size_t)
{
    return OneOf(p, "-", "not a hyphen");
}

const char* ImporterIndex(const char* p, size_t)
{
    return IsInSet('Z', *p) ? NULL : "importer index";
}

// NNMM: piece NN of MM, neither 0.
const char* PieceOfTotal(const char* p, size_t)
{
    int nPiece = Two(p), nTotal = Two(p + 2);
    return nPiece >= 1 && nPiece <= nTotal ? NULL : "piece of total";
}

// Degrees in ten-millionths, plus 90 and 180 so that none is negative.
const char* Latitude(const char* p, size_t n)
{
    return strtoull(std::string(p, n).c_str(), NULL, 10) <= 1800000000ull ? NULL : "latitude";
}

const char* Longitude(const char* p, size_t n)
{
    return strtoull(std::string(p, n).c_str(), NULL, 10) <= 3600000000ull ? NULL : "longitude";
}

// A name or address with %XX for the characters CSET 82 lacks.
const char* PercentEncoded(const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '%' && (i + 2 >= n || !isxdigit((unsigned char)p[i + 1]) || !isxdigit((unsigned char)p[i + 2])))
            return "percent escape";
    }
    return NULL;
}

const char* HasNonDigit(const char* p, size_t n)
{
    return IsDigits(p, n) ? "digits only" : NULL;
}

// A serial number of 0 alone is allowed; any other starts with 1 to 9.
const char* NoZeroPrefix(const char* p, size_t n)
{
    return *p == '0' && n > 1 ? "leading 0" : NULL;
}

// "2/3": a position in a sequence and its end, neither 0 nor led by 0.
const char* PositionInSequence(const char* p, size_t n)
{
    std::string s(p, n);
    size_t nSlash = s.find('/');
    if (nSlash == std::string::npos || nSlash == 0 || nSlash + 1 == n || !IsDigits(p, nSlash) ||
        !IsDigits(p + nSlash + 1, n - nSlash - 1) || p[0] == '0' || p[nSlash + 1] == '0')
        return "position in sequence";
    return atoi(p) <= atoi(p + nSlash + 1) ? NULL : "position in sequence";
}

const char* Country(const char* p, size_t)
{
    return IsIsoCountry(p) ? NULL : "country code";
}

// 999: of more than one country, or not known.
const char* CountryOr999(const char* p, size_t n)
{
    return strncmp(p, "999", 3) == 0 ? NULL : Country(p, n);
}

const char* CountryAlpha2(const char* p, size_t)
{
    return IsIsoCountryAlpha2(p) ? NULL : "country code";
}

const char* Currency(const char* p, size_t)
{
    return IsIsoCurrency(p) ? NULL : "currency code";
}

// Country, two check digits, then the account in digits and capitals, of
// the country's length; moved to the end, the whole leaves 1 modulo 97.
const char* Iban(const char* p, size_t n)
{
    if (n < 5 || !isupper((unsigned char)p[0]) || !isupper((unsigned char)p[1]) || !IsIsoCountryAlpha2(p))
        return "IBAN country";
    size_t nLength = IbanLength(p);
    if (nLength == 0)
        return "IBAN country";
    if (n != nLength)
        return "IBAN length";
    unsigned nRest = 0;
    for (size_t i = 4; i < n + 4; ++i) {
        char ch = p[i % n];
        if (i % n >= 2 && i % n < 4 ? !isdigit((unsigned char)ch) : !isdigit((unsigned char)ch) && !isupper((unsigned char)ch))
            return "IBAN character";
        nRest = isdigit((unsigned char)ch) ? (nRest * 10 + (ch - '0')) % 97 : (nRest * 100 + (ch - 'A' + 10)) % 97;
    }
    return nRest == 1 ? NULL : "IBAN check digits";
}

const char* MediaType(const char* p, size_t)
{
    return IsMediaType(p) ? NULL : "media type";
}

const char* PackageType(const char* p, size_t n)
{
    return IsPackageType(p, n) ? NULL : "package type";
}

// The checks a format names. Coupon codes have none: their structure is
// left to the system that takes the data.
const struct CCheck {
    const char* pszName;
    PFN_CHECK pfnCheck;
} kChecks[] = {
    { "csum", CheckDigit }, { "csumalpha", CheckPair },
    { "gcppos1", CompanyPrefixFirst }, { "gcppos2", CompanyPrefixSecond },
    { "yymmd0", DateOrMonth }, { "yymmdd", Date }, { "yyyymmdd", LongDate },
    { "hh", Hour }, { "mi", MinuteOrSecond }, { "ss", MinuteOrSecond }, { "hhmi", HourMinute },
    { "zero", Zero }, { "nonzero", NonZero }, { "winding", Winding }, { "yesno", YesNo },
    { "iso5218", Sex }, { "hyphen", Hyphen }, { "importeridx", ImporterIndex },
    { "pieceoftotal", PieceOfTotal }, { "latitude", Latitude }, { "longitude", Longitude },
    { "pcenc", PercentEncoded }, { "hasnondigit", HasNonDigit }, { "nozeroprefix", NoZeroPrefix },
    { "posinseqslash", PositionInSequence },
    { "iso3166", Country }, { "iso3166999", CountryOr999 }, { "iso3166alpha2", CountryAlpha2 },
    { "iso4217", Currency }, { "iban", Iban }, { "packagetype", PackageType }, { "mediatype", MediaType },
    { "couponcode", NULL }, { "couponposoffer", NULL },
};

// A check named at f (up to a comma, a blank or the end) on the part.
const char* RunCheck(const char*& f, const char* p, size_t n)
{
    size_t nName = strcspn(f, ", ");
    const char* pszName = f;
    f += nName;
    for (const CCheck& check : kChecks) {
        if (strlen(check.pszName) == nName && strncmp(check.pszName, pszName, nName) == 0)
            return check.pfnCheck ? check.pfnCheck(p, n) : NULL;
    }
    return "unknown check";
}

// Base64url pads with '=' to a multiple of three characters, two at most.
const char* CheckPadding(const char* p, size_t& n)
{
    size_t nPads = 0;
    while (nPads < n && p[n - 1 - nPads] == '=')
        ++nPads;
    if (nPads > 2 || (nPads > 0 && n % 3 != 0))
        return "padding";
    n -= nPads;
    return NULL;
}

}  // namespace

const CAiFormat* FindGs1Ai(const std::string& s, size_t pos)
{
    for (const CAiFormat& row : kAis) {
        if (InRange(s, pos, row.ai))
            return &row;
    }
    return NULL;
}

const char* CheckGs1Value(const std::string& strValue, const char* pszFormat)
{
    if (strValue.empty())
        return "empty";
    size_t pos = 0;
    for (const char* f = pszFormat; *f;) {
        if (*f == ' ' || *f == '*') {
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
        f = pEnd + bOptional;

        size_t n = std::min(nMax, strValue.size() - pos);
        if (n == 0 && bOptional) {
            f += strcspn(f, " ");
            continue;
        }
        if (n < nMin)
            return "too short";
        const char* p = strValue.c_str() + pos;
        size_t nInSet = n;
        if (cType == 'Z') {
            if (const char* pszWrong = CheckPadding(p, nInSet))
                return pszWrong;
        }
        for (size_t i = 0; i < nInSet; ++i) {
            if (!IsInSet(cType, p[i]))
                return cType == 'N' ? "not a digit" : "character not allowed";
        }
        while (*f == ',') {
            if (const char* pszWrong = RunCheck(++f, p, n))
                return pszWrong;
        }
        pos += n;
    }
    return pos < strValue.size() ? "too long" : NULL;
}

size_t Gs1PredefinedLength(const char* pszFormat)
{
    if (*pszFormat != '*')
        return 0;
    size_t nLength = 0;
    for (const char* f = pszFormat + 1; *f; ++f) {
        if (isalpha((unsigned char)f[0]) && isupper((unsigned char)f[0]) && isdigit((unsigned char)f[1]))
            nLength += strtoul(f + 1, NULL, 10);
    }
    return nLength;
}
