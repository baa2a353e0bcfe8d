// Rules: which rule shapes a code, what it types, and the cut-off of a
// pattern that would take too long.
#include <gtest/gtest.h>

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
        { "123", L"x.exe", L"<[123]" },   // a group the pattern lacks is empty
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
    rules.Load({ Rule(1, "GS1", "{AI:01}{TAB}{AI:10}{TAB}{AI:17}") });
    // GTIN 09506000134352 (check digit 2), lot ABC123, expiry 2027-12-31.
    EXPECT_EQ(L"<09506000134352\tABC123\t271231", Typed(rules, "]d20109506000134352" "10ABC123\x1D" "17271231"));
    // A wrong check digit: no GS1, no rule.
    EXPECT_EQ(L"<]d20109506000134353" "10ABC123", Typed(rules, "]d20109506000134353" "10ABC123"));
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
