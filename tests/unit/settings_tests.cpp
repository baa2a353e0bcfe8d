// Section OUTPUT of typeSet.ini: the escapes, the defaults, and bad values
// falling back to the default of their key alone.
#include <afxwin.h>
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <string>

#include "iniwrite.h"
#include "savefiles.h"
#include "settings.h"
#include "shared.h"
#include "typedtext.h"
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
                             "{U+110000}", "{U+0}", "{U+1234567}", "{U+12G}", "{U+FDD0}", "{F0}",
                             "{F25}", "{F01}", "{CTRL+}", "{CTRL+AB}", "{CTRL+CTRL+A}", "{A}",
                             "{CTRL+\xD6\xD0}", "{WIN+R}", "{DELAY}", "{DELAY 2001}", "{DELAY -1}",
                             "{DELAY 1.5}", "{DELAY  5}" })
        EXPECT_FALSE(ExpandEscapes(bad, out)) << bad;
    EXPECT_EQ(L"kept", out);
}

TEST(Escapes, KeysCombinationsAndPausesGoInBand)
{
    std::wstring expected;
    AppendKey(expected, VK_F2, 0);
    expected += L"x";
    AppendKey(expected, 'A', KEYMOD_CTRL);
    AppendKey(expected, VK_HOME, KEYMOD_CTRL | KEYMOD_SHIFT);
    AppendKey(expected, VK_TAB, KEYMOD_SHIFT);
    AppendPause(expected, 9);   // a pause of 9 ms is no Tab
    AppendKey(expected, VK_F24, KEYMOD_ALT);
    AppendKey(expected, '7', KEYMOD_ALT);
    AppendPause(expected, 2000);
    expected += L"	";
    std::wstring out;
    ASSERT_TRUE(ExpandEscapes("{F2}x{ctrl+a}{SHIFT+CTRL+Home}{SHIFT+TAB}{DELAY 9}{Alt+F24}{ALT+7}"
                              "{delay 2000}{TAB}", out));
    EXPECT_EQ(expected, out);
    EXPECT_TRUE(HasKeyCombination(out));
    out.clear();
    AppendPause(out, '\t');
    EXPECT_FALSE(HasKeyCombination(out));
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
        EXPECT_EQ(kDefaultPasteRestoreDelay, o.nPasteRestoreDelay);
        for (const CControlOutput& c : o.controls)
            EXPECT_TRUE(c.bKeep);
        EXPECT_EQ(DIGITAL_LINK_ASIS, o.nDigitalLink);
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
                            "RepeatWindow=2000\r\nGS={GS}|\r\nRS=\r\nEOT=\" {ENTER}\"\r\nDigitalLink=HRI\r\n");
    EXPECT_EQ(DIGITAL_LINK_HRI, o.nDigitalLink);
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
                        "GS={TAB\nRS=}\nEOT={NUL}\nDigitalLink=brackets\n"));
    for (const char* bad : { "1.5", "ten", "+5", "5ms", "0x10", "99999999999", "60001" }) {
        COutputOptions o = Read(std::string("[OUTPUT]\nRepeatWindow=") + bad + "\nKeyDelay=7\n");
        EXPECT_EQ(0, o.nRepeatWindow) << bad;
        EXPECT_EQ(7, o.nKeyDelay) << bad;   // the other keys keep their values
    }
    COutputOptions o = Read("[OUTPUT]\nKeyDelay=x\nRepeatWindow=60000\nPrefix={TAB\n");
    EXPECT_EQ(0, o.nKeyDelay);
    EXPECT_EQ(60000, o.nRepeatWindow);
}

// The duplicate warning (per program too) and the history's keys, each
// value as written; what is not valid keeps the default; a policy comes first.
TEST_F(OutputSettings, DuplicateAndHistoryKeys)
{
    const struct { const char* pszText; int nScope; bool bSkip; bool bOnDisk; int nDays; } cases[] = {
        { "", 0, false, true, 30 },
        { "[OUTPUT]\nDuplicateScope=TODAY\nDuplicateAction=skip\n[HISTORY]\nHistoryOnDisk=0\nHistoryDays=7\n",
          2, true, false, 7 },
        { "[OUTPUT]\nDuplicateScope=run\nDuplicateAction=type\n[HISTORY]\nHistoryDays=3650\n", 1, false, true, 3650 },
        { "[OUTPUT]\nDuplicateScope=all\n[HISTORY]\nHistoryOnDisk=1\n", 3, false, true, 30 },
        { "[OUTPUT]\nDuplicateScope=yes\nDuplicateAction=no\n[HISTORY]\nHistoryOnDisk=off\nHistoryDays=0\n",
          0, false, true, 30 },
        { "[HISTORY]\nHistoryDays=3651\n[OUTPUT:a.exe]\nDuplicateScope=all\n", 0, false, true, 30 },
    };
    for (const auto& c : cases) {
        COutputOptions o = Read(c.pszText);
        EXPECT_EQ(c.nScope, o.nDuplicateScope) << c.pszText;
        EXPECT_EQ(c.bSkip, o.bDuplicateSkip) << c.pszText;
        CHistorySettings history = ReadHistorySettings(m_path.c_str());
        EXPECT_EQ(c.bOnDisk, history.bOnDisk) << c.pszText;
        EXPECT_EQ(c.nDays, history.nDays) << c.pszText;
    }
    EXPECT_EQ(3, ReadOutputProfiles(m_path.c_str()).For(L"A.EXE").nDuplicateScope);
    CPolicy policy;
    policy.Set("HistoryOnDisk", "0", true);
    policy.Set("HistoryDays", "5", false);
    policy.Set("DuplicateAction", "skip", false);
    CSettingsSource settings(m_path.c_str(), policy, "");
    EXPECT_FALSE(ReadHistorySettings(settings).bOnDisk);
    EXPECT_EQ(5, ReadHistorySettings(settings).nDays);
    EXPECT_TRUE(ReadOutputProfiles(settings).For(L"a.exe").bDuplicateSkip);
}

