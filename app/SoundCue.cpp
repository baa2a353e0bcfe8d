// What the user hears and sees when a decode ends: its sound, and on the
// tray icon a moment of the outcome's own icon. A code not typed always
// shows; with the system's ShowSounds on, every sound also does.
#include "ScanWedgeDlg.h"

#include "logfile.h"
#include "resource.h"
#include "status.h"
#include "uitext.h"
#include "utf8.h"

namespace {

// Long enough to be caught from the corner of an eye.
const UINT kCueTime = 2000;

int CueIconId(SoundEvent event)
{
    switch (event) {
    case SOUND_TYPED: return IDI_CUE_TYPED;
    case SOUND_DUPLICATE: return IDI_CUE_DUPLICATE;
    default: return IDI_CUE_NOT_TYPED;
    }
}

bool ShowSoundsOn()
{
    BOOL bShow = FALSE;
    return SystemParametersInfoA(SPI_GETSHOWSOUNDS, 0, &bShow, 0) && bShow;
}

}  // namespace

void CScanWedgeDlg::RegisterSounds()
{
    CSoundLabels labels;
    labels.strApp = UiText(IDS_NOTICE_TITLE);
    const UINT ids[SOUND_EVENTS] = { IDS_SOUND_TYPED, IDS_SOUND_NOT_TYPED, IDS_SOUND_DUPLICATE };
    for (int i = 0; i < SOUND_EVENTS; ++i)
        labels.events[i] = UiText(ids[i]);
    if (!RegisterSoundEvents(m_sounds.Folder(), labels))
        LogWrite("Sound", "the sound events could not all be registered for this user");
}

bool CScanWedgeDlg::SoundOutcome(NoticeCause cause, const std::wstring& strProgram)
{
    SoundEvent event = NoticeSoundEvent(cause);
    if (event == SOUND_NONE)
        return false;
    bool bHeard = m_sounds.Play(event, m_soundModes.For(strProgram), GetTickCount());
    for (const std::wstring& strFile : m_sounds.TakeProblems())
        LogWrite("Sound", "%s cannot be played: it is missing or no WAV file", (LPCSTR)WideToAnsi(strFile));
    bool bSeen = bHeard && ShowSoundsOn();
    if (event == SOUND_NOT_TYPED || bSeen)
        ShowCue(CueIconId(event));
    return bSeen;
}

void CScanWedgeDlg::ShowCue(int nIconId)
{
    m_nCueIconId = nIconId;
    m_nid.hIcon = LoadTrayIcon(AfxGetInstanceHandle(), nIconId);
    Shell_NotifyIconA(NIM_MODIFY, &m_nid);
    if (!m_hWnd || !SetTimer(TIMER_CUE, kCueTime, NULL))
        OnCueOver();
}

void CScanWedgeDlg::OnCueOver()
{
    if (m_hWnd)
        ::KillTimer(m_hWnd, TIMER_CUE);
    m_nCueIconId = 0;
    SetTrayIcon(m_nShownIconId);
}
