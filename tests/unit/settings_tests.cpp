// Section OUTPUT of typeSet.ini: the escapes, the defaults, and bad values
// falling back to the default of their key alone.
#include <afxwin.h>
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "settings.h"
#include "temp_file_test.h"

TEST(Escapes, ExpandToKeysControlsCharactersAndBraces)
{
    std::wstring out;
    ASSERT_TRUE(ExpandEscapes("a{TAB}{enter}{GS}{Rs}{EOT}{{x}}{U+7F16}{u+1f600}", out));
    EXPECT_EQ(L"a\t\r\x1D\x1E\x04{x}\x7F16\xD83D\xDE00", out);
    ASSERT_TRUE(ExpandEscapes("", out));
    EXPECT_EQ(L"", out);
    out = L"kept";
    for (const char* bad : { "{TABS}", "{", "a}b", "{TAB", "{ TAB}", "{}", "}", "{U+}", "{U+D800}",
                             "{U+110000}", "{U+0}", "{U+1234567}", "{U+12G}" })
        EXPECT_FALSE(ExpandEscapes(bad, out)) << bad;
    EXPECT_EQ(L"kept", out);
}

TEST(Escapes, ReadCharacterByCharacterInTheCodePage)
{
    // 鄘 is 0xE0 0x7B and 鄛 0xE0 0x7D in GBK: their second bytes are
    // braces, but no escape. In 1252 the same bytes are à and a lone brace.
    std::wstring out;
    ASSERT_TRUE(ExpandEscapes("\xE0{\xE0}{TAB}\xD6\xD0", out, 936));
    EXPECT_EQ(L"\x9118\x911B\t\x4E2D", out);
    EXPECT_FALSE(ExpandEscapes("\xE0{", out, 1252));
}

class OutputSettings : public TempFileTest {
protected:
    OutputSettings() : TempFileTest("norza_settings_test_", ".ini") {}

    COutputOptions Read(const std::string& content)
    {
        FILE* f = fopen(m_path.c_str(), "wb");
        fwrite(content.data(), 1, content.size(), f);
        fclose(f);
        return ReadOutputOptions(m_path.c_str());
    }

    static void ExpectDefaults(const COutputOptions& o)
    {
        EXPECT_EQ(L"", o.strPrefix);
        EXPECT_EQ(L"", o.strSuffix);
        EXPECT_FALSE(o.bSuffix);
        EXPECT_EQ(0, o.nKeyDelay);
        EXPECT_EQ(0, o.nRepeatWindow);
        for (const CControlOutput& c : o.controls)
            EXPECT_TRUE(c.bKeep);
    }
};

TEST_F(OutputSettings, MissingFileSectionOrKeysGiveTheDefaults)
{
    ExpectDefaults(ReadOutputOptions((m_dir + "norza_no_such_file.ini").c_str()));
    ExpectDefaults(Read("[TYPE]\r\nEnter=1\r\n[OTHER]\r\nPrefix=x\r\nKeyDelay=5\r\n"));
}

TEST_F(OutputSettings, EveryKeyIsRead)
{
    COutputOptions o = Read("[OUTPUT]\r\nPrefix=P{{\r\nSuffix={TAB}\r\nKeyDelay=200\r\n"
                            "RepeatWindow=2000\r\nGS={GS}|\r\nRS=\r\nEOT=\" {ENTER}\"\r\n");
    EXPECT_EQ(L"P{", o.strPrefix);
    EXPECT_EQ(L"\t", o.strSuffix);
    EXPECT_TRUE(o.bSuffix);
    EXPECT_EQ(200, o.nKeyDelay);
    EXPECT_EQ(2000, o.nRepeatWindow);
    EXPECT_EQ('\x1D', o.controls[0].ch);
    EXPECT_FALSE(o.controls[0].bKeep);
    EXPECT_EQ(L"\x1D|", o.controls[0].strWith);
    EXPECT_FALSE(o.controls[1].bKeep);   // empty: dropped
    EXPECT_EQ(L"", o.controls[1].strWith);
    EXPECT_EQ(L" \r", o.controls[2].strWith);   // quotes keep the blank

    EXPECT_TRUE(Read("[OUTPUT]\nSuffix=\n").bSuffix);   // present though empty: no Enter
}

TEST_F(OutputSettings, BadValuesFallBackToTheirKeysDefault)
{
    ExpectDefaults(Read("[OUTPUT]\nPrefix={X}\nSuffix=a{\nKeyDelay=201\nRepeatWindow=-1\n"
                        "GS={TAB\nRS=}\nEOT={NUL}\n"));
    for (const char* bad : { "1.5", "ten", "+5", "5ms", "0x10", "99999999999", "60001" }) {
        COutputOptions o = Read(std::string("[OUTPUT]\nRepeatWindow=") + bad + "\nKeyDelay=7\n");
        EXPECT_EQ(0, o.nRepeatWindow) << bad;
        EXPECT_EQ(7, o.nKeyDelay) << bad;   // the other keys keep their values
    }
    COutputOptions o = Read("[OUTPUT]\nKeyDelay=x\nRepeatWindow=60000\nPrefix={TAB\n");
    EXPECT_EQ(0, o.nKeyDelay);
    EXPECT_EQ(60000, o.nRepeatWindow);
}

TEST_F(OutputSettings, ProgramSectionsOverrideTheKeysTheySet)
{
    Read("[OUTPUT]\nPrefix=A\nKeyDelay=5\n[OUTPUT:Notepad.exe]\nPrefix=N\n"
         "[output:TYPETARGET.EXE]\nSuffix={TAB}\nKeyDelay=x\n[OUTPUT:notepad.exe]\nPrefix=second\n"
         "[OUTPUT:]\nPrefix=none\n");
    COutputProfiles profiles = ReadOutputProfiles(m_path.c_str());
    EXPECT_EQ(2u, profiles.programs.size());
    EXPECT_EQ(L"N", profiles.For(L"NOTEPAD.EXE").strPrefix);   // the first section of a name
    EXPECT_EQ(5, profiles.For(L"notepad.exe").nKeyDelay);      // the rest from OUTPUT
    const COutputOptions& target = profiles.For(L"typetarget.exe");
    EXPECT_EQ(L"A", target.strPrefix);
    EXPECT_TRUE(target.bSuffix);
    EXPECT_EQ(L"\t", target.strSuffix);
    EXPECT_EQ(5, target.nKeyDelay);                              // a bad value keeps OUTPUT's
    EXPECT_EQ(L"A", profiles.For(L"other.exe").strPrefix);
    EXPECT_EQ(L"A", profiles.For(L"").strPrefix);
}

TEST_F(OutputSettings, LongValuesAreReadWhole)
{
    // Cut at any buffer's end, "{{" would leave a lone brace and "}}" half
    // an escape; read whole, both are what they say.
    std::string prefix = std::string(1022, 'x') + "{{" + std::string(5000, 'y') + "}}";
    COutputOptions o = Read("[OUTPUT]\nPrefix=" + prefix + "\nKeyDelay=3\n");
    EXPECT_EQ(std::wstring(1022, L'x') + L"{" + std::wstring(5000, L'y') + L"}", o.strPrefix);
    EXPECT_EQ(3, o.nKeyDelay);
}
