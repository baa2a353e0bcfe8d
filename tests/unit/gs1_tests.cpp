// Splitting GS1 element strings into their fields, and refusing bad ones.
#include <gtest/gtest.h>

#include <string.h>

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
        // GS1-128: a GS after a fixed field, the unit's contents and count, a
        // weight, a leap day, a price in euros.
        { L"]C1" L"00106141411234567897" GS L"0209506000134352" L"3725" GS L"4104212345678905"
          L"3103001250" L"15240229" L"3932978" L"1500",
          "(00)106141411234567897(02)09506000134352(37)25(410)4212345678905(3103)001250(15)240229"
          "(3932)9781500" },
        // Values of several parts, optional parts given.
        { L"]Q3" L"0109506000134352" L"2534212345678905ABC" GS L"8008250731143000" GS L"7007250701250731",
          "(01)09506000134352(253)4212345678905ABC(8008)250731143000(7007)250701250731" },
        // No identifier; a fixed-length AI outside the predefined table ends at GS.
        { L"0109506000134352" L"422156" GS L"91internal-42",
          "(01)09506000134352(422)156(91)internal-42" },
        // Ship-to and return-to: percent-escaped names, a place, flags, a
        // delivery window, a temperature below zero; countries in threes.
        { L"]d2" GS L"00106141411234567897" L"0209506000134352" L"375" GS L"4300ACME%20CORP" GS L"43021%20MAIN%20ST" GS L"4307GB" GS
          L"430905127480001234567890" GS L"43211" GS L"43242612310930" GS L"4331002250-" GS L"4318NW1"
          GS L"423250276",
          "(00)106141411234567897(02)09506000134352(37)5(4300)ACME%20CORP(4302)1%20MAIN%20ST(4307)GB"
          "(4309)05127480001234567890(4321)1(4324)2612310930(4331)002250-(4318)NW1(423)250276" },
        // Healthcare: reimbursement numbers up to 717, a test-by date and time.
        { L"0109506000134352" L"17271231" L"10ABC" GS L"716AIC123456" GS L"717SRN-9" GS L"70112701011200",
          "(01)09506000134352(17)271231(10)ABC(716)AIC123456(717)SRN-9(7011)2701011200" },
        // A newborn's wristband: birth on a leap day, sex, twins, the ward.
        { L"8018123456789012345675" GS L"725020000229" GS L"72522" GS L"72581/2" GS L"7257WARD%203" GS
          L"7259BABY%20A",
          "(8018)123456789012345675(7250)20000229(7252)2(7258)1/2(7257)WARD%203(7259)BABY%20A" },
        // Keys with checks of their own: GRAI, ITIP, alphanumeric check pair,
        // CPID and its serial; a signature in base64url, phone identities.
        { L"800309506000134352A1" GS L"8006095060001343520102" GS L"8013" L"1987654Ad4X4bL5ttr2310c2K" GS
          L"80101234AB-7" GS L"8011120" GS L"8030Ab-_9=",
          "(8003)09506000134352A1(8006)095060001343520102(8013)1987654Ad4X4bL5ttr2310c2K(8010)1234AB-7"
          "(8011)120(8030)Ab-_9=" },
        { L"0109506000134352" L"21S" GS L"8040490154203237518" GS L"80431234567890123456789",
          "(01)09506000134352(21)S(8040)490154203237518(8043)1234567890123456789" },
        // Origin: UIC with extension, package type, a certificate.
        { L"00106141411234567897" L"0109506000134352" L"70403A_-" GS L"7041BX" GS L"7230EMAB-123",
          "(00)106141411234567897(01)09506000134352(7040)3A_-(7041)BX(7230)EMAB-123" },
        // Code lists at their edges and recent entries: countries (South
        // Sudan, 999 where allowed), currencies (leone, Zimbabwe gold),
        // IBANs of the registry and of national use, media and package types.
        // Each beside the partners the pairing rules ask of it.
        { L"00106141411234567897" L"0109506000134352" L"422728" GS L"4307SS" GS L"7030999ABC" GS
          L"3103000100" L"3932924" L"5",
          "(00)106141411234567897(01)09506000134352(422)728(4307)SS(7030)999ABC(3103)000100(3932)9245" },
        { L"4159520123456788" L"8020R1" GS L"3912925" L"100" GS L"80101234AB-7" GS L"8011" L"0",
          "(415)9520123456788(8020)R1(3912)925100(8010)1234AB-7(8011)0" },
        { L"4159520123456788" L"8020R2" GS L"8007GB29NWBK60161331926819" GS L"8017123456789012345675" GS
          L"724110" GS L"00106141411234567897" L"7041X20",
          "(415)9520123456788(8020)R2(8007)GB29NWBK60161331926819(8017)123456789012345675(7241)10"
          "(00)106141411234567897(7041)X20" },
        { L"4159520123456788" L"8020R3" GS L"8007MA64011519000001205000534921" GS L"8018123456789012345675" GS
          L"724199" GS L"00106141411234567897" L"70418",
          "(415)9520123456788(8020)R3(8007)MA64011519000001205000534921(8018)123456789012345675(7241)99"
          "(00)106141411234567897(7041)8" },
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
        // The code lists: each name that is not on its list.
        { L"422" L"000", "AI 422: country code" },
        { L"421" L"999" L"AB", "AI 421: country code" },
        { L"423" L"250" L"001", "AI 423: country code" },
        { L"7031" L"000" L"AB", "AI 7031: country code" },
        { L"4307" L"UK", "AI 4307: country code" },
        { L"4317" L"XK", "AI 4317: country code" },
        { L"3912" L"000" L"1500", "AI 3912: currency code" },
        { L"3932" L"1" L"1500", "AI 3932: currency code" },
        { L"8007" L"DE89370400440532013001", "AI 8007: IBAN check digits" },
        { L"8007" L"DE8937040044053201300", "AI 8007: IBAN length" },
        { L"8007" L"MT84MALT011000012345MTLCAST001SABC", "AI 8007: IBAN length" },
        { L"8007" L"US12345678901234567", "AI 8007: IBAN country" },
        { L"8007" L"de89370400440532013000", "AI 8007: IBAN country" },
        { L"8007" L"GB29NWBK6016133192681a", "AI 8007: IBAN character" },
        { L"8007" L"GBA9NWBK60161331926819", "AI 8007: IBAN character" },
        { L"7241" L"00", "AI 7241: media type" },
        { L"7241" L"11", "AI 7241: media type" },
        { L"7041" L"1C", "AI 7041: package type" },
        { L"7041" L"X2", "AI 7041: package type" },
    };
    for (const Case& c : cases) {
        std::vector<Gs1Element> elements(1);
        std::string strError;
        EXPECT_FALSE(ParseGs1(c.strCode, &elements, &strError)) << c.pszExpected;
        EXPECT_EQ(c.pszExpected, strError);
        EXPECT_TRUE(elements.empty()) << c.pszExpected;
    }
}

