// The timers: one keeps the tray icon showing the enabled symbologies,
// another watches for the scanner going away and coming back; the decode's
// own (the hold-off, the wait for the user's window) go to its steps.
#include "ScanWedgeDlg.h"

#include "resource.h"
#include "status.h"
#include "vistrel.h"

namespace {

// A call into the engine, which may deliver a decode before it returns.
template <typename F>
int InEngine(CDecodeFlow& flow, F fnCall)
{
    CEngineCall call(flow);
    return fnCall();
}

}  // namespace

void CScanWedgeDlg::OnTimer(UINT_PTR nIDEvent)
{
    switch (nIDEvent) {
    case DECODE_TIMER_HOLDOFF:
    case DECODE_TIMER_RETYPE:
    case DECODE_TIMER_WATCHDOG:
        m_flow.OnTimer((DecodeTimer)nIDEvent);
        return;
    }
    m_flow.Look();
    if (nIDEvent == TIMER_CUE) {
        OnCueOver();
        return;
    }
    if (nIDEvent == TIMER_FORWARD) {
        OnForwardTick();
        return;
    }
    if (nIDEvent == TIMER_WAITING) {
        ExpireWaitingCodes();
        return;
    }
    if (nIDEvent == TIMER_SHOWN) {
        ::KillTimer(m_hWnd, TIMER_SHOWN);
        ReleaseWaitingCode();
        return;
    }
    if (!m_bIconAdded)
        AddTrayIcon();
    RememberUserWindow();
    if (nIDEvent == TIMER_STATUS)
        ShowStatusIcon();
    else if (nIDEvent == TIMER_DEVICE && !m_bPollsAsked) {
        WatchDevice();
        CheckOrganisationSettings();
    }
    CDialog::OnTimer(nIDEvent);
}

// Shown once a cue is over, when one is.
void CScanWedgeDlg::SetTrayIcon(int nIconId)
{
    m_nShownIconId = nIconId;
    if (m_nCueIconId)
        return;
    m_nid.hIcon = LoadTrayIcon(AfxGetInstanceHandle(), nIconId);
    Shell_NotifyIconA(NIM_MODIFY, &m_nid);
}

void CScanWedgeDlg::ShowStatusIcon()
{
    if (m_nDeviceState == 0)
        return;
    m_nTrayIconId = ChooseStatusIcon(m_flow.IsOn(SYM_QR), m_flow.IsOn(SYM_DM), m_flow.IsOn(SYM_BARCODE),
                                    m_flow.IsOn(SYM_PDF417));
    SetTrayIcon(m_nTrayIconId);
}

void CScanWedgeDlg::WatchDevice()
{
    if (InEngine(m_flow, GetDevice) == -1) {
        SetTrayIcon(IDI_NO_DEVICE);
        if (m_nDeviceState != 0) {
            m_nDeviceState = 0;
            InEngine(m_flow, ReleaseLostDevice);
            ShowNotice(NOTICE_DEVICE, NOTICE_DEVICE_LOST);
        }
    } else if (!m_bStarted) {
        // The start at launch failed; only a real success completes it.
        if (InEngine(m_flow, StartDevice) == 1) {
            m_nDeviceState = 1;
            CompleteStart();
            ShowNotice(NOTICE_DEVICE, NOTICE_DEVICE_BACK);
        }
    } else if (m_nDeviceState == 0) {
        m_nDeviceState = InEngine(m_flow, StartDevice);
        Sleep(100);
        InEngine(m_flow, [] { return SetBeep(1); });
        if (m_nDeviceState != 0)
            ShowNotice(NOTICE_DEVICE, NOTICE_DEVICE_BACK);
    }
}
