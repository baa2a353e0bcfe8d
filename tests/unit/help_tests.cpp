#include <gtest/gtest.h>

#include "help.h"
#include "settings.h"

TEST(Help, GuideAddressFromAnyFolderAndTheAssociationsCommandLine)
{
    EXPECT_EQ(L"file:///C:/Program%20Files/Norza/USER-GUIDE.html#output-options",
              HelpFileUrl(L"C:\\Program Files\\Norza\\USER-GUIDE.html", HELP_OUTPUT));
    EXPECT_EQ(L"file:///D:/%E6%89%A9%E7%A0%81%231/g.html#rules", HelpFileUrl(L"D:\\\x6269\x7801#1\\g.html", HELP_RULES));
    EXPECT_EQ(L"file://server/apps/g.html", HelpFileUrl(L"\\\\server\\apps\\g.html", HELP_GUIDE));

    const std::wstring strUrl = L"file:///C:/g.html#rules";
    EXPECT_EQ(L"\"C:\\b.exe\" -url \"file:///C:/g.html#rules\"", HelpCommandLine(L"\"C:\\b.exe\" -url \"%1\"", strUrl));
    EXPECT_EQ(L"C:\\b.exe file:///C:/g.html#rules ", HelpCommandLine(L"C:\\b.exe %L %*", strUrl));
    EXPECT_EQ(L"\"C:\\b.exe\" \"file:///C:/g.html#rules\"", HelpCommandLine(L"\"C:\\b.exe\"", strUrl));
}

TEST(Help, OnlyAWebAddressIsTakenFromThePolicy)
{
    const char* const kTaken[] = { "https://intranet.example/norza#help", "HTTP://intranet/help" };
    const char* const kRefused[] = { "C:\\Windows\\System32\\calc.exe", "file:///C:/x.exe", "https://",
                                     "https://a b", "https://a\"b" };
    for (const char* pszValue : kTaken) {
        CPolicy policy;
        policy.Set(POLICY_HELP_URL, pszValue, true);
        std::wstring strUrl;
        EXPECT_TRUE(ReadHelpUrl(policy, &strUrl)) << pszValue;
        EXPECT_EQ(std::wstring(pszValue, pszValue + strlen(pszValue)), strUrl);
    }
    for (const char* pszValue : kRefused) {
        CPolicy policy;
        policy.Set(POLICY_HELP_URL, pszValue, true);
        std::wstring strUrl;
        EXPECT_FALSE(ReadHelpUrl(policy, &strUrl)) << pszValue;
    }
}