namespace {

struct LinkCase {
    const char* pszUri;
    const char* pszExpected;  // fields as printed, or the error
};

}  // namespace

// Each URI gives the elements of its element string, and that element
// string, made again from them, gives the same elements.
TEST(Gs1, DigitalLinkGivesTheFieldsOfItsElementString)
{
    const LinkCase cases[] = {
        { "https://id.gs1.org/01/09506000134352/10/ABC%2D1?17=290630", "(01)09506000134352(10)ABC-1(17)290630" },
        { "HTTPS://ID.GS1.ORG/01/09506000134352/21/ABC%2d1", "(01)09506000134352(21)ABC-1" },
        { "http://192.0.2.1:8080/01/09520123456788/22/2A/10/ABC1/21/12345?17=180426#x?99=Y",
          "(01)09520123456788(22)2A(10)ABC1(21)12345(17)180426" },
        { "https://[2001:db8::1]/00/006141411234567890", "(00)006141411234567890" },
        { "https://a./00/faux/00/006141411234567890?", "(00)006141411234567890" },
        { "https://b.example/x/01/y/01/09520123456788/235/TX?10=ABC123", "(01)09520123456788(235)TX(10)ABC123" },
        { "https://id.gs1.org/414/9520123456788/254/32a%2Fb", "(414)9520123456788(254)32a/b" },
        { "https://id.gs1.org/414/9520123456788/7040/1AB-", "(414)9520123456788(7040)1AB-" },
        { "https://example.com/8004/9520614141234567?01=09520123456788", "(8004)9520614141234567(01)09520123456788" },
        { "https://id.gs1.org/00/952012345678912345?02=09520123456788&37=25&10=ABC123",
          "(00)952012345678912345(02)09520123456788(37)25(10)ABC123" },
        { "https://a/01/12312312312333/22/AB+1?&singleton&linkType=gs1:pip&&99=A%2B&98=x%2f9&",
          "(01)12312312312333(22)AB+1(99)A+(98)x/9" },
        { "https://id.gs1.org/01/09520123456788?3103=000195&3922=0299&17=201225",
          "(01)09520123456788(3103)000195(3922)0299(17)201225" },
        { "https://a/8018/123456789012345675/8019/123", "(8018)123456789012345675(8019)123" },
        { "https://a/253/1231231231232TEST5678901234567", "(253)1231231231232TEST5678901234567" },
        { "https://a/8010/1234AB-7/8011/0", "(8010)1234AB-7(8011)0" },
        { "https://a/8006/095060001343520102/10/L/21/S", "(8006)095060001343520102(10)L(21)S" },
        { "https://example.com//01/09520123456788", "(01)09520123456788" },
        { "https://a/x//y/01/09520123456788?%31%37=290630", "(01)09520123456788(17)290630" },
    };
    for (const LinkCase& c : cases) {
        std::vector<Gs1Element> elements;
        std::string strError = "unset";
        std::wstring strUri(c.pszUri, c.pszUri + strlen(c.pszUri));
        EXPECT_TRUE(ParseGs1(strUri, &elements, &strError)) << c.pszUri << ": " << strError;
        EXPECT_EQ(c.pszExpected, Printed(elements)) << c.pszUri;
        EXPECT_EQ(std::wstring(c.pszExpected, c.pszExpected + strlen(c.pszExpected)), Gs1Bracketed(elements));
        std::vector<Gs1Element> again;
        EXPECT_TRUE(ParseGs1(Gs1ElementString(elements), &again, &strError)) << c.pszUri << ": " << strError;
        EXPECT_EQ(c.pszExpected, Printed(again)) << c.pszUri;
        EXPECT_TRUE(IsDigitalLink(strUri));
    }
    std::vector<Gs1Element> elements;
    ASSERT_TRUE(ParseGs1(L"https://id.gs1.org/01/09520123456788?3922=0299&3103=000195&99=A", &elements, NULL));
    EXPECT_EQ(L"0109520123456788" L"39220299" GS L"3103000195" L"99A", Gs1ElementString(elements));
}