// The target, and what it needs; a program section's target and a rule's
// are read as written.
TEST_F(OutputSettings, TargetKeys)
{
    const struct { const char* pszText; const wchar_t* pszTarget; bool bReturn; int nCodes; int nSeconds; } cases[] = {
        { "", L"", true, 20, 120 },
        { "[OUTPUT]\nTarget=erp.exe|Goods*\n", L"erp.exe|Goods*", true, 20, 120 },
        { "[OUTPUT]\nTarget=erp.exe\nReturnFocus=0\nTargetWaitCodes=5\nTargetWaitSeconds=30\n", L"erp.exe",
          false, 5, 30 },
        { "[OUTPUT]\nReturnFocus=yes\nTargetWaitCodes=0\nTargetWaitSeconds=3601\n", L"", true, 20, 120 },
    };
    for (const auto& c : cases) {
        COutputOptions o = Read(c.pszText);
        EXPECT_EQ(c.pszTarget, o.strTarget) << c.pszText;
        EXPECT_EQ(c.bReturn, o.bReturnFocus) << c.pszText;
        CTargetWaitBounds bounds = ReadTargetWaitBounds(m_path.c_str());
        EXPECT_EQ(c.nCodes, bounds.nCodes) << c.pszText;
        EXPECT_EQ(c.nSeconds, bounds.nSeconds) << c.pszText;
    }
    Read("[OUTPUT]\nTarget=erp.exe\n[OUTPUT:wordpad.exe]\nTarget=\n[RULE1]\nMatch=GS1\nTarget=notepad.exe\n");
    COutputProfiles profiles = ReadOutputProfiles(m_path.c_str());
    EXPECT_EQ(L"", profiles.For(L"wordpad.exe").strTarget);   // in front: codes stay there
    EXPECT_EQ(L"erp.exe", profiles.For(L"other.exe").strTarget);
    std::vector<CRuleSetting> rules = ReadRuleSettings(m_path.c_str());
    ASSERT_EQ(1u, rules.size());
    EXPECT_STREQ("notepad.exe", rules[0].strTarget);
}

