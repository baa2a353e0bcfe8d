// Splitting GS1 element strings into their fields, and refusing bad ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gs1.h"

#define GS L"\x1D"

namespace {

// The fields as printed under a GS1 barcode: (01)09506000134352(10)ABC.
std::string Printed(const std::vector<Gs1Element>& elements)
{
    std::string s;
    for (const Gs1Element& e : elements)
        s += "(" + e.strAi + ")" + e.strValue;
    return s;
}

struct Case {
    std::wstring strCode;
    const char* pszExpected;  // fields as printed, or the error
};

}  // namespace

TEST(Gs1, SplitsRealElementStrings)
{
    const Case cases[] = {
        // DataMatrix: fixed fields run on, expiry with day 00, lot to the end;
        // the FNC1 the identifier stands for sent as well.
        { L"]d2" GS L"0109506000134352" L"17250700" L"10ABC123",
          "(01)09506000134352(17)250700(10)ABC123" },
        // Transmitted FNC1 first, GS after each variable field, also the last.
        { GS L"0109506000134352" L"10LOT-7/B" GS L"21Sn%1" GS,
          "(01)09506000134352(10)LOT-7/B(21)Sn%1" },
        // GS1-128: a GS after a fixed field, a weight, a leap day, an amount in euros.
        { L"]C1" L"00106141411234567897" GS L"4104212345678905" L"3103001250" L"15240229"
          L"3912978" L"1500",
          "(00)106141411234567897(410)4212345678905(3103)001250(15)240229(3912)9781500" },
        // Values of several parts, optional parts given.
        { L"]Q3" L"2534212345678905ABC" GS L"8008250731143000" GS L"7007250701250731",
          "(253)4212345678905ABC(8008)250731143000(7007)250701250731" },
        // No identifier; a fixed-length AI outside the predefined table ends at GS.
        { L"0109506000134352" L"422156" GS L"91internal-42",
          "(01)09506000134352(422)156(91)internal-42" },
        // Ship-to and return-to: percent-escaped names, a place, flags, a
        // delivery window, a temperature below zero; countries in threes.
        { L"]d2" GS L"00106141411234567897" L"4300ACME%20CORP" GS L"43021%20MAIN%20ST" GS L"4307GB" GS
          L"430905127480001234567890" GS L"43211" GS L"43242612310930" GS L"4331002250-" GS L"4318NW1"
          GS L"423250276",
          "(00)106141411234567897(4300)ACME%20CORP(4302)1%20MAIN%20ST(4307)GB"
          "(4309)05127480001234567890(4321)1(4324)2612310930(4331)002250-(4318)NW1(423)250276" },
        // Healthcare: reimbursement numbers up to 717, a test-by date and time.
        { L"0109506000134352" L"17271231" L"10ABC" GS L"716AIC123456" GS L"717SRN-9" GS L"70112701011200",
          "(01)09506000134352(17)271231(10)ABC(716)AIC123456(717)SRN-9(7011)2701011200" },
        // A patient's wristband: birth on a leap day, sex, twins.
        { L"8018123456789012345675" GS L"725020000229" GS L"72522" GS L"72581/2" GS L"7253DOE" GS
          L"7259BABY%20A",
          "(8018)123456789012345675(7250)20000229(7252)2(7258)1/2(7253)DOE(7259)BABY%20A" },
        // Keys with checks of their own: GRAI, ITIP, alphanumeric check pair,
        // CPID and its serial; a signature in base64url, phone identities.
        { L"800309506000134352A1" GS L"8006095060001343520102" GS L"8013" L"1987654Ad4X4bL5ttr2310c2K" GS
          L"80101234AB-7" GS L"8011120" GS L"8030Ab-_9=" GS L"8040490154203237518" GS L"80431234567890123456789",
          "(8003)09506000134352A1(8006)095060001343520102(8013)1987654Ad4X4bL5ttr2310c2K(8010)1234AB-7"
          "(8011)120(8030)Ab-_9=(8040)490154203237518(8043)1234567890123456789" },
        // Origin: UIC with extension, package type, a certificate.
        { L"0109506000134352" L"70403A_-" GS L"7041BX" GS L"7230EMAB-123", "(01)09506000134352(7040)3A_-"
          "(7041)BX(7230)EMAB-123" },
    };
    for (const Case& c : cases) {
        std::vector<Gs1Element> elements;
        std::string strError = "unset";
        EXPECT_TRUE(ParseGs1(c.strCode, &elements, &strError)) << c.pszExpected << ": " << strError;
        EXPECT_EQ("", strError);
        EXPECT_EQ(c.pszExpected, Printed(elements));
    }
}