TEST(Gs1, DigitalLinkRefusesWhatBreaksARule)
{
    const LinkCase cases[] = {
        // Structure and scheme: a scheme in mixed case or of another kind is no link.
        { "https://id.gs1.org", "no key in the path" },
        { "https://id.gs1.org/?01=09506000134352", "no key in the path" },
        { "Https://id.gs1.org/01/09506000134352", "unknown AI at character 1" },
        { "ftp://id.gs1.org/01/09506000134352", "unknown AI at character 1" },
        // Host.
        { "https://a_b.example/01/09506000134352", "host" },
        { "https://user@a.example/01/09506000134352", "host" },
        { "https:///01/09506000134352", "host" },
        { "https://a:80x/01/09506000134352", "host" },
        { "https://[fe80::1%25lo]/01/09506000134352", "host" },
        // Keys, their qualifiers and their order.
        { "https://a/01/09506000134352/21/X/10/Y", "AI 10: out of place after key 01" },
        { "https://a/01/09506000134352/22/X/235/Y", "AI 235: out of place after key 01" },
        { "https://a/414/9520123456788/254/X/7040/1ABC", "AI 7040: out of place after key 414" },
        { "https://a/00/006141411234567890/10/ABC", "AI 10: out of place after key 00" },
        { "https://a/01/09506000134352/17/290630", "AI 17: out of place after key 01" },
        // Path errors.
        { "https://a/01/09506000134352/10/ABC/", "path ends in /" },
        { "https://a/01/09506000134352//10/ABC", "empty path segment" },
        { "https://a/01//09506000134352", "empty path segment" },
        { "https://a/01/09506000134352/10", "AI 10: no value" },
        { "https://a/99/ABC", "no key in the path" },
        { "https://a/01/09506000134352/89/ABC", "no key in the path" },
        // Query.
        { "https://a/01/09506000134352?999=x", "unknown AI 999 in the query" },
        { "https://a/01/09506000134352?99=", "AI 99: empty" },
        { "https://a/01/09506000134352?21=X", "AI 21: not allowed in the query" },
        { "https://a/00/006141411234567890?8200=x", "AI 8200: not allowed in the query" },
        { "https://a/01/09506000134352?10=X", "AI 10: belongs in the path" },
        { "https://a/01/09506000134352?%31%30=ABC", "AI 10: belongs in the path" },
        { "https://a/01/09506000134352/22/V?10=X", "AI 10: belongs in the path" },
        // Each AI once.
        { "https://a/01/09506000134352?01=09506000134352", "AI 01: given twice" },
        { "https://a/01/09506000134352?99=A&99=A", "AI 99: given twice" },
        // Values: escapes, + in the query, and the element string's checks.
        { "https://a/01/09506000134352/10/A%00", "AI 10: percent escape" },
        { "https://a/01/09506000134352/10/A%2", "AI 10: percent escape" },
        { "https://a/01/09506000134352/10/A%G1", "AI 10: percent escape" },
        { "https://a/01/09506000134352/10/A%1DB", "AI 10: character not allowed" },
        { "https://a/01/09506000134352?99=A+B", "AI 99: character not allowed" },
        { "https://a/01/09506000134353", "AI 01: check digit" },
        { "https://a/01/09506000134352?17=291301", "AI 17: date" },
        { "https://a/01/09506000134352?3912=0001500", "AI 3912: currency code" },
        // Characters outside a URI's.
        { "https://a/01/09506000134352/10/A B", "character not allowed in a URI" },
        { "https://a/01/09506000134352/10/A\x09", "character not allowed in a URI" },
        { "https://a/01/09506000134352/10/A\"B", "character not allowed in a URI" },
        // GTINs of 8, 12 and 13 digits; older drafts' names.
        { "https://a/01/9506000134352", "AI 01: too short" },
        { "https://a/01/950600013435", "AI 01: too short" },
        { "https://a/01/02345673", "AI 01: too short" },
        { "https://a/gtin/09506000134352/lot/ABC", "no key in the path" },
    };
    for (const LinkCase& c : cases) {
        std::vector<Gs1Element> elements(1);
        std::string strError;
        EXPECT_FALSE(ParseGs1(std::wstring(c.pszUri, c.pszUri + strlen(c.pszUri)), &elements, &strError)) << c.pszUri;
        EXPECT_EQ(c.pszExpected, strError) << c.pszUri;
        EXPECT_TRUE(elements.empty()) << c.pszUri;
    }
    std::string strError;
    EXPECT_FALSE(ParseGs1(L"https://a/01/09506000134352/10/\x00E9", NULL, &strError));
    EXPECT_EQ("non-ASCII character at character 32", strError);
    EXPECT_FALSE(IsDigitalLink(L"Https://a/01/09506000134352"));
    EXPECT_FALSE(IsDigitalLink(L"\x0168ttps://a/01/09506000134352"));   // no character cut to ASCII
}