TEST_F(OutputSettings, ProgramSectionsOverrideTheKeysTheySet)
{
    Read("[OUTPUT]\nPrefix=A\nKeyDelay=5\n[OUTPUT:Notepad.exe]\nPrefix=N\n"
         "[output:TYPETARGET.EXE]\nSuffix={TAB}\nKeyDelay=x\n[OUTPUT:notepad.exe]\nPrefix=second\n"
         "[OUTPUT:]\nPrefix=none\n[OUTPUT:{U+0E01}.exe]\nPrefix=T\n");
    COutputProfiles profiles = ReadOutputProfiles(m_path.c_str());
    EXPECT_EQ(3u, profiles.programs.size());
    EXPECT_EQ(L"T", profiles.For(L"\x0E01.EXE").strPrefix);     // as the rules window writes it
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

TEST_F(OutputSettings, AFileBehindAUtf8MarkIsReadAsUtf8)
{
    // Characters the code page lacks too: the system's ANSI reader would
    // hand out "?" for them.
    Read("\xEF\xBB\xBF[OUTPUT]\r\nPrefix=\xE7\xBC\x96\xE5\x8F\xB7:\r\nSuffix=caf\xC3\xA9{TAB}\r\n"
         "[OUTPUT:a]b.exe]\r\nPrefix=\xF0\x9F\x98\x80\r\n[RULE1]\r\nMatch=a\tb\r\n");
    COutputProfiles profiles = ReadOutputProfiles(m_path.c_str());
    EXPECT_EQ(L"\x7F16\x53F7:", profiles.base.strPrefix);
    EXPECT_EQ(L"caf\xE9\t", profiles.base.strSuffix);
    EXPECT_TRUE(profiles.base.controls[0].bKeep);   // a missing key keeps its default
    EXPECT_STREQ("a\tb", ReadRuleSettings(m_path.c_str()).at(0).strMatch);   // controls as they stand
    EXPECT_EQ(L"\xD83D\xDE00", profiles.For(L"A]B.EXE").strPrefix);   // the name runs to the last ]
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

TEST_F(OutputSettings, RulesAndMethodAreReadAsTheyStand)
{
    Read("[RULE10]\nMatch=B\n[OUTPUT]\nMethod=PASTE\nPasteRestoreDelay=2000\n[RULE2]\nMatch=LOT=(\\w+)\n"
         "Program=a.exe; b.exe\nOutput=$1{TAB}\nAction=reject\n[RULE0]\nMatch=x\n[RULE100]\nMatch=x\n"
         "[RULE05]\nMatch=x\n[RULEX]\nMatch=x\n[OUTPUT:a.exe]\nMethod=type\nPasteRestoreDelay=10001\n"
         "[OUTPUT:b.exe]\nMethod=clipboard\nPasteRestoreDelay=0\n");
    std::vector<CRuleSetting> rules = ReadRuleSettings(m_path.c_str());
    ASSERT_EQ(2u, rules.size());   // in the order of their numbers, 1..99 only
    EXPECT_EQ(2, rules[0].nNumber);
    EXPECT_STREQ("LOT=(\\w+)", rules[0].strMatch);
    EXPECT_STREQ("a.exe; b.exe", rules[0].strProgram);
    EXPECT_TRUE(rules[0].bOutput);
    EXPECT_STREQ("$1{TAB}", rules[0].strOutput);
    EXPECT_STREQ("reject", rules[0].strAction);
    EXPECT_EQ(10, rules[1].nNumber);
    EXPECT_FALSE(rules[1].bOutput);
    COutputProfiles profiles = ReadOutputProfiles(m_path.c_str());
    EXPECT_TRUE(profiles.base.bPaste);
    EXPECT_FALSE(profiles.For(L"a.exe").bPaste);
    EXPECT_TRUE(profiles.For(L"b.exe").bPaste);   // an unknown method keeps the one before
    EXPECT_EQ(2000, profiles.base.nPasteRestoreDelay);
    EXPECT_EQ(2000, profiles.For(L"a.exe").nPasteRestoreDelay);   // beyond 10000 ms
    EXPECT_EQ(0, profiles.For(L"b.exe").nPasteRestoreDelay);
}

// What the organisation sets comes before the local file, key by key: the
// policy, then the shared file; the shared file's rules come first, apart.
TEST_F(OutputSettings, PolicyThenSharedFileThenLocalFile)
{
    std::string strShared = m_path + ".shared";
    FILE* f = fopen(strShared.c_str(), "wb");
    fputs("[OUTPUT]\nPrefix=S\nKeyDelay=9\n[OUTPUT:b.exe]\nSuffix=|b\n[RULE1]\nMatch=GS1\n[TYPE]\nDM=0\n", f);
    fclose(f);
    Read("[OUTPUT]\nPrefix=L\nSuffix=|l\nKeyDelay=1\nRepeatWindow=5\n[OUTPUT:a.exe]\nPrefix=A\n"
         "[OUTPUT:B.EXE]\nPrefix=B\nSuffix=|local\nRepeatWindow=7\n[RULE1]\nMatch=x\nOutput=L\n[TYPE]\nQR=0\nBarcode=0\n");
    CPolicy policy;
    policy.Set("keydelay", "30", false);
    policy.Set("Barcode", "1", true);
    policy.Set("Suffix", "{TAB}", true);
    CSettingsSource settings(m_path.c_str(), policy, strShared.c_str());

    COutputProfiles profiles = ReadOutputProfiles(settings);
    EXPECT_EQ(L"S", profiles.base.strPrefix);      // shared over local
    EXPECT_EQ(30, profiles.base.nKeyDelay);        // policy over both
    EXPECT_EQ(5, profiles.base.nRepeatWindow);     // the local file's own
    EXPECT_EQ(L"\t", profiles.base.strSuffix);
    ASSERT_EQ(2u, profiles.programs.size());       // the shared sections first
    EXPECT_EQ(L"b.exe", profiles.programs[0].first);
    EXPECT_EQ(7, profiles.For(L"b.exe").nRepeatWindow);  // a key only the local section has
    EXPECT_EQ(L"S", profiles.For(L"b.exe").strPrefix);   // the organisation's [OUTPUT] over the user's
    EXPECT_EQ(L"\t", profiles.For(L"b.exe").strSuffix);  // the policy holds for every program
    EXPECT_EQ(L"S", profiles.For(L"a.exe").strPrefix);   // with no shared section of its own
    EXPECT_EQ(0, ReadTypeFlag("QR", settings));
    EXPECT_EQ(0, ReadTypeFlag("DM", settings));
    EXPECT_EQ(1, ReadTypeFlag("Barcode", settings));
    EXPECT_EQ(1, ReadTypeFlag("PDF417", settings));

    const struct { const char* pszSection; const char* pszKey; SettingOrigin origin; } origins[] = {
        { "OUTPUT", "KeyDelay", ORIGIN_POLICY }, { "OUTPUT:a.exe", "Suffix", ORIGIN_POLICY },
        { "OUTPUT", "Prefix", ORIGIN_SHARED }, { "OUTPUT", "RepeatWindow", ORIGIN_FILE },
        { "OUTPUT", "Notices", ORIGIN_NONE }, { "UI", "KeyDelay", ORIGIN_NONE },
        { "OUTPUT:B.exe", "Prefix", ORIGIN_SHARED }, { "OUTPUT:b.exe", "RepeatWindow", ORIGIN_FILE },
    };
    for (const auto& o : origins)
        EXPECT_EQ(o.origin, settings.Origin(o.pszSection, o.pszKey)) << o.pszSection << " " << o.pszKey;

    // Not merged by number: the shared rule first, counted from 101.
    std::vector<CRuleSetting> rules = ReadRuleSettings(settings);
    ASSERT_EQ(2u, rules.size());
    EXPECT_EQ(kSharedRuleOffset + 1, rules[0].nNumber);
    EXPECT_STREQ("GS1", rules[0].strMatch);
    EXPECT_FALSE(rules[0].bOutput);   // no key of the local RULE1
    EXPECT_EQ(1, rules[1].nNumber);
    EXPECT_STREQ("L", rules[1].strOutput);

    // The window's lists are the local file's own.
    ASSERT_EQ(2u, ReadProgramSettings(m_path.c_str()).size());
    EXPECT_STREQ("|local", ReadProgramSettings(m_path.c_str())[1].values[1]);
    DeleteFileA(strShared.c_str());
}

// Mode of [SOUND], in any case, and of the program sections; the policy
// Sounds stands for it in every section.
TEST_F(OutputSettings, SoundModeForEachProgramUnderThePolicy)
{
    EXPECT_EQ(SOUND_MODE_WINDOWS, ReadSoundModes(CSettingsSource(m_path.c_str())).base);   // no file
    Read("[SOUND]\nMode=Always\n[SOUND:a.exe]\nMode=off\n[SOUND:B.exe]\nMode=loud\n[sound:c.exe]\nMode=windows\n");
    CSoundModes modes = ReadSoundModes(CSettingsSource(m_path.c_str()));
    const struct { const wchar_t* pszProgram; SoundMode mode; } cases[] = {
        { L"", SOUND_MODE_ALWAYS }, { L"A.EXE", SOUND_MODE_OFF },
        { L"b.exe", SOUND_MODE_ALWAYS },   // a bad value keeps SOUND's
        { L"c.exe", SOUND_MODE_WINDOWS },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.mode, modes.For(c.pszProgram)) << c.pszProgram;
    Read("[SOUND]\nMode=\n");
    EXPECT_EQ(SOUND_MODE_WINDOWS, ReadSoundModes(CSettingsSource(m_path.c_str())).base);

    Read("[SOUND]\nMode=always\n[SOUND:a.exe]\nMode=always\n[OUTPUT]\nMode=x\n");
    CPolicy policy;
    policy.Set("Sounds", "off", true);
    CSettingsSource settings(m_path.c_str(), policy, "");
    EXPECT_EQ(SOUND_MODE_OFF, ReadSoundModes(settings).base);
    EXPECT_EQ(SOUND_MODE_OFF, ReadSoundModes(settings).For(L"a.exe"));
    EXPECT_EQ(ORIGIN_POLICY, settings.Origin("SOUND:a.exe", "Mode"));
    EXPECT_EQ(ORIGIN_FILE, settings.Origin("OUTPUT", "Mode"));
    EXPECT_EQ(ORIGIN_NONE, settings.Origin("SOUND", "Sounds"));
}

TEST(Policy, TheMachineWinsAndTheLogNamesEveryValue)
{
    CPolicy policy;
    policy.Set("Suffix", "<M", true);
    policy.Set("SUFFIX", "<U", false);
    policy.Set("Prefix", "<U", false);
    policy.Set("Prefix", "<M", true);
    policy.Set("DecodeTime", "9000", true);
    policy.Set("Sufix", "x", false);
    CString strValue;
    ASSERT_TRUE(policy.Value("suffix", strValue));
    EXPECT_STREQ("<M", strValue);
    ASSERT_TRUE(policy.ValueFor("OUTPUT", "Prefix", strValue));
    EXPECT_STREQ("<M", strValue);
    EXPECT_FALSE(policy.ValueFor("OUTPUTS", "Prefix", strValue));
    EXPECT_FALSE(policy.ValueFor("TYPE", "Prefix", strValue));
    EXPECT_FALSE(policy.ValueFor("OUTPUT", "DecodeTime", strValue));
    EXPECT_STREQ("Suffix=<M (HKLM); Prefix=<M (HKLM); DecodeTime=9000 (HKLM); "
                 "Sufix=x (HKCU, no policy of Norza: left alone)", policy.Describe());
    int nMs = 0;
    EXPECT_TRUE(ReadDecodeTime(CSettingsSource("", policy, ""), "no_such_file.ini", &nMs));
    EXPECT_EQ(5000, nMs);
}

// A share's path may hold characters the code page lacks: the policy's
// path is read, and the file opened, whole.
TEST(Policy, ASharedPathIsReadAndOpenedWhole)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::wstring strDir = AfxWiden(szTemp) + L"norza-\x4e2d\x6587";
    const std::wstring strPath = strDir + L"\\norza.ini";
    CreateDirectoryW(strDir.c_str(), NULL);
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    DWORD nWritten = 0;
    WriteFile(hFile, "[OUTPUT]\r\n", 10, &nWritten, NULL);
    CloseHandle(hFile);
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"" POLICY_KEY, 0, NULL, 0, KEY_SET_VALUE, NULL,
                                             &hKey, NULL));
    RegSetValueExW(hKey, L"" POLICY_SHARED_FILE, 0, REG_SZ, reinterpret_cast<const BYTE*>(strPath.c_str()),
                   (DWORD)(strPath.size() + 1) * sizeof(wchar_t));
    CPolicy policy;
    policy.Load();
    RegDeleteValueW(hKey, L"" POLICY_SHARED_FILE);
    RegCloseKey(hKey);
    std::wstring strNamed;
    EXPECT_TRUE(policy.WideValue(POLICY_SHARED_FILE, strNamed));
    EXPECT_EQ(strPath, strNamed);
    std::string strBytes;
    EXPECT_EQ(0u, ReadSharedFile(strNamed.c_str(), strBytes));
    EXPECT_EQ("[OUTPUT]\r\n", strBytes);
    DeleteFileW(strPath.c_str());
    RemoveDirectoryW(strDir.c_str());
}

