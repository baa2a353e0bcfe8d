// Rules: which rule shapes a code, what it types, and the cut-off of a
// pattern that would take too long.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "shape.h"

namespace {

CRuleSetting Rule(int nNumber, const char* pszMatch, const char* pszOutput = NULL,
                  const char* pszProgram = "", const char* pszAction = "")
{
    CRuleSetting rule;
    rule.nNumber = nNumber;
    rule.strMatch = pszMatch;
    rule.bOutput = pszOutput != NULL;
    rule.strOutput = pszOutput ? pszOutput : "";
    rule.strProgram = pszProgram;
    rule.strAction = pszAction;
    return rule;
}

std::wstring Typed(const CRules& rules, const char* pszCode, const wchar_t* pszProgram = L"x.exe")
{
    COutputOptions options;
    options.strPrefix = L"<";
    ShapedDecode shaped = ShapeDecode(pszCode, options, false, 1252, &rules, pszProgram);
    return shaped.bRejected ? L"rejected by " + std::to_wstring(shaped.nRule) : shaped.strTyped;
}

}  // namespace

TEST(Rules, TheFirstMatchingRuleForTheProgramShapesTheCode)
{
    CRules rules;
    rules.Load({ Rule(1, "ID=(\\d+);LOT=(\\w+);EXP=\\d+", "$2{TAB}$$$1"),
                 Rule(2, "X.*", NULL, "", "reject"),
                 Rule(3, "\\d+", "#$0{ENTER}", "excel.exe; ET.exe"),
                 Rule(4, "\\d+", "[$0$7]"),
                 Rule(5, "(.*)\\x1D(.*)", "$1|$2") });
    EXPECT_TRUE(rules.Errors().empty());
    const struct {
        const char* pszCode;
        const wchar_t* pszProgram;
        const wchar_t* pszTyped;
    } kCases[] = {
        { "ID=7;LOT=A12;EXP=261231", L"x.exe", L"<A12\t$7" },
        { "ID=7;LOT=A12;EXP=2612x", L"x.exe", L"<ID=7;LOT=A12;EXP=2612x" },   // whole code or nothing
        { "X-1", L"x.exe", L"rejected by 2" },
        { "123", L"EXCEL.EXE", L"<#123\r" },
        { "123", L"et.exe", L"<#123\r" },
        { "123", L"x.exe", L"<123" },   // $7, which the pattern lacks, passes rule 4 over
        { "a\x1D" "b\x16\x1D", L"x.exe", L"<a\x1D" "b|" },   // parts of the code are cleaned as the code
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.pszTyped, Typed(rules, c.pszCode, c.pszProgram)) << c.pszCode;
}

TEST(Rules, BadRulesAreLeftOutAndNamed)
{
    CRules rules;
    rules.Load({ Rule(1, "(a"), Rule(2, "a", "{CTRL+}"), Rule(3, "a", "x", "", "drop"), Rule(4, ""),
                 Rule(5, "a", "{AI:1}"), Rule(6, "a", "ok") });
    ASSERT_EQ(5u, rules.Errors().size());
    EXPECT_EQ(L"RULE1: Match is not a valid regular expression", rules.Errors()[0]);
    EXPECT_EQ(L"RULE5: Output has an unknown escape", rules.Errors()[4]);
    EXPECT_EQ(L"<ok", Typed(rules, "a"));
}

TEST(Rules, Gs1ElementsFillTheTemplate)
{
    CRules rules;
    rules.Load({ Rule(1, "GS1", "{AI:01}{TAB}{AI:10}{TAB}{AI:17}"), Rule(2, "gs1", "{AI:01}/{AI:716}") });
    // GTIN 09506000134352 (check digit 2), lot ABC123, expiry 2027-12-31.
    EXPECT_EQ(L"<09506000134352\tABC123\t271231", Typed(rules, "]d20109506000134352" "10ABC123\x1D" "17271231"));
    // A wrong check digit: no GS1, no rule.
    EXPECT_EQ(L"<]d20109506000134353" "10ABC123", Typed(rules, "]d20109506000134353" "10ABC123"));
    // A lot without the GTIN it belongs to breaks a pairing rule: no GS1 either.
    CRules lot;
    lot.Load({ Rule(1, "GS1", "{AI:10}") });
    EXPECT_EQ(L"<ABC", Typed(lot, "0109506000134352" "10ABC"));
    EXPECT_EQ(L"<]d2" "10ABC", Typed(lot, "]d2" "10ABC"));
    // No expiry: the first rule would type an empty field; "gs1" names GS1 as well.
    EXPECT_EQ(L"<09506000134352/AIC123", Typed(rules, "0109506000134352" "10ABC123\x1D" "716AIC123"));
}

