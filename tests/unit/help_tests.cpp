#include <gtest/gtest.h>

#include "help.h"
#include "settings.h"

TEST(Help, GuideAddressesCommandLinesAndThePolicysPage)
{
    EXPECT_EQ(L"file:///C:/Program%20Files/Norza/USER-GUIDE.html#output-options",
              HelpFileUrl(L"C:\\Program Files\\Norza\\USER-GUIDE.html", HELP_OUTPUT));
    EXPECT_EQ(L"file:///D:/%E6%89%A9%E7%A0%81%231/g.html#rules", HelpFileUrl(L"D:\\\x6269\x7801#1\\g.html", HELP_RULES));
    EXPECT_EQ(L"file://server/apps/g.html", HelpFileUrl(L"\\\\server\\apps\\g.html", HELP_GUIDE));

    const std::wstring strUrl = L"file:///C:/g.html#rules";
    EXPECT_EQ(L"\"C:\\b.exe\" -url \"file:///C:/g.html#rules\"", HelpCommandLine(L"\"C:\\b.exe\" -url \"%1\"", strUrl));
    EXPECT_EQ(L"C:\\b.exe file:///C:/g.html#rules ", HelpCommandLine(L"C:\\b.exe %L %*", strUrl));
    EXPECT_EQ(L"\"C:\\b.exe\" \"file:///C:/g.html#rules\"", HelpCommandLine(L"\"C:\\b.exe\"", strUrl));

    // Only a web address: anything else could start a program.
    for (const char* pszValue : { "C:\\Windows\\System32\\calc.exe", "file:///C:/x.exe", "https://", "https://a b",
                                  "https://a\"b", "HTTP://intranet/help" }) {
        CPolicy policy;
        policy.Set(POLICY_HELP_URL, pszValue, true);
        std::wstring strUrl;
        EXPECT_EQ(pszValue[0] == 'H', ReadHelpUrl(policy, &strUrl)) << pszValue;
    }
}
