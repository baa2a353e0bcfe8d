#include <windows.h>
#include <gtest/gtest.h>
#include <mmsystem.h>
#include <shlwapi.h>

#include <set>
#include <string>
#include <vector>

#include "notice.h"
#include "sound.h"

namespace {

struct CPlayed {
    std::wstring strSound;
    DWORD dwFlags;
};

class CRecorder : public CSoundOutput {
public:
    bool Play(LPCWSTR pszSound, DWORD dwFlags) override
    {
        played.push_back({ pszSound, dwFlags });
        return true;
    }
    std::vector<CPlayed> played;
};

std::wstring Text(const std::wstring& strKey)
{
    WCHAR szValue[MAX_PATH] = {};
    DWORD cb = sizeof(szValue) - sizeof(WCHAR);
    if (SHGetValueW(HKEY_CURRENT_USER, strKey.c_str(), NULL, NULL, szValue, &cb) != ERROR_SUCCESS)
        return L"<missing>";
    return szValue;
}

void SetText(const std::wstring& strKey, const std::wstring& strValue)
{
    SHSetValueW(HKEY_CURRENT_USER, strKey.c_str(), NULL, REG_SZ, strValue.c_str(),
                (DWORD)((strValue.size() + 1) * sizeof(WCHAR)));
}

std::wstring EventKey(SoundEvent event, LPCWSTR pszSub)
{
    return std::wstring(SOUND_APP_KEY L"\\") + SoundAlias(event) + L"\\" + pszSub;
}

// The program's events in the test user's registry, its sounds in a folder
// of their own: one WAV file, one that is not, one missing.
class SoundEvents : public ::testing::Test {
protected:
    void SetUp() override
    {
        WCHAR szTemp[MAX_PATH];
        GetTempPathW(MAX_PATH, szTemp);
        m_strFolder = std::wstring(szTemp) + L"norza_sound_test";
        CreateDirectoryW(m_strFolder.c_str(), NULL);
        Write(SOUND_NOT_TYPED, "RIFF\x24\0\0\0WAVEfmt ");
        Write(SOUND_DUPLICATE, "MZ not a sound file");
        DeleteFileW(Path(SOUND_TYPED).c_str());
        HKEY hKey = NULL;
        m_bNames = RegOpenKeyExW(HKEY_CURRENT_USER, L"AppEvents\\Schemes\\Names", 0, KEY_READ, &hKey) ==
                   ERROR_SUCCESS;
        if (hKey)
            RegCloseKey(hKey);
        m_strScheme = Text(L"AppEvents\\Schemes");
        Clean();
    }

    void TearDown() override
    {
        Clean();
        if (!m_bNames)
            SHDeleteKeyW(HKEY_CURRENT_USER, L"AppEvents\\Schemes\\Names");
        if (m_strScheme == L"<missing>")
            SHDeleteValueW(HKEY_CURRENT_USER, L"AppEvents\\Schemes", L"");
        else
            SetText(L"AppEvents\\Schemes", m_strScheme);
        for (int i = 0; i < SOUND_EVENTS; ++i)
            DeleteFileW(Path((SoundEvent)i).c_str());
        RemoveDirectoryW(m_strFolder.c_str());
    }

    void Clean()
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, SOUND_APP_KEY);
        for (int i = 0; i < SOUND_EVENTS; ++i)
            SHDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(SOUND_LABELS_KEY L"\\") + SoundAlias((SoundEvent)i)).c_str());
    }

    std::wstring Path(SoundEvent event) { return m_strFolder + L"\\" + SoundFileName(event); }

    void Write(SoundEvent event, const char* pszBytes)
    {
        HANDLE h = CreateFileW(Path(event).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD n = 0;
        WriteFile(h, pszBytes, 20, &n, NULL);
        CloseHandle(h);
    }

    bool Register()
    {
        CSoundLabels labels;
        labels.strApp = L"Norza";
        const LPCWSTR pszLabels[SOUND_EVENTS] = { L"Code typed", L"\x672A\x8F93\x5165", L"Scanned before" };
        for (int i = 0; i < SOUND_EVENTS; ++i)
            labels.events[i] = pszLabels[i];
        return RegisterSoundEvents(m_strFolder, labels);
    }

    std::wstring m_strFolder;
    bool m_bNames;
    std::wstring m_strScheme;
};