// The copy names its file, whatever the code page lacks, and the SHA-256
// it was made of, which a pin must match; its first lines alone tell.
TEST_F(OutputSettings, TheSharedCopyNamesItsFileAndItsHash)
{
    const wchar_t* pszShared = L"\\\\server\\\x4e2d\\norza.ini";
    const std::string strSha256 = Sha256Hex("abc");
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", strSha256);
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Sha256Hex(""));
    EXPECT_EQ(strSha256, NormalSha256("BA:78 16BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
    // Behind the byte-order mark, which must stay first.
    for (const std::string& bom : { std::string(), std::string("\xEF\xBB\xBF"), std::string("\xFF\xFE") }) {
        const std::string body = "[RULE1]\r\nMatch=GS1\r\n";
        const std::string strBodySha = Sha256Hex(bom + body);
        std::string copy = SharedCopyText(pszShared, bom + body, strBodySha);
        EXPECT_EQ(bom, copy.substr(0, bom.size()));
        EXPECT_EQ(body, copy.substr(copy.size() - body.size()));
        Read(copy);
        std::string strSeen;
        EXPECT_TRUE(IsSharedCopyOf(m_path.c_str(), pszShared, &strSeen));
        EXPECT_EQ(strBodySha, strSeen);
        EXPECT_FALSE(IsSharedCopyOf(m_path.c_str(), L"\\\\server\\?\\norza.ini"));
        // A body changed or grown under its good header is no copy.
        for (const std::string& changed : { copy.substr(0, copy.size() - 3) + "X\r\n", copy + "Prefix=X\r\n" }) {
            Read(changed);
            EXPECT_FALSE(IsSharedCopyOf(m_path.c_str(), pszShared)) << changed;
        }
    }
    Read("[RULE1]\r\nMatch=GS1\r\n");   // no copy: a file of the user's own
    EXPECT_FALSE(IsSharedCopyOf(m_path.c_str(), pszShared));
    // The copy is read as the file: the lines naming it are comments.
    const std::string strBody = "[OUTPUT]\r\nPrefix=S\r\n", strBodySha = Sha256Hex(strBody);
    Read(SharedCopyText(L"\\\\s\\n.ini", strBody, strBodySha));
    EXPECT_EQ(L"S", ReadOutputOptions(m_path.c_str()).strPrefix);
    // In force only for the file named, and the content pinned when one is.
    const struct { const char* pszFile; const char* pszPin; bool bInForce; } cases[] = {
        { "\\\\s\\n.ini", NULL, true }, { "\\\\s\\other.ini", NULL, false },
        { "\\\\s\\n.ini", strBodySha.c_str(), true }, { "\\\\s\\n.ini", strSha256.c_str(), false },
        { "", NULL, false },
    };
    for (const auto& c : cases) {
        CPolicy policy;
        policy.Set(POLICY_SHARED_FILE, c.pszFile, true);
        if (c.pszPin)
            policy.Set(POLICY_SHARED_PIN, c.pszPin, true);
        EXPECT_EQ(c.bInForce, SharedCopyInForce(policy, m_path.c_str())) << c.pszFile << " " << c.pszPin;
    }
}

// Over the bound the file is refused, however it grew since its size was
// looked at: never read past it.
TEST_F(OutputSettings, ASharedFileOverTheBoundIsNotRead)
{
    for (DWORD nSize : { kMaxSharedBytes, kMaxSharedBytes + 1 }) {
        Read(std::string(nSize, ';'));
        std::wstring strPath = AfxWiden(m_path.c_str());
        CSharedStamp stamp;
        ASSERT_EQ(0u, StampSharedFile(strPath.c_str(), &stamp));
        EXPECT_EQ(nSize > kMaxSharedBytes, stamp.TooLarge());
        std::string strBytes;
        EXPECT_EQ(nSize > kMaxSharedBytes ? (DWORD)ERROR_FILE_TOO_LARGE : 0u, ReadSharedFile(strPath.c_str(), strBytes));
        EXPECT_EQ(nSize > kMaxSharedBytes ? 0u : nSize, strBytes.size());
    }
}

// The settings window's writer: values change in place, everything else in
// the files stays byte for byte.
TEST(IniWriter, ChangesValuesAndKeepsTheRest)
{
    // A comment in GBK, odd spacing, an unknown key and section.
    const std::string sample =
        "; \xC9\xE8\xD6\xC3 settings\r\n\r\n[TYPE]\r\n; QR code\r\nQR = 1 \r\nqr=1\r\nDM=1\r\n"
        "Custom=7\r\n\r\n[OUTPUT]\r\n;Prefix=SN:\r\nKeyDelay=30\r\nGS={TAB}\r\n;Notices=0\r\n\r\n"
        "[OTHER]\r\nQR=5\r\n";
    struct Case {
        const char* name;
        std::string text;
        std::vector<CIniChange> changes;
        std::string expected;
        UINT nCodePage = CP_ACP;
    };
    const Case cases[] = {
        { "set, add to a section, add a section", sample,
          { { "TYPE", "qr", "0", false }, { "OUTPUT", "Suffix", "{TAB}", false },
            { "UI", "Language", "en", false } },
          "; \xC9\xE8\xD6\xC3 settings\r\n\r\n[TYPE]\r\n; QR code\r\nQR = 0\r\nqr=1\r\nDM=1\r\n"
          "Custom=7\r\n\r\n[OUTPUT]\r\n;Prefix=SN:\r\nKeyDelay=30\r\nGS={TAB}\r\nSuffix={TAB}\r\n"
          ";Notices=0\r\n\r\n[OTHER]\r\nQR=5\r\n\r\n[UI]\r\nLanguage=en\r\n" },
        { "remove, and nothing to remove or change", sample,
          { { "output", "GS", "", true }, { "OUTPUT", "RS", "", true }, { "UI", "Language", "", true },
            { "OUTPUT", "KeyDelay", "30", false } },
          "; \xC9\xE8\xD6\xC3 settings\r\n\r\n[TYPE]\r\n; QR code\r\nQR = 1 \r\nqr=1\r\nDM=1\r\n"
          "Custom=7\r\n\r\n[OUTPUT]\r\n;Prefix=SN:\r\nKeyDelay=30\r\n;Notices=0\r\n\r\n"
          "[OTHER]\r\nQR=5\r\n" },
        { "line feeds, no last line break", "[TYPE]\nQR=1\n[UI]", { { "UI", "Language", "zh", false },
          { "TYPE", "Enter", "0", false } }, "[TYPE]\nQR=1\nEnter=0\n[UI]\nLanguage=zh\n" },
        { "no keys yet: below the name, not by a later example",
          "[OUTPUT]\n; what follows\n;Suffix=\n\n; for one program\n;Suffix={ENTER}\n\n[UI]\n",
          { { "OUTPUT", "Suffix", "{TAB}", false } },
          "[OUTPUT]\n; what follows\n;Suffix=\nSuffix={TAB}\n\n; for one program\n;Suffix={ENTER}\n\n[UI]\n" },
        { "empty text", "", { { "OUTPUT", "Suffix", "", false } }, "[OUTPUT]\r\nSuffix=\r\n" },
        { "a section goes, every one of its name, not the comment on the next",
          "[RULE1]\r\n; lots\r\nMatch=a\r\nX=1\r\n\r\n; the next\r\n[RULE2]\r\nMatch=b\r\n[rule1]\r\nMatch=c\r\n",
          { { "RULE1", NULL, "", true } }, "; the next\r\n[RULE2]\r\nMatch=b\r\n" },
        { "names swap in one step, keys follow the new names",
          "[RULE1]\r\nMatch=a\r\n\r\n[ RULE2 ] ; two\r\nMatch=b\r\n",
          { { "RULE1", NULL, "RULE2", false }, { "RULE2", NULL, "RULE1", false }, { "RULE1", "Action", "reject", false } },
          "[RULE2]\r\nMatch=a\r\n\r\n[RULE1] ; two\r\nMatch=b\r\nAction=reject\r\n" },
        { "the last section without a line break, and one that is not there", "[A]\nx=1\n[B]\ny=2",
          { { "B", NULL, "", true }, { "C", NULL, "", true } }, "[A]\nx=1\n" },
        { "behind a UTF-8 mark: found, and stored in UTF-8",
          "\xEF\xBB\xBF[TYPE]\r\nQR=1\r\n[OUTPUT:\xE7\xBC\x96.exe]\r\nGS=\r\n",
          { { "TYPE", "QR", "0", false }, { "OUTPUT:\xB1\xE0.exe", "Prefix", "\xBA\xC5", false } },
          "\xEF\xBB\xBF[TYPE]\r\nQR=0\r\n[OUTPUT:\xE7\xBC\x96.exe]\r\nGS=\r\nPrefix=\xE5\x8F\xB7\r\n", 936 },
        { "a name holding a second byte 0x5D runs to its last ]",
          "[OUTPUT:\x81\x5D.exe]\r\nGS=\r\n[OUTPUT:a]b]\r\nRS=\r\n",
          { { "OUTPUT:\x81\x5D.exe", NULL, "OUTPUT:x.exe", false }, { "OUTPUT:a]b", NULL, "", true },
            { "OUTPUT:x.exe", "EOT", "", false } },
          "[OUTPUT:x.exe]\r\nGS=\r\nEOT=\r\n", 936 },
        { "names compare by character: a second byte is no letter",
          "[OUTPUT:\x81\x41]\r\nGS=\r\n", { { "OUTPUT:\x81\x61", NULL, "", true } },
          "[OUTPUT:\x81\x41]\r\nGS=\r\n", 936 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ChangeIniText(c.text, c.changes, c.nCodePage)) << c.name;
}

class SettingsFiles : public TempFileTest {
protected:
    SettingsFiles() : TempFileTest("norza_writer_test_", ".ini") {}

    void Write(const std::string& path, const std::string& content)
    {
        FILE* f = fopen(path.c_str(), "wb");
        fwrite(content.data(), 1, content.size(), f);
        fclose(f);
    }
    std::string Read(const std::string& path)
    {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(path.c_str(), bytes));
        return bytes;
    }
};

// What is written reads back, through the program's own readers, as what
// the window had: blanks, quotes and escapes included.
TEST_F(SettingsFiles, WrittenValuesReadBackAsTyped)
{
    const struct { const wchar_t* typed; const wchar_t* typedOut; } values[] = {
        { L" A", L" A" }, { L"B ", L"B " }, { L"\"q\"", L"\"q\"" }, { L"'x'", L"'x'" },
        { L"a=b;c", L"a=b;c" }, { L"{TAB}{{x}}", L"\t{x}" }, { L"\x7F16\x53F7:", L"\x7F16\x53F7:" },
        { L"caf\xE9 \x20AC", L"caf\xE9 \x20AC" }, { L"\xD83D\xDE00", L"\xD83D\xDE00" }, { L"\x0101", L"\x0101" },
    };
    for (const auto& v : values) {
        std::string value = EncodeSettingValue(v.typed);
        for (const char* mark : { "", "\xEF\xBB\xBF" }) {
            Write(m_path, ChangeIniText(std::string(mark) + "[OUTPUT]\r\nPrefix=old\r\n",
                                        { { "OUTPUT", "Prefix", value, false } }));
            EXPECT_EQ(v.typedOut, ReadOutputOptions(m_path.c_str()).strPrefix) << value << mark;
            CString stored;   // as the window shows it, again
            EXPECT_TRUE(ReadSettingValue("OUTPUT", "Prefix", m_path.c_str(), stored));
            EXPECT_EQ(value, (LPCSTR)stored) << mark;
        }
    }
    for (const char* text : { "300\r\n; hold-off\r\n", "  750ms", "", "abc\n", "-7", "\xEF\xBB\xBF" "300" }) {
        Write(m_path, ChangeDecodeTimeText(text, 150));
        int nMs = 0;
        EXPECT_TRUE(ReadDecodeTime(m_path.c_str(), &nMs));
        EXPECT_EQ(150, nMs) << text;
    }
    EXPECT_EQ("150\r\n; hold-off\r\n", ChangeDecodeTimeText("300\r\n; hold-off\r\n", 150));
    EXPECT_EQ("  150ms", ChangeDecodeTimeText("  750ms", 150));
    EXPECT_EQ("150\nabc\n", ChangeDecodeTimeText("abc\n", 150));
}

TEST(IniWriter, OnlyWhatTheCodePageLacksIsEscaped)
{
    struct Case { const wchar_t* typed; UINT nCodePage; std::string expected; };
    const Case cases[] = {
        { L"SN:{TAB}}}", 1252, "SN:{TAB}}}" },
        { L"\x7F16\x53F7", 1252, "{U+7F16}{U+53F7}" },
        { L"\x7F16\x53F7", 936, "\xB1\xE0\xBA\xC5" },
        { L"caf\xE9 \x20AC", 1252, "caf\xE9 \x80" },
        { L"\x0101", 1252, "{U+0101}" },   // not the look-alike "a"
        { L"\xD83D\xDE00", 936, "{U+1F600}" },
        { L"a\tb", 65001, "a{U+0009}b" },
        { L"\x7F16", 65001, "\xE7\xBC\x96" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, EncodeSettingValue(c.typed, c.nCodePage)) << c.nCodePage;
}

// Both files or neither: a failure at any step leaves both files as they
// were, or, past the last replacement, both new; a crash at any step leaves
// each file whole, old or new. The writer's scratch files are its own: a
// user's files of any name stay, and what a crash left goes at the next
// write.
TEST_F(SettingsFiles, BothFilesOrNeitherAndWholeAtEveryStep)
{
    std::string second = m_dir + "norza_writer_test_decode.ini";
    const std::string oldFirst = "[TYPE]\r\nQR=1\r\n", newFirst = "[TYPE]\r\nQR=0\r\n";
    std::vector<CFileContent> files = { { m_path.c_str(), newFirst }, { second.c_str(), "150\r\n" } };
    const std::string users[] = { m_path + ".bak", m_path + ".new", second + ".bak", m_path + ".~nz1234.tmp" };
    for (const std::string& user : users)
        Write(user, "mine");
    auto strays = [&]() {
        std::vector<std::string> found;
        for (const std::string& path : { m_path, second }) {
            WIN32_FIND_DATAA data;
            HANDLE h = FindFirstFileA((path + "*").c_str(), &data);
            for (BOOL b = h != INVALID_HANDLE_VALUE; b; b = FindNextFileA(h, &data)) {
                std::string name = m_dir + data.cFileName;
                if (name != path && std::find(std::begin(users), std::end(users), name) == std::end(users))
                    found.push_back(data.cFileName);
            }
            FindClose(h);
        }
        return found;
    };
    auto reset = [&]() {
        Write(m_path, oldFirst);
        Write(second, "300\r\n");
    };

    int nSteps = 0;
    for (;; ++nSteps) {
        reset();
        CWriteFault crash = { nSteps, 0, true };
        size_t nFailed = 9;
        if (WriteFilesTogether(files, &nFailed, &crash) != ERROR_REQUEST_ABORTED)
            break;
        std::string first = Read(m_path), decode = Read(second);
        EXPECT_TRUE(first == oldFirst || first == newFirst) << nSteps << ": " << first;
        EXPECT_TRUE(decode == "300\r\n" || decode == "150\r\n") << nSteps << ": " << decode;
        EXPECT_EQ(0u, WriteFilesTogether(files, &nFailed)) << nSteps;   // the next save
        EXPECT_EQ(std::vector<std::string>(), strays()) << "after a crash at " << nSteps;
    }
    EXPECT_GE(nSteps, 6);   // each file written, copied aside and replaced

    for (int nStep = 0; nStep < nSteps; ++nStep) {
        reset();
        CWriteFault fault = { nStep, ERROR_DISK_FULL, false };
        size_t nFailed = 9;
        DWORD dwError = WriteFilesTogether(files, &nFailed, &fault);
        bool bOld = dwError != 0;
        EXPECT_TRUE(dwError == 0 || (dwError == ERROR_DISK_FULL && nFailed <= 1)) << nStep << ": " << dwError;
        EXPECT_EQ(bOld ? oldFirst : newFirst, Read(m_path)) << nStep;
        EXPECT_EQ(bOld ? "300\r\n" : "150\r\n", Read(second)) << nStep;
        if (bOld) {
            EXPECT_EQ(std::vector<std::string>(), strays()) << "after a failure at " << nStep;
        }
        EXPECT_EQ(0u, WriteFilesTogether(files, &nFailed));
        EXPECT_EQ(std::vector<std::string>(), strays()) << "after the save that followed " << nStep;
    }

    reset();
    SetFileAttributesA(second.c_str(), FILE_ATTRIBUTE_READONLY);
    size_t nFailed = 9;
    EXPECT_NE(0u, WriteFilesTogether(files, &nFailed));
    EXPECT_EQ(1u, nFailed);
    EXPECT_EQ(oldFirst, Read(m_path));
    SetFileAttributesA(second.c_str(), FILE_ATTRIBUTE_NORMAL);

    DeleteFileA(second.c_str());   // a file that does not exist yet is made
    EXPECT_EQ(0u, WriteFilesTogether(files, &nFailed));
    EXPECT_EQ("150\r\n", Read(second));
    for (const std::string& user : users) {
        EXPECT_EQ("mine", Read(user)) << user;
        DeleteFileA(user.c_str());
    }
    EXPECT_EQ(std::vector<std::string>(), strays());
    DeleteFileA(second.c_str());
}
