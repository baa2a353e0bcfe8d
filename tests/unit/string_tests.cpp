#include <afxwin.h>
#include <gtest/gtest.h>
#include <string.h>

#include "test_resource.h"

static CString FormatVia(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    CString s;
    s.FormatV(pszFormat, args);
    va_end(args);
    return s;
}

TEST(CString, CopiesShareTheBufferUntilOneChanges)
{
    CString a("scanner");
    CString b(a);
    EXPECT_EQ((LPCSTR)a, (LPCSTR)b);

    b += "!";
    EXPECT_STREQ("scanner", a);
    EXPECT_STREQ("scanner!", b);
    EXPECT_NE((LPCSTR)a, (LPCSTR)b);

    CString c;
    c = a;
    a = "other";
    EXPECT_STREQ("scanner", c);
    EXPECT_STREQ("other", a);
}

TEST(CString, EmptyAndNullBehaveAlike)
{
    CString a;
    CString b((LPCSTR)NULL);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_STREQ("", a);
    a = "x";
    a.Empty();
    EXPECT_EQ(0, a.GetLength());
}

TEST(CString, ConcatenationInEveryForm)
{
    CString mid("B");
    CString s = "A" + mid + "C";
    s += 'D';
    s += s;
    EXPECT_STREQ("ABCDABCD", s);
    EXPECT_EQ(8, s.GetLength());
    EXPECT_TRUE(s == "ABCDABCD");
    EXPECT_TRUE(s != "ABCD");
}

TEST(CString, LengthCountsBytesNotCharacters)
{
    CString s("\xB3\xCC\xD0\xF2");
    EXPECT_EQ(4, s.GetLength());
    CString withNul("a\0b", 3);
    EXPECT_EQ(3, withNul.GetLength());
}

TEST(CString, FormatPadsFieldsWithBlanks)
{
    CString s;
    s.Format("[%2d-%2d %2d:%2d:%2d_%3d]", 12, 7, 8, 5, 3, 42);
    EXPECT_STREQ("[12- 7  8: 5: 3_ 42]", s);
    s.Format("[%s]%s", "Decode", "");
    EXPECT_STREQ("[Decode]", s);
}

TEST(CString, FormatVTakesAnArgumentList)
{
    EXPECT_STREQ("Decode:ABC123", FormatVia("Decode:%s", "ABC123"));
    EXPECT_STREQ("7 of 9", FormatVia("%d of %u", 7, 9u));
}

TEST(CString, FormatHandlesLongTextAndItsOwnContent)
{
    std::string big(65536, 'x');
    CString s;
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(65538, s.GetLength());

    CString t("self");
    t.Format("%s+%s", (LPCSTR)t, (LPCSTR)t);
    EXPECT_STREQ("self+self", t);
}

TEST(CString, LoadStringReadsTheStringTable)
{
    CString s;
    EXPECT_TRUE(s.LoadString(IDS_TEST_STRING));
    EXPECT_STREQ("Norza framework test", s);

    EXPECT_FALSE(s.LoadString(IDS_TEST_MISSING));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, LoadStringConvertsToTheAnsiCodePage)
{
    CString s;
    ASSERT_TRUE(s.LoadString(IDS_TEST_CHINESE));
    if (GetACP() == 936)
        EXPECT_STREQ("\xB9\xD8\xD3\xDA", s);   // 关于 in GBK
    else
        EXPECT_EQ(2, s.GetLength());           // two default characters
}

TEST(CString, GetBufferLetsApisFillTheText)
{
    CString s("keep");
    CString copy(s);
    char* p = s.GetBuffer(MAX_PATH);
    strcpy(p, "C:\\dir\\Norza.exe");
    s.ReleaseBuffer();
    EXPECT_EQ(16, s.GetLength());
    EXPECT_STREQ("C:\\dir\\Norza.exe", s);
    EXPECT_STREQ("keep", copy);
}