// A rule applies only when the code has every part its output names; the
// test box says what each rule passed over lacked.
TEST(Rules, ARuleLackingAPartOfItsOutputPassesToTheNext)
{
    CRules rules;
    rules.Load({ Rule(1, "GS1", "{AI:01}{TAB}{AI:17}{ENTER}"), Rule(2, "(\\d+)(-(\\w+))?", "$1:$3"),
                 Rule(3, "GS1", "$1"), Rule(4, "x(y*)", "[$1]"), Rule(5, ".*", NULL, "", "reject"),
                 Rule(6, "GS1|.*", "{AI:10}") });
    const struct {
        const char* pszCode;
        int nRule;
        std::vector<std::pair<int, std::wstring>> skips;
    } kCases[] = {
        { "0109506000134352" "10ABC", 5, { { 1, L"{AI:17}" }, { 3, L"$1" } } },
        { "0109506000134352" "17271231", 1, {} },
        { "42-abc", 2, {} },
        { "42", 5, { { 2, L"$3" } } },   // a group that took no part in the match
        { "x", 4, {} },                  // one that matched nothing is there, empty
        { "abc", 5, {} },                // a rule that refuses types nothing: it needs no part
    };
    for (const auto& c : kCases) {
        ShapedDecode shaped = ShapeDecode(c.pszCode, COutputOptions(), false, 1252, &rules, L"x.exe");
        EXPECT_EQ(c.nRule, shaped.nRule) << c.pszCode;
        std::vector<std::pair<int, std::wstring>> skips;
        for (const RuleSkip& skip : shaped.ruleSkips)
            skips.emplace_back(skip.nRule, skip.strPart);
        EXPECT_EQ(c.skips, skips) << c.pszCode;
    }
}

// Escapes in Match stand for characters only where a pattern could not hold
// the brace: every pattern that compiled before means what it meant.
TEST(Rules, MatchAndProgramReadTheSettingsEscapes)
{
    const struct {
        const char* pszMatch;
        const char* pszProgram;
        const wchar_t* pszCode;
        bool bMatches;
    } kCases[] = {
        { "\\d{3}x{2,}y{1,2}", "", L"123xxxy", true },         // repetitions stay
        { "[{U+0E01}]{2}", "", L"{U", true },                    // inside [...]: the pattern's braces
        { "\\{U\\+41\\}", "", L"{U+41}", true },                // escaped braces
        { "[[:alpha:]{U+41}]+", "", L"{A", true },               // [:alpha:] does not end the class
        { "{U+0E01}+{TAB}{GS}{U+1F600}\\{{U+7D}", "", L"\x0E01\x0E01\t\x1D\xD83D\xDE00{}", true },
        { "a{U+002E}b", "", L"axb", false },                     // the character itself, no wildcard
        { "a{U+002E}b", "", L"a.b", true },
        { "x", "{U+0E01}.exe; {{x}}.exe", L"x", true },          // program names with their escapes
    };
    for (const auto& c : kCases) {
        CRules rules;
        CRuleSetting setting = Rule(1, c.pszMatch, NULL, c.pszProgram);
        rules.Load({ setting });
        ASSERT_TRUE(rules.Errors().empty()) << c.pszMatch;
        for (const wchar_t* pszProgram : { L"x.exe", L"\x0E01.EXE", L"{x}.exe" }) {
            bool bApplies = !*c.pszProgram || wcscmp(pszProgram, L"x.exe") != 0;
            EXPECT_EQ(c.bMatches && bApplies, rules.Apply(c.pszCode, pszProgram).nRule == 1)
                << c.pszMatch << " on " << pszProgram;
        }
    }
    CRules rules;
    rules.Load({ Rule(1, "a{F2}"), Rule(2, "a", NULL, "{x}.exe"), Rule(3, "{U+0E01}{") });
    ASSERT_EQ(3u, rules.Errors().size());
    EXPECT_EQ(L"RULE1: Match names a key or pause, which no code holds", rules.Errors()[0]);
    EXPECT_EQ(L"RULE2: Program has an unknown escape", rules.Errors()[1]);
    EXPECT_EQ(L"RULE3: Match is not a valid regular expression", rules.Errors()[2]);
}

// What the rules window writes for a pattern with characters outside both
// code pages, the reader takes back as that pattern, in either code page.
TEST(Rules, APatternWrittenByTheWindowReadsBackTheSame)
{
    const struct {
        const wchar_t* pszMatch;
        const wchar_t* pszCode;
    } kCases[] = {
        { L"\x0E01\x0E02+", L"\x0E01\x0E02\x0E02" },         // Thai, in neither code page
        { L"[\x0E01-\x0E03]{2}\\d", L"\x0E03\x0E01" L"7" },  // in a class, a repetition after
        { L"\\\x0E01|x", L"\x0E01" },                         // escaped by a backslash
        { L"(\xD83D\xDE00)\t\x1D[^\x0E01]", L"\xD83D\xDE00\t\x1D" L"a" },
        { L"{U+0E01}", L"\x0E01" },                             // an escape typed as such
    };
    for (UINT nCodePage : { 1252u, 936u }) {
        for (const auto& c : kCases) {
            std::string strStored = EncodeMatchValue(c.pszMatch, nCodePage);
            EXPECT_TRUE(std::all_of(strStored.begin(), strStored.end(), [](char ch) { return ch > 0; }))
                << strStored;
            CRules rules;
            rules.Load({ Rule(1, strStored.c_str()) }, nCodePage);
            ASSERT_TRUE(rules.Errors().empty()) << strStored;
            EXPECT_EQ(1, rules.Apply(c.pszCode, L"x.exe").nRule) << strStored << " in " << nCodePage;
            EXPECT_EQ(0, rules.Apply(L"\x0E04", L"x.exe").nRule) << strStored;
        }
    }
}