// The same pairing rules in an element string and in a Digital Link: ""
// where the code keeps them all, else the first it breaks.
TEST(Gs1, PairingRulesHoldInBothForms)
{
    const Case cases[] = {
        { L"0109506000134352" L"10ABC", "" },
        { L"00106141411234567897" L"0209506000134352" L"3712", "" },
        { L"0109506000134352" L"3103000195" L"3203000430" L"3103000195", "" },   // itself again
        { L"8006095060001343520102" GS L"10L" GS L"21S", "" },
        { L"0109506000134352" L"21S" GS L"8030Ab-_9=", "" },
        { L"10ABC", "AI 10 requires AI 01, 02, 03, 8006 or 8026" },
        { L"0109506000134352" L"0209506000134352", "AI 01 and AI 02 exclude each other" },
        { L"0109506000134352" L"3725", "AI 01 and AI 37 exclude each other" },
        { L"0209506000134352", "AI 02 requires AI 37" },
        { L"0209506000134352" L"3725", "AI 37 requires AI 00" },
        { L"00106141411234567897" L"3725", "AI 37 requires AI 02 or 8026" },
        { L"0109506000134352" L"3103000195" L"3102001950", "AI 3103 and AI 3102 exclude each other" },
        { L"0109506000134352" L"39220299", "AI 3922 requires AI 30, 31nn, 32nn, 35nn or 36nn" },
        { L"0109506000134352" L"21S" GS L"235TX", "AI 21 and AI 235 exclude each other" },
        { L"0109506000134352" L"250X", "AI 250 requires AI 21" },
        { L"0109506000134352" L"8030Ab-_9=", "AI 8030 requires AI 00, 01 with 21, 253, 255, 8003, 8004, "
                                             "8006 with 21, 8010 with 8011, 8017 or 8018" },
        { L"8018123456789012345675" GS L"72581/2", "AI 7258 requires AI 8018 with 7259" },
        { L"717SRN-9", "AI 717 requires AI 01" },
        { L"0109506000134352" L"8040490154203237518", "AI 8040 requires AI 01 with 21" },
        { L"2531231231231232" GS L"8030Ab-_9=", "AI 8030 requires AI 253 with its serial component" },
        { L"800309506000134352" GS L"8030Ab-_9=", "AI 8030 requires AI 8003 with its serial component" },
        { L"2531231231231232X7" GS L"8030Ab-_9=", "" },
        { L"https://a/253/1231231231232?8030=Ab-_9=", "AI 8030 requires AI 253 with its serial component" },
        { L"2559520123456788" GS L"39001" GS L"81110100", "AI 3900 and AI 8111 exclude each other" },
        { L"https://id.gs1.org/00/106141411234567897?02=09506000134352&37=5", "" },
        { L"https://a/415/9520123456788/8020/R1?8007=GB29NWBK60161331926819", "" },
        { L"https://id.gs1.org/00/106141411234567897?10=ABC", "AI 10 requires AI 01, 02, 03, 8006 or 8026" },
        { L"https://id.gs1.org/01/09506000134352?02=09506000134352", "AI 01 and AI 02 exclude each other" },
        { L"https://a/8006/095060001343520102/22/V", "AI 22 requires AI 01" },
        { L"https://a/415/9520123456788", "AI 415 requires AI 8020" },
        { L"https://a/8018/123456789012345675?8017=123456789012345675", "AI 8018 and AI 8017 exclude each other" },
    };
    for (const Case& c : cases) {
        std::vector<Gs1Element> elements(1);
        std::string strError = "unset";
        EXPECT_EQ(!*c.pszExpected, ParseGs1(c.strCode, &elements, &strError)) << c.pszExpected;
        EXPECT_EQ(c.pszExpected, strError);
        EXPECT_EQ(!*c.pszExpected, !elements.empty()) << c.pszExpected;
    }
}
