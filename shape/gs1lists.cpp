#include "gs1lists.h"

#include <string.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace {

// ISO 3166-1 numeric, as the ISO 3166 Maintenance Agency lists it.
const short kCountries[] = {
    4, 8, 10, 12, 16, 20, 24, 28, 31, 32, 36, 40, 44, 48, 50, 51,
    52, 56, 60, 64, 68, 70, 72, 74, 76, 84, 86, 90, 92, 96, 100, 104,
    108, 112, 116, 120, 124, 132, 136, 140, 144, 148, 152, 156, 158, 162, 166, 170,
    174, 175, 178, 180, 184, 188, 191, 192, 196, 203, 204, 208, 212, 214, 218, 222,
    226, 231, 232, 233, 234, 238, 239, 242, 246, 248, 250, 254, 258, 260, 262, 266,
    268, 270, 275, 276, 288, 292, 296, 300, 304, 308, 312, 316, 320, 324, 328, 332,
    334, 336, 340, 344, 348, 352, 356, 360, 364, 368, 372, 376, 380, 384, 388, 392,
    398, 400, 404, 408, 410, 414, 417, 418, 422, 426, 428, 430, 434, 438, 440, 442,
    446, 450, 454, 458, 462, 466, 470, 474, 478, 480, 484, 492, 496, 498, 499, 500,
    504, 508, 512, 516, 520, 524, 528, 531, 533, 534, 535, 540, 548, 554, 558, 562,
    566, 570, 574, 578, 580, 581, 583, 584, 585, 586, 591, 598, 600, 604, 608, 612,
    616, 620, 624, 626, 630, 634, 638, 642, 643, 646, 652, 654, 659, 660, 662, 663,
    666, 670, 674, 678, 682, 686, 688, 690, 694, 702, 703, 704, 705, 706, 710, 716,
    724, 728, 729, 732, 740, 744, 748, 752, 756, 760, 762, 764, 768, 772, 776, 780,
    784, 788, 792, 795, 796, 798, 800, 804, 807, 818, 826, 831, 832, 833, 834, 840,
    850, 854, 858, 860, 862, 876, 882, 887, 894,
};

// ISO 3166-1 alpha-2, the officially assigned codes.
const char kCountriesAlpha2[][3] = {
    "AD", "AE", "AF", "AG", "AI", "AL", "AM", "AO", "AQ", "AR", "AS", "AT", "AU", "AW", "AX", "AZ",
    "BA", "BB", "BD", "BE", "BF", "BG", "BH", "BI", "BJ", "BL", "BM", "BN", "BO", "BQ", "BR", "BS",
    "BT", "BV", "BW", "BY", "BZ", "CA", "CC", "CD", "CF", "CG", "CH", "CI", "CK", "CL", "CM", "CN",
    "CO", "CR", "CU", "CV", "CW", "CX", "CY", "CZ", "DE", "DJ", "DK", "DM", "DO", "DZ", "EC", "EE",
    "EG", "EH", "ER", "ES", "ET", "FI", "FJ", "FK", "FM", "FO", "FR", "GA", "GB", "GD", "GE", "GF",
    "GG", "GH", "GI", "GL", "GM", "GN", "GP", "GQ", "GR", "GS", "GT", "GU", "GW", "GY", "HK", "HM",
    "HN", "HR", "HT", "HU", "ID", "IE", "IL", "IM", "IN", "IO", "IQ", "IR", "IS", "IT", "JE", "JM",
    "JO", "JP", "KE", "KG", "KH", "KI", "KM", "KN", "KP", "KR", "KW", "KY", "KZ", "LA", "LB", "LC",
    "LI", "LK", "LR", "LS", "LT", "LU", "LV", "LY", "MA", "MC", "MD", "ME", "MF", "MG", "MH", "MK",
    "ML", "MM", "MN", "MO", "MP", "MQ", "MR", "MS", "MT", "MU", "MV", "MW", "MX", "MY", "MZ", "NA",
    "NC", "NE", "NF", "NG", "NI", "NL", "NO", "NP", "NR", "NU", "NZ", "OM", "PA", "PE", "PF", "PG",
    "PH", "PK", "PL", "PM", "PN", "PR", "PS", "PT", "PW", "PY", "QA", "RE", "RO", "RS", "RU", "RW",
    "SA", "SB", "SC", "SD", "SE", "SG", "SH", "SI", "SJ", "SK", "SL", "SM", "SN", "SO", "SR", "SS",
    "ST", "SV", "SX", "SY", "SZ", "TC", "TD", "TF", "TG", "TH", "TJ", "TK", "TL", "TM", "TN", "TO",
    "TR", "TT", "TV", "TW", "TZ", "UA", "UG", "UM", "US", "UY", "UZ", "VA", "VC", "VE", "VG", "VI",
    "VN", "VU", "WF", "WS", "YE", "YT", "ZA", "ZM", "ZW",
};