TEST(Rules, APathologicalPatternIsCutOffNotCrashed)
{
    CRules rules;
    rules.Load({ Rule(1, "(\\d*)*x", "never"), Rule(2, "(\\d+)", "<$1>") });
    // The largest QR code, and a long decode, which takes a deep recursion.
    for (size_t n : { 7089, 30000 }) {
        std::string code(n, '7');
        auto start = std::chrono::steady_clock::now();
        ShapedDecode shaped = ShapeDecode(code.c_str(), COutputOptions(), false, 1252, &rules, L"x.exe");
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        printf("%u digits through (\\d*)*x and (\\d+): %.1f ms\n", (unsigned)n, ms);
        ASSERT_LE(1u, shaped.ruleErrors.size());
        EXPECT_EQ(L"RULE1: Match took too long on this code", shaped.ruleErrors[0]);
        EXPECT_EQ(2, shaped.nRule);   // the next rule is still tried
        EXPECT_EQ(L"<" + std::wstring(n, L'7') + L">", shaped.strTyped);
    }
}

// A GS1 Digital Link goes through Match=GS1 and {AI:nn} as its element
// string does; where the code is typed whole, DigitalLink chooses its form.
TEST(Rules, ADigitalLinkIsGs1DataTypedWholeInTheFormAsked)
{
    const char* const pszLink = "https://id.gs1.org/01/09506000134352/10/ABC%2D1?17=290630";
    CRules rules;
    rules.Load({ Rule(1, "GS1", "{AI:01}{TAB}{AI:10}", "erp.exe"), Rule(2, "GS1", NULL, "pos.exe"),
                 Rule(3, "GS1", "[$0]", "wms.exe") });
    const struct {
        DigitalLinkOutput nOutput;
        const char* pszCode;
        const wchar_t* pszProgram;
        const wchar_t* pszTyped;
        const char* pszLinkError;
    } kCases[] = {
        { DIGITAL_LINK_HRI, pszLink, L"erp.exe", L"09506000134352\tABC-1", "" },
        { DIGITAL_LINK_ASIS, pszLink, L"x.exe", L"https://id.gs1.org/01/09506000134352/10/ABC%2D1?17=290630", "" },
        { DIGITAL_LINK_ELEMENT, pszLink, L"pos.exe", L"0109506000134352" L"10ABC-1|17290630", "" },
        { DIGITAL_LINK_HRI, pszLink, L"wms.exe", L"[(01)09506000134352(10)ABC-1(17)290630]", "" },
        // Not valid: as scanned, and why; asked for as scanned, no reason.
        { DIGITAL_LINK_ELEMENT, "https://id.gs1.org/01/09506000134352?10=A", L"x.exe",
          L"https://id.gs1.org/01/09506000134352?10=A", "AI 10: belongs in the path" },
        { DIGITAL_LINK_ASIS, "https://id.gs1.org/01/09506000134352?10=A", L"x.exe",
          L"https://id.gs1.org/01/09506000134352?10=A", "" },
        // Another address, or an element string: no Digital Link to convert.
        { DIGITAL_LINK_HRI, "Https://id.gs1.org/01/09506000134352", L"x.exe",
          L"Https://id.gs1.org/01/09506000134352", "" },
        { DIGITAL_LINK_HRI, "0109506000134352" "10A\x1D" "99B", L"x.exe", L"0109506000134352" L"10A|99B", "" },
    };
    for (const auto& c : kCases) {
        COutputOptions options;
        options.nDigitalLink = c.nOutput;
        options.controls[0].bKeep = false;   // GS=|
        options.controls[0].strWith = L"|";
        ShapedDecode shaped = ShapeDecode(c.pszCode, options, false, 1252, &rules, c.pszProgram);
        EXPECT_EQ(c.pszTyped, shaped.strTyped) << c.pszCode << " in " << c.nOutput;
        EXPECT_EQ(c.pszLinkError, shaped.strLinkError) << c.pszCode << " in " << c.nOutput;
        EXPECT_STREQ(c.pszCode, shaped.strLogged);
    }
}