TEST_F(SoundEvents, RegisteredWithLabelsAndTheirDefaultsKeepingTheUsersChoices)
{
    SetText(L"AppEvents\\Schemes\\Names\\.None", L"No sounds");
    SetText(L"AppEvents\\Schemes\\Names\\Loud", L"Loud");
    ASSERT_TRUE(Register());
    EXPECT_EQ(L"Norza", Text(SOUND_APP_KEY));
    EXPECT_EQ(L"\x672A\x8F93\x5165", Text(std::wstring(SOUND_LABELS_KEY L"\\") + SoundAlias(SOUND_NOT_TYPED)));
    // A new install sounds only when something went wrong.
    EXPECT_EQ(L"", Text(EventKey(SOUND_TYPED, L".Current")));
    EXPECT_EQ(L"", Text(EventKey(SOUND_TYPED, L".Default")));
    for (SoundEvent event : { SOUND_NOT_TYPED, SOUND_DUPLICATE }) {
        for (LPCWSTR pszKey : { L".Default", L".Current", L"Loud" })
            EXPECT_EQ(Path(event), Text(EventKey(event, pszKey))) << pszKey;
        EXPECT_EQ(L"", Text(EventKey(event, L".None")));   // "No sounds" silences them
    }

    // The user's choices stay at the next start; one naming a sound of ours
    // that is gone (the program moved) is put right.
    SetText(EventKey(SOUND_TYPED, L".Current"), L"C:\\chime.wav");
    SetText(EventKey(SOUND_NOT_TYPED, L".Current"), L"");
    SetText(EventKey(SOUND_DUPLICATE, L".Current"), L"C:\\gone\\duplicate.wav");
    SetText(EventKey(SOUND_DUPLICATE, L"Loud"), L"C:\\gone\\DUPLICATE.WAV");
    ASSERT_TRUE(Register());
    EXPECT_EQ(L"C:\\chime.wav", Text(EventKey(SOUND_TYPED, L".Current")));
    EXPECT_EQ(L"", Text(EventKey(SOUND_NOT_TYPED, L".Current")));
    EXPECT_EQ(Path(SOUND_DUPLICATE), Text(EventKey(SOUND_DUPLICATE, L".Current")));
    EXPECT_EQ(Path(SOUND_DUPLICATE), Text(EventKey(SOUND_DUPLICATE, L"Loud")));

    // Under "No sounds" a new event stays silent.
    Clean();
    SetText(L"AppEvents\\Schemes", L".None");
    ASSERT_TRUE(Register());
    EXPECT_EQ(L"", Text(EventKey(SOUND_NOT_TYPED, L".Current")));
    EXPECT_EQ(Path(SOUND_NOT_TYPED), Text(EventKey(SOUND_NOT_TYPED, L".Default")));
}

TEST_F(SoundEvents, EachModePlaysItsWayAndABadFileIsToldOnce)
{
    ASSERT_TRUE(Register());
    CRecorder recorder;
    CSoundPlayer player(&recorder);
    player.SetFolder(m_strFolder);
    const DWORD dwAsync = SND_ASYNC | SND_NODEFAULT;
    DWORD dwNow = 10000;

    // The scheme's event by its alias; the typed one is silent in it.
    EXPECT_TRUE(player.Play(SOUND_NOT_TYPED, SOUND_MODE_WINDOWS, dwNow += 1000));
    EXPECT_FALSE(player.Play(SOUND_TYPED, SOUND_MODE_WINDOWS, dwNow += 1000));
    EXPECT_FALSE(player.Play(SOUND_NOT_TYPED, SOUND_MODE_OFF, dwNow += 1000));
    // Our own files, whatever the scheme has.
    SetText(EventKey(SOUND_NOT_TYPED, L".Current"), L"");
    EXPECT_TRUE(player.Play(SOUND_NOT_TYPED, SOUND_MODE_ALWAYS, dwNow += 1000));
    EXPECT_FALSE(player.Play(SOUND_NOT_TYPED, SOUND_MODE_WINDOWS, dwNow += 1000));
    ASSERT_EQ(2u, recorder.played.size());
    EXPECT_EQ(L"NorzaNotTyped", recorder.played[0].strSound);
    EXPECT_EQ(dwAsync | SND_ALIAS | SND_APPLICATION, recorder.played[0].dwFlags);
    EXPECT_EQ(Path(SOUND_NOT_TYPED), recorder.played[1].strSound);
    EXPECT_EQ(dwAsync | SND_FILENAME, recorder.played[1].dwFlags);

    // A file that is no WAV file or is missing plays nothing, and is told once.
    EXPECT_TRUE(player.TakeProblems().empty());
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(player.Play(SOUND_DUPLICATE, SOUND_MODE_WINDOWS, dwNow += 1000));
        EXPECT_FALSE(player.Play(SOUND_DUPLICATE, SOUND_MODE_ALWAYS, dwNow += 1000));
        EXPECT_FALSE(player.Play(SOUND_TYPED, SOUND_MODE_ALWAYS, dwNow += 1000));
    }
    EXPECT_EQ(std::vector<std::wstring>({ Path(SOUND_DUPLICATE), Path(SOUND_TYPED) }), player.TakeProblems());
    EXPECT_TRUE(player.TakeProblems().empty());
    EXPECT_EQ(2u, recorder.played.size());
}