TEST(Gs1, RefusesBadInputAndSaysWhy)
{
    const Case cases[] = {
        { L"0109506000134353", "AI 01: check digit" },
        { L"]d2" L"0109506000134352" L"17251301", "AI 17: date" },
        { L"15250229", "AI 15: date" },
        { L"7006" L"250700", "AI 7006: date" },
        { L"7003" L"2507312400", "AI 7003: time" },
        { L"8008" L"25073114" L"3060", "AI 8008: time" },
        { L"0109506000134352" L"14250101", "unknown AI at character 17" },
        { L"3106000100", "unknown AI at character 1" },
        { L"01095060001343AB", "AI 01: not a digit" },
        { L"30" L"12A", "AI 30: not a digit" },
        { L"10LOT 7", "AI 10: character not allowed" },
        { L"8010" L"PART#1/a", "AI 8010: character not allowed" },
        { L"10" + std::wstring(21, L'A'), "AI 10: too long" },
        { L"8006" L"09506000134352" L"0102" L"9", "AI 8006: too long" },
        { L"422" L"1560", "AI 422: too long" },
        { L"3912" L"978", "AI 3912: too short" },
        { L"]C1" L"0109506000134352" L"1725", "AI 17: too short" },
        { L"01095060" GS L"00134352", "AI 01: too short" },
        { L"10" GS L"21X", "AI 10: empty" },
        { L"10A" GS L"10B", "AI 10: two different values" },
        { L"10LOT\x00E9", "non-ASCII character at character 6" },
        { L"", "empty" },
        { L"]", "not GS1 data" },
        { GS, "no element" },
        { GS GS, "GS in place of an AI at character 2" },
        { std::wstring(7089, L'9'), "AI 99: too long" },
        // Country lists in threes, and each check the table names.
        { L"423" L"2502", "AI 423: too short" },
        { L"8003" L"19506000134352", "AI 8003: not 0" },
        { L"8011" L"0120", "AI 8011: leading 0" },
        { L"8006" L"09506000134352" L"0302", "AI 8006: piece of total" },
        { L"8026" L"09506000134352" L"0002", "AI 8026: piece of total" },
        { L"8001" L"0500" L"00150" L"076" L"2" L"0", "AI 8001: winding direction" },
        { L"8001" L"0000" L"00150" L"076" L"1" L"0", "AI 8001: 0 not allowed" },
        { L"401" L"12AB-77", "AI 401: company prefix" },
        { L"8004" L"123", "AI 8004: company prefix" },
        { L"8013" L"1987654Ad4X4bL5ttr2310cXK", "AI 8013: check characters" },
        { L"8014" L"1234000662", "AI 8014: digits only" },
        { L"4321" L"2", "AI 4321: neither 0 nor 1" },
        { L"4324" L"2612312460", "AI 4324: time" },
        { L"4309" L"18000000010000000000", "AI 4309: latitude" },
        { L"4309" L"18000000003600000001", "AI 4309: longitude" },
        { L"4300" L"ACME%2GCORP", "AI 4300: percent escape" },
        { L"4330" L"002250+", "AI 4330: not a hyphen" },
        { L"7250" L"19000229", "AI 7250: date" },
        { L"7252" L"3", "AI 7252: sex code" },
        { L"7258" L"2/1", "AI 7258: position in sequence" },
        { L"7040" L"1AB!", "AI 7040: importer index" },
        { L"8030" L"Abcd=", "AI 8030: padding" },
        { L"8030" L"Ab+", "AI 8030: character not allowed" },
        { L"8042" + std::wstring(31, L'1'), "AI 8042: too short" },
    };
    for (const Case& c : cases) {
        std::vector<Gs1Element> elements(1);
        std::string strError;
        EXPECT_FALSE(ParseGs1(c.strCode, &elements, &strError)) << c.pszExpected;
        EXPECT_EQ(c.pszExpected, strError);
        EXPECT_TRUE(elements.empty()) << c.pszExpected;
    }
}
