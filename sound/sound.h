// The sounds that tell how a decode ended: three application events the user
// can change in the Sound control panel, or the program's own WAV files
// played directly. Nothing here waits for a sound, to start or to end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings.h"

enum SoundEvent { SOUND_TYPED, SOUND_NOT_TYPED, SOUND_DUPLICATE, SOUND_EVENTS, SOUND_NONE = SOUND_EVENTS };

// The registry key of the program's events: PlaySound looks under the
// program's file name when asked with SND_APPLICATION.
#define SOUND_APP_KEY L"AppEvents\\Schemes\\Apps\\Norza"
#define SOUND_LABELS_KEY L"AppEvents\\EventLabels"

// The event's name: its registry key and the alias PlaySound takes.
LPCWSTR SoundAlias(SoundEvent event);
// The program's own sound for the event, a file next to the program.
LPCWSTR SoundFileName(SoundEvent event);

// Where a sound goes: PlaySound, on a thread of this module's own so that
// the caller never waits on it, or a recorder in the tests.
class CSoundOutput {
public:
    virtual ~CSoundOutput() {}
    virtual bool Play(LPCWSTR pszSound, DWORD dwFlags) = 0;
};

// Sounds closer together than this are not all played: a sound does not cut
// off one as important or more that started this long before.
const DWORD kSoundGap = 300;

class CSoundPlayer {
public:
    // pOutput NULL: PlaySound. The program's own sounds are looked for in
    // the program's folder until SetFolder names another.
    explicit CSoundPlayer(CSoundOutput* pOutput = NULL);
    const std::wstring& Folder() const { return m_strFolder; }
    void SetFolder(const std::wstring& strFolder) { m_strFolder = strFolder; }

    // Starts the event's sound in the mode and returns at once; true when
    // one was started. None when the mode is off, the user's scheme has no
    // sound for the event, its file is missing or no WAV file, or the gap
    // keeps it out (bTest: the user asked for it, no gap).
    bool Play(SoundEvent event, SoundMode mode, DWORD dwNow, bool bTest = false);
    // Each file that could not be played, once for the life of the player,
    // since the last call.
    std::vector<std::wstring> TakeProblems();

private:
    // The file the event would play in the mode; empty: none.
    std::wstring FileFor(SoundEvent event, SoundMode mode) const;
    bool CheckFile(const std::wstring& strPath);

    CSoundOutput* m_pOutput;
    std::wstring m_strFolder;
    bool m_bPlayed;
    DWORD m_dwLast;            // when the last sound started
    SoundEvent m_lastEvent;
    std::vector<std::wstring> m_reported;
    std::vector<std::wstring> m_problems;
};

// The texts of the events in the Sound control panel, in the user's language.
struct CSoundLabels {
    std::wstring strApp;
    std::wstring events[SOUND_EVENTS];
};

// Registers the events for the current user, their labels and the
// program's sounds in strFolder as their defaults (the typed one silent):
// .Default always, and .Current and each installed scheme's own key when
// missing or naming a sound of ours that is gone, so the user's choices
// stay. False when a key could not be written.
bool RegisterSoundEvents(const std::wstring& strFolder, const CSoundLabels& labels);
