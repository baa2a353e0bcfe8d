#include <gtest/gtest.h>

#include <string>

#include "help.h"
#include "settings.h"

TEST(Help, GuideAddressFromAnyFolder)
{
    const struct {
        const wchar_t* pszPath;
        HelpTopic topic;
        const wchar_t* pszUrl;
    } kCases[] = {
        { L"C:\\Program Files\\Norza\\USER-GUIDE.html", HELP_OUTPUT,
          L"file:///C:/Program%20Files/Norza/USER-GUIDE.html#output-options" },
        { L"D:\\\x6269\x7801#1\\USER-GUIDE-zh.html", HELP_RULES,
          L"file:///D:/%E6%89%A9%E7%A0%81%231/USER-GUIDE-zh.html#rules" },
        { L"\\\\server\\apps\\USER-GUIDE.html", HELP_GUIDE, L"file://server/apps/USER-GUIDE.html" },
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.pszUrl, HelpFileUrl(c.pszPath, c.topic)) << c.pszUrl;
}

TEST(Help, AddressTakesThePlaceOfTheAssociationsArgument)
{
    const std::wstring strUrl = L"file:///C:/g.html#rules";
    const struct {
        const wchar_t* pszCommand;
        const wchar_t* pszLine;
    } kCases[] = {
        { L"\"C:\\b\\browser.exe\" -osint -url \"%1\"", L"\"C:\\b\\browser.exe\" -osint -url \"file:///C:/g.html#rules\"" },
        { L"C:\\b\\b.exe %L %*", L"C:\\b\\b.exe file:///C:/g.html#rules " },
        { L"\"C:\\b\\b.exe\"", L"\"C:\\b\\b.exe\" \"file:///C:/g.html#rules\"" },
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.pszLine, HelpCommandLine(c.pszCommand, strUrl)) << c.pszCommand;
}

TEST(Help, OnlyAWebAddressIsTakenFromThePolicy)
{
    const struct {
        const char* pszValue;
        const wchar_t* pszUrl;   // NULL: refused
    } kCases[] = {
        { "https://intranet.example/norza#help", L"https://intranet.example/norza#help" },
        { "HTTP://intranet/help", L"HTTP://intranet/help" },
        { "C:\\Windows\\System32\\calc.exe", NULL },
        { "file:///C:/x.exe", NULL },
        { "https://", NULL },
        { "https://a b", NULL },
        { "https://a\"b", NULL },
    };
    for (const auto& c : kCases) {
        CPolicy policy;
        policy.Set(POLICY_HELP_URL, c.pszValue, true);
        std::wstring strUrl = L"unchanged";
        EXPECT_EQ(c.pszUrl != NULL, ReadHelpUrl(policy, &strUrl)) << c.pszValue;
        EXPECT_EQ(c.pszUrl ? c.pszUrl : L"unchanged", strUrl) << c.pszValue;
    }
    std::wstring strUrl;
    EXPECT_FALSE(ReadHelpUrl(CPolicy(), &strUrl));
}
