#include "sound.h"

#include <mmsystem.h>
#include <string.h>

#include <algorithm>

namespace {

// PlaySound waits for the sound before it to stop, and a sound that never
// reports its end keeps it waiting: it is called on a thread of its own, and
// the caller only leaves the latest request there. That thread plays each
// sound to its end itself (an asynchronous sound would start a thread of its
// own each time); a request not yet taken is replaced, never queued.
class CPlaySoundOutput : public CSoundOutput {
public:
    CPlaySoundOutput() : m_hWake(NULL), m_bPending(false), m_dwFlags(0) { InitializeCriticalSection(&m_lock); }

    bool Play(LPCWSTR pszSound, DWORD dwFlags) override
    {
        EnterCriticalSection(&m_lock);
        bool bReady = Start();
        if (bReady) {
            m_strSound = pszSound;
            m_dwFlags = dwFlags;
            m_bPending = true;
            SetEvent(m_hWake);
        }
        LeaveCriticalSection(&m_lock);
        return bReady;
    }

private:
    // The thread, at the first sound; under the lock.
    bool Start()
    {
        if (m_hWake)
            return true;
        HANDLE hWake = CreateEventW(NULL, FALSE, FALSE, NULL);
        HANDLE hThread = hWake ? CreateThread(NULL, 0, ThreadProc, this, 0, NULL) : NULL;
        if (!hThread) {
            if (hWake)
                CloseHandle(hWake);
            return false;
        }
        CloseHandle(hThread);
        m_hWake = hWake;
        return true;
    }

    static DWORD WINAPI ThreadProc(LPVOID pParam)
    {
        CPlaySoundOutput* pThis = static_cast<CPlaySoundOutput*>(pParam);
        for (;;) {
            WaitForSingleObject(pThis->m_hWake, INFINITE);
            std::wstring strSound;
            EnterCriticalSection(&pThis->m_lock);
            bool bPending = pThis->m_bPending;
            DWORD dwFlags = pThis->m_dwFlags;
            strSound.swap(pThis->m_strSound);
            pThis->m_bPending = false;
            LeaveCriticalSection(&pThis->m_lock);
            if (bPending)
                PlaySoundW(strSound.c_str(), NULL, dwFlags & ~SND_ASYNC);
        }
    }

    CRITICAL_SECTION m_lock;
    HANDLE m_hWake;
    bool m_bPending;
    std::wstring m_strSound;
    DWORD m_dwFlags;
};

CPlaySoundOutput g_playSound;

// How much a sound matters: a warning is never cut off by a lesser one.
int Rank(SoundEvent event)
{
    switch (event) {
    case SOUND_NOT_TYPED: return 2;
    case SOUND_DUPLICATE: return 1;
    default: return 0;
    }
}

// The event's sound in the user's scheme as the registry has it: a path,
// with %variables%, or a bare name of a file in the system's Media folder.
std::wstring SchemeSound(SoundEvent event)
{
    std::wstring strKey = std::wstring(SOUND_APP_KEY L"\\") + SoundAlias(event) + L"\\.Current";
    WCHAR szValue[MAX_PATH] = {};
    DWORD cb = sizeof(szValue) - sizeof(WCHAR);
    HKEY hKey = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, strKey.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return L"";
    LONG nResult = RegQueryValueExW(hKey, NULL, NULL, NULL, reinterpret_cast<BYTE*>(szValue), &cb);
    RegCloseKey(hKey);
    if (nResult != ERROR_SUCCESS || !szValue[0])
        return L"";
    WCHAR szPath[MAX_PATH];
    DWORD n = ExpandEnvironmentStringsW(szValue, szPath, MAX_PATH);
    std::wstring strPath = n && n <= MAX_PATH ? szPath : szValue;
    if (strPath.find_first_of(L"\\/:") == std::wstring::npos) {
        WCHAR szWindows[MAX_PATH] = {};
        GetWindowsDirectoryW(szWindows, MAX_PATH);
        strPath = std::wstring(szWindows) + L"\\Media\\" + strPath;
    }
    return strPath;
}

}  // namespace

LPCWSTR SoundAlias(SoundEvent event)
{
    static const LPCWSTR s_aliases[SOUND_EVENTS] = { L"NorzaTyped", L"NorzaNotTyped", L"NorzaScannedBefore" };
    return event < SOUND_EVENTS ? s_aliases[event] : L"";
}

LPCWSTR SoundFileName(SoundEvent event)
{
    static const LPCWSTR s_names[SOUND_EVENTS] = { L"typed.wav", L"not_typed.wav", L"duplicate.wav" };
    return event < SOUND_EVENTS ? s_names[event] : L"";
}

CSoundPlayer::CSoundPlayer(CSoundOutput* pOutput)
    : m_pOutput(pOutput ? pOutput : &g_playSound), m_bPlayed(false), m_dwLast(0), m_lastEvent(SOUND_NONE)
{
    WCHAR szPath[MAX_PATH] = {};
    std::wstring strPath(szPath, GetModuleFileNameW(NULL, szPath, MAX_PATH));
    size_t nSlash = strPath.find_last_of(L'\\');
    m_strFolder = strPath.substr(0, nSlash == std::wstring::npos ? 0 : nSlash);
}

std::wstring CSoundPlayer::FileFor(SoundEvent event, SoundMode mode) const
{
    if (mode == SOUND_MODE_ALWAYS)
        return m_strFolder + L"\\" + SoundFileName(event);
    return mode == SOUND_MODE_WINDOWS ? SchemeSound(event) : L"";
}

// A file PlaySound would fail on in silence, looked at each time: the user
// may put it right.
bool CSoundPlayer::CheckFile(const std::wstring& strPath)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    char header[12] = {};
    DWORD nRead = 0;
    bool bWave = hFile != INVALID_HANDLE_VALUE && ReadFile(hFile, header, sizeof(header), &nRead, NULL) &&
                 nRead == sizeof(header) && memcmp(header, "RIFF", 4) == 0 && memcmp(header + 8, "WAVE", 4) == 0;
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    if (!bWave && std::find(m_reported.begin(), m_reported.end(), strPath) == m_reported.end()) {
        m_reported.push_back(strPath);
        m_problems.push_back(strPath);
    }
    return bWave;
}

bool CSoundPlayer::Play(SoundEvent event, SoundMode mode, DWORD dwNow, bool bTest)
{
    if (event >= SOUND_EVENTS || mode == SOUND_MODE_OFF)
        return false;
    // Decodes at speed: sounds are thinned out, never queued.
    if (!bTest && m_bPlayed && dwNow - m_dwLast < kSoundGap && Rank(event) <= Rank(m_lastEvent))
        return false;
    std::wstring strFile = FileFor(event, mode);
    if (strFile.empty() || !CheckFile(strFile))
        return false;
    DWORD dwFlags = SND_ASYNC | SND_NODEFAULT;
    bool bStarted = mode == SOUND_MODE_ALWAYS
                        ? m_pOutput->Play(strFile.c_str(), dwFlags | SND_FILENAME)
                        : m_pOutput->Play(SoundAlias(event), dwFlags | SND_ALIAS | SND_APPLICATION);
    if (bStarted) {
        m_bPlayed = true;
        m_dwLast = dwNow;
        m_lastEvent = event;
    }
    return bStarted;
}

std::vector<std::wstring> CSoundPlayer::TakeProblems()
{
    std::vector<std::wstring> problems;
    problems.swap(m_problems);
    return problems;
}