// ISO 4217 numeric: list one as the ISO 4217 Maintenance Agency keeps it,
// and 932, withdrawn in 2024, which labels printed before may still carry.
const short kCurrencies[] = {
    8, 12, 32, 36, 44, 48, 50, 51, 52, 60, 64, 68, 72, 84, 90, 96,
    104, 108, 116, 124, 132, 136, 144, 152, 156, 170, 174, 188, 191, 192, 203, 208,
    214, 222, 230, 232, 238, 242, 262, 270, 292, 320, 324, 328, 332, 340, 344, 348,
    352, 356, 360, 364, 368, 376, 388, 392, 398, 400, 404, 408, 410, 414, 417, 418,
    422, 426, 430, 434, 446, 454, 458, 462, 480, 484, 496, 498, 504, 512, 516, 524,
    532, 533, 548, 554, 558, 566, 578, 586, 590, 598, 600, 604, 608, 634, 643, 646,
    654, 682, 690, 694, 702, 704, 706, 710, 728, 748, 752, 756, 760, 764, 776, 780,
    784, 788, 800, 807, 818, 826, 834, 840, 858, 860, 882, 886, 901, 924, 925, 927,
    928, 929, 930, 931, 932, 933, 934, 936, 938, 940, 941, 943, 944, 946, 947, 948,
    949, 950, 951, 952, 953, 955, 956, 957, 958, 959, 960, 961, 962, 963, 964, 965,
    967, 968, 969, 970, 971, 972, 973, 975, 976, 977, 978, 979, 980, 981, 984, 985,
    986, 990, 994, 997, 999,
};

// The IBAN registry of ISO 13616 (SWIFT), and the national IBANs in use
// outside it (Africa's franc zones, Algeria, Angola, Iran, Morocco...),
// which banks there print on invoices all the same.
const struct CIbanCountry {
    char szCountry[3];
    unsigned char nLength;
} kIbanCountries[] = {
    { "AD", 24 }, { "AE", 23 }, { "AL", 28 }, { "AO", 25 }, { "AT", 20 }, { "AZ", 28 }, { "BA", 20 }, { "BE", 16 },
    { "BF", 28 }, { "BG", 22 }, { "BH", 22 }, { "BI", 27 }, { "BJ", 28 }, { "BR", 29 }, { "BY", 28 }, { "CF", 27 },
    { "CG", 27 }, { "CH", 21 }, { "CI", 28 }, { "CM", 27 }, { "CR", 22 }, { "CV", 25 }, { "CY", 28 }, { "CZ", 24 },
    { "DE", 22 }, { "DJ", 27 }, { "DK", 18 }, { "DO", 28 }, { "DZ", 26 }, { "EE", 20 }, { "EG", 29 }, { "ES", 24 },
    { "FI", 18 }, { "FK", 18 }, { "FO", 18 }, { "FR", 27 }, { "GA", 27 }, { "GB", 22 }, { "GE", 22 }, { "GI", 23 },
    { "GL", 18 }, { "GQ", 27 }, { "GR", 27 }, { "GT", 28 }, { "GW", 25 }, { "HN", 28 }, { "HR", 21 }, { "HU", 28 },
    { "IE", 22 }, { "IL", 23 }, { "IQ", 23 }, { "IR", 26 }, { "IS", 26 }, { "IT", 27 }, { "JO", 30 }, { "KM", 27 },
    { "KW", 30 }, { "KZ", 20 }, { "LB", 28 }, { "LC", 32 }, { "LI", 21 }, { "LT", 20 }, { "LU", 20 }, { "LV", 21 },
    { "LY", 25 }, { "MA", 28 }, { "MC", 27 }, { "MD", 24 }, { "ME", 22 }, { "MG", 27 }, { "MK", 19 }, { "ML", 28 },
    { "MN", 20 }, { "MR", 27 }, { "MT", 31 }, { "MU", 30 }, { "MZ", 25 }, { "NE", 28 }, { "NI", 28 }, { "NL", 18 },
    { "NO", 15 }, { "OM", 23 }, { "PK", 24 }, { "PL", 28 }, { "PS", 29 }, { "PT", 25 }, { "QA", 29 }, { "RO", 24 },
    { "RS", 22 }, { "RU", 33 }, { "SA", 24 }, { "SC", 31 }, { "SD", 18 }, { "SE", 24 }, { "SI", 19 }, { "SK", 24 },
    { "SM", 27 }, { "SN", 28 }, { "SO", 23 }, { "ST", 25 }, { "SV", 28 }, { "TD", 27 }, { "TG", 28 }, { "TL", 23 },
    { "TN", 24 }, { "TR", 26 }, { "UA", 29 }, { "VA", 22 }, { "VG", 24 }, { "XK", 20 }, { "YE", 30 },
};