// Decodes at speed: sounds do not pile up, and a warning is never cut off by
// a lesser sound, only by one as important once the gap is over.
TEST_F(SoundEvents, SoundsCloseTogetherAreThinnedOut)
{
    ASSERT_TRUE(Register());
    Write(SOUND_TYPED, "RIFF\x24\0\0\0WAVEfmt ");
    Write(SOUND_DUPLICATE, "RIFF\x24\0\0\0WAVEfmt ");
    CRecorder recorder;
    CSoundPlayer player(&recorder);
    player.SetFolder(m_strFolder);
    const struct { SoundEvent event; DWORD dwAt; bool bPlays; } steps[] = {
        { SOUND_TYPED, 1000, true }, { SOUND_TYPED, 1100, false }, { SOUND_TYPED, 1200, false },
        { SOUND_TYPED, 1300, true }, { SOUND_NOT_TYPED, 1350, true }, { SOUND_TYPED, 1450, false },
        { SOUND_DUPLICATE, 1550, false }, { SOUND_NOT_TYPED, 1600, false }, { SOUND_DUPLICATE, 1650, true },
        { SOUND_NOT_TYPED, 1700, true },
    };
    for (const auto& step : steps)
        EXPECT_EQ(step.bPlays, player.Play(step.event, SOUND_MODE_ALWAYS, step.dwAt)) << step.dwAt;
    // The user's test button is heard at once.
    EXPECT_TRUE(player.Play(SOUND_TYPED, SOUND_MODE_ALWAYS, 1710, true));
    EXPECT_EQ(6u, recorder.played.size());
}

// A decode's end plays the sound of its outcome (as the history records it),
// whatever the cause; a notice that ends no decode plays none.
TEST_F(SoundEvents, EachCausePlaysASoundOfItsKind)
{
    ASSERT_TRUE(Register());
    Write(SOUND_TYPED, "RIFF\x24\0\0\0WAVEfmt ");
    Write(SOUND_DUPLICATE, "RIFF\x24\0\0\0WAVEfmt ");
    std::set<int> decodeEnds = { NOTICE_REJECTED, NOTICE_QUEUE_FULL, NOTICE_DUPLICATE, NOTICE_TARGET_WAITS,
                                 NOTICE_TARGET_REFUSED, NOTICE_TARGET_EXPIRED, NOTICE_TARGET_ELEVATED,
                                 NOTICE_TARGET_EXIT };
    for (int status = TARGET_OK; status <= TARGET_ELEVATED; ++status)
        for (int result = TYPING_DONE; result <= TYPING_CLIPBOARD_NOT_SAVED; ++result)
            decodeEnds.insert(TypingNoticeCause((TargetStatus)status, (TypingResult)result));
    CRecorder recorder;
    CSoundPlayer player(&recorder);
    player.SetFolder(m_strFolder);
    DWORD dwNow = 10000;
    for (int i = 0; i < NOTICE_CAUSES; ++i) {
        NoticeCause cause = (NoticeCause)i;
        recorder.played.clear();
        player.Play(NoticeSoundEvent(cause), SOUND_MODE_ALWAYS, dwNow += 1000);
        std::wstring strExpected;
        if (decodeEnds.count(cause))
            strExpected = Path(CountsAsTyped(cause)            ? SOUND_TYPED
                               : cause == NOTICE_DUPLICATE ? SOUND_DUPLICATE
                                                           : SOUND_NOT_TYPED);
        EXPECT_EQ(strExpected, recorder.played.empty() ? L"" : recorder.played[0].strSound) << cause;
    }
}

}  // namespace
