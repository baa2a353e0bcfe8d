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
    };
    for (const Case& c : cases) {
        std::vector<Gs1Element> elements(1);
        std::string strError;
        EXPECT_FALSE(ParseGs1(c.strCode, &elements, &strError)) << c.pszExpected;
        EXPECT_EQ(c.pszExpected, strError);
        EXPECT_TRUE(elements.empty()) << c.pszExpected;
    }
}