// GS1's PackageTypeCode list: UN/ECE Recommendation 21 with GS1's codes.
const char kPackageTypes[][4] = {
    "1A", "1B", "1D", "1F", "1G", "1W", "200", "201", "202", "203", "204", "205", "206", "210", "211", "212",
    "2C", "3A", "3H", "43", "44", "4A", "4B", "4C", "4D", "4F", "4G", "4H", "5H", "5L", "5M", "6H",
    "6P", "7A", "7B", "8", "8A", "8B", "8C", "9", "AA", "AB", "AC", "AD", "AF", "AG", "AH", "AI",
    "AJ", "AL", "AM", "AP", "APE", "AT", "AV", "B4", "BB", "BC", "BD", "BE", "BF", "BG", "BGE", "BH",
    "BI", "BJ", "BK", "BL", "BM", "BME", "BN", "BO", "BP", "BQ", "BR", "BRI", "BS", "BT", "BU", "BV",
    "BW", "BX", "BY", "BZ", "CA", "CB", "CBL", "CC", "CCE", "CD", "CE", "CF", "CG", "CH", "CI", "CJ",
    "CK", "CL", "CM", "CN", "CO", "CP", "CQ", "CR", "CS", "CT", "CU", "CV", "CW", "CX", "CY", "CZ",
    "DA", "DB", "DC", "DG", "DH", "DI", "DJ", "DK", "DL", "DM", "DN", "DP", "DPE", "DR", "DS", "DT",
    "DU", "DV", "DW", "DX", "DY", "E1", "E2", "E3", "EC", "ED", "EE", "EF", "EG", "EH", "EI", "EN",
    "FB", "FC", "FD", "FE", "FI", "FL", "FO", "FOB", "FP", "FPE", "FR", "FT", "FW", "FX", "GB", "GI",
    "GL", "GR", "GU", "GY", "GZ", "HA", "HB", "HC", "HG", "HN", "HR", "IA", "IB", "IC", "ID", "IE",
    "IF", "IG", "IH", "IK", "IL", "IN", "IZ", "JB", "JC", "JG", "JR", "JT", "JY", "KG", "KI", "LAB",
    "LE", "LG", "LT", "LU", "LV", "LZ", "MA", "MB", "MC", "ME", "MPE", "MR", "MS", "MT", "MW", "MX",
    "NA", "NE", "NF", "NG", "NS", "NT", "NU", "NV", "OA", "OB", "OC", "OD", "OE", "OF", "OK", "OPE",
    "OT", "OU", "P2", "PA", "PAE", "PB", "PC", "PD", "PE", "PF", "PG", "PH", "PI", "PJ", "PK", "PL",
    "PLP", "PN", "PO", "POP", "PP", "PPE", "PR", "PT", "PU", "PUE", "PV", "PX", "PY", "PZ", "QA", "QB",
    "QC", "QD", "QF", "QG", "QH", "QJ", "QK", "QL", "QM", "QN", "QP", "QQ", "QR", "QS", "RB1", "RB2",
    "RB3", "RCB", "RD", "RG", "RJ", "RK", "RL", "RO", "RT", "RZ", "S1", "SA", "SB", "SC", "SD", "SE",
    "SEC", "SH", "SI", "SK", "SL", "SM", "SO", "SP", "SS", "ST", "STL", "SU", "SV", "SW", "SX", "SY",
    "SZ", "T1", "TB", "TC", "TD", "TE", "TEV", "TG", "THE", "TI", "TK", "TL", "TN", "TO", "TR", "TRE",
    "TS", "TT", "TTE", "TU", "TV", "TW", "TWE", "TY", "TZ", "UC", "UN", "UUE", "VA", "VG", "VI", "VK",
    "VL", "VN", "VO", "VP", "VQ", "VR", "VS", "VY", "WA", "WB", "WC", "WD", "WF", "WG", "WH", "WJ",
    "WK", "WL", "WM", "WN", "WP", "WQ", "WR", "WRP", "WS", "WT", "WU", "WV", "WW", "WX", "WY", "WZ",
    "X11", "X12", "X15", "X16", "X17", "X18", "X19", "X20", "X3", "XA", "XB", "XC", "XD", "XF", "XG", "XH",
    "XJ", "XK", "YA", "YB", "YC", "YD", "YF", "YG", "YH", "YJ", "YK", "YL", "YM", "YN", "YP", "YQ",
    "YR", "YS", "YT", "YV", "YW", "YX", "YY", "YZ", "ZA", "ZB", "ZC", "ZD", "ZF", "ZG", "ZH", "ZJ",
    "ZK", "ZL", "ZM", "ZN", "ZP", "ZQ", "ZR", "ZS", "ZT", "ZU", "ZV", "ZW", "ZX", "ZY", "ZZ",
};

bool InNumbers(const short* pFirst, const short* pLast, const char* p)
{
    for (int i = 0; i < 3; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
    }
    short nCode = (short)((p[0] - '0') * 100 + (p[1] - '0') * 10 + (p[2] - '0'));
    return std::binary_search(pFirst, pLast, nCode);
}

// Lists sorted as strcmp sorts.
template <size_t N, size_t M>
bool InCodes(const char (&codes)[M][N], const char* p, size_t n)
{
    if (n >= N)
        return false;
    std::string strKey(p, n);
    auto pFound = std::lower_bound(std::begin(codes), std::end(codes), strKey,
                                   [](const char* pszCode, const std::string& key) { return strcmp(pszCode, key.c_str()) < 0; });
    return pFound != std::end(codes) && strKey == *pFound;
}

}  // namespace

bool IsIsoCountry(const char* p)
{
    return InNumbers(std::begin(kCountries), std::end(kCountries), p);
}

bool IsIsoCountryAlpha2(const char* p)
{
    return InCodes(kCountriesAlpha2, p, 2);
}

bool IsIsoCurrency(const char* p)
{
    return InNumbers(std::begin(kCurrencies), std::end(kCurrencies), p);
}

size_t IbanLength(const char* p)
{
    for (const CIbanCountry& country : kIbanCountries) {
        if (p[0] == country.szCountry[0] && p[1] == country.szCountry[1])
            return country.nLength;
    }
    return 0;
}

bool IsMediaType(const char* p)
{
    // 01 to 10 assigned; 80 to 99 for local and national use; the rest reserved.
    int nType = (p[0] - '0') * 10 + (p[1] - '0');
    return (nType >= 1 && nType <= 10) || (nType >= 80 && nType <= 99);
}

bool IsPackageType(const char* p, size_t n)
{
    return InCodes(kPackageTypes, p, n);
}
