#include "typekeys.h"

#include <imm.h>
#include <string.h>

#include <memory>

namespace {

// WM_IME_CONTROL commands (ime.h, which MinGW lacks).
const WPARAM IMC_GETCONVERSIONMODE = 0x0001, IMC_SETCONVERSIONMODE = 0x0002,
             IMC_GETOPENSTATUS = 0x0005, IMC_SETOPENSTATUS = 0x0006;

// A very long text goes in batches of whole characters; AutoHotkey caps one
// batch at about 5,000 characters.
const size_t kMaxBatch = 16384;

const DWORD kImeTimeout = 200;        // ms a hung target may hold up a message
const DWORD kTakeTimeout = 2000;      // ms to wait for the target to take the keys

const struct {
    UINT nBit;
    int nVk;
} kModifierKeys[] = {
    { HELD_LWIN, VK_LWIN }, { HELD_RWIN, VK_RWIN }, { HELD_LALT, VK_LMENU },
    { HELD_RALT, VK_RMENU }, { HELD_LSHIFT, VK_LSHIFT }, { HELD_RSHIFT, VK_RSHIFT },
    { HELD_LCTRL, VK_LCONTROL }, { HELD_RCTRL, VK_RCONTROL },
};

bool IsAlphanumeric(unsigned char ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// The last key the plan presses exactly once, whose toggle bit turns when the
// target has taken it; 0 when there is none. Modifiers are left out: the
// system keeps their state for the left, right and either key together.
BYTE KeyPressedOnce(const KeyPlan& plan)
{
    int anPresses[256] = {};
    for (const INPUT& input : plan.inputs) {
        if (input.ki.wVk && !(input.ki.dwFlags & KEYEVENTF_KEYUP))
            ++anPresses[(BYTE)input.ki.wVk];
    }
    for (size_t i = plan.inputs.size(); i-- > 0;) {
        BYTE bVk = (BYTE)plan.inputs[i].ki.wVk;
        bool bModifier = (bVk >= VK_SHIFT && bVk <= VK_MENU) || (bVk >= VK_LSHIFT && bVk <= VK_RMENU) ||
                         bVk == VK_LWIN || bVk == VK_RWIN;
        if (anPresses[bVk] == 1 && !bModifier)
            return bVk;
    }
    return 0;
}

// This thread shares the target's input state for the typing. Joining
// resets that state (Windows and Wine alike), which would take a Shift from
// a letter the target has not yet taken: the join comes before any key goes,
// and ends once the target has taken the last key pressed only once (the
// Enter, mostly), so the next code's join does not land among this code's
// keys.
class CInputJoin {
public:
    explicit CInputJoin(DWORD dwTargetThread)
        : m_dwThisThread(GetCurrentThreadId()), m_dwTargetThread(dwTargetThread)
    {
        MSG msg;   // a thread joins only once it has a message queue
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
        m_bJoined = AttachThreadInput(m_dwThisThread, dwTargetThread, TRUE) != FALSE;
    }
    ~CInputJoin()
    {
        if (m_bJoined)
            AttachThreadInput(m_dwThisThread, m_dwTargetThread, FALSE);
    }
    // Waits until the target has taken the key press whose toggle bit was
    // nToggleBefore before it went.
    void WaitForKeyTaken(BYTE bVk, SHORT nToggleBefore) const
    {
        DWORD dwStart = GetTickCount();
        while (m_bJoined && bVk && (GetKeyState(bVk) & 1) == nToggleBefore &&
               GetTickCount() - dwStart < kTakeTimeout)
            Sleep(5);
    }
    SHORT Toggle(BYTE bVk) const { return m_bJoined && bVk ? GetKeyState(bVk) & 1 : 0; }

private:
    DWORD m_dwThisThread, m_dwTargetThread;
    bool m_bJoined;
};

// A layout's keys do not move while the program runs: each layout is looked
// up once, which spares every decode after the first the layout calls.
const CThreadLayout& LayoutOf(HKL hkl)
{
    static std::vector<std::unique_ptr<CThreadLayout>> s_layouts;
    for (const auto& layout : s_layouts) {
        if (layout->Hkl() == hkl)
            return *layout;
    }
    s_layouts.emplace_back(new CThreadLayout(hkl));
    return *s_layouts.back();
}

}  // namespace

CThreadLayout::CThreadLayout(HKL hkl) : m_hkl(hkl)
{
    memset(m_anDead, -1, sizeof(m_anDead));
    for (SHORT& n : m_anKeyScan)
        n = 0;
    for (WORD& w : m_awScan)
        w = 0xFFFF;
}

SHORT CThreadLayout::KeyScan(unsigned char ch) const
{
    if (ch >= 128)
        return -1;
    if (m_anKeyScan[ch] == 0)
        m_anKeyScan[ch] = VkKeyScanExA((CHAR)ch, m_hkl);
    return m_anKeyScan[ch];
}

WORD CThreadLayout::ScanCode(BYTE bVk) const
{
    if (m_awScan[bVk] == 0xFFFF)
        m_awScan[bVk] = (WORD)MapVirtualKeyExA(bVk, MAPVK_VK_TO_VSC, m_hkl);
    return m_awScan[bVk];
}

bool CThreadLayout::IsDeadKey(unsigned char ch, SHORT nKeyScan) const
{
    if (ch >= 128)
        return true;
    if (m_anDead[ch] >= 0)
        return m_anDead[ch] != 0;
    BYTE bVk = LOBYTE(nKeyScan), bShift = HIBYTE(nKeyScan);
    bool bDead = (MapVirtualKeyExA(bVk, MAPVK_VK_TO_CHAR, m_hkl) & 0x80000000) != 0;
    // Dead keys are accents and other punctuation, never letters or digits;
    // for those, ask the layout what the key really types (as KeePass does),
    // which also finds dead keys in the Shift or AltGr position.
    if (!bDead && !IsAlphanumeric(ch)) {
        BYTE abKeys[256] = {};
        if (bShift & 1)
            abKeys[VK_SHIFT] = 0x80;
        if (bShift & 2)
            abKeys[VK_CONTROL] = abKeys[VK_LCONTROL] = 0x80;
        if (bShift & 4)
            abKeys[VK_MENU] = abKeys[VK_LMENU] = 0x80;
        WCHAR awc[4];
        // Flag 4 leaves the dead-key state alone where the system knows it;
        // elsewhere the same dead key typed again clears it.
        int n = ToUnicodeEx(bVk, ScanCode(bVk), abKeys, awc, 4, 4, m_hkl);
        if (n < 0)
            ToUnicodeEx(bVk, ScanCode(bVk), abKeys, awc, 4, 4, m_hkl);
        bDead = n != 1 || awc[0] != ch;
    }
    m_anDead[ch] = bDead ? 1 : 0;
    return bDead;
}

KeyboardSnapshot TakeKeyboardSnapshot()
{
    KeyboardSnapshot state = {};
    // Caps Lock is a toggle of the target's input state; the keys held are
    // the keyboard's, which the injected keys will meet.
    state.bCapsLock = (GetKeyState(VK_CAPITAL) & 1) != 0;
    for (const auto& k : kModifierKeys) {
        if (GetAsyncKeyState(k.nVk) & 0x8000)
            state.nHeld |= k.nBit;
    }
    state.bShiftLock = ReadShiftLockSetting();
    return state;
}

bool ReadShiftLockSetting()
{
    DWORD dwAttributes = 0, cb = sizeof(dwAttributes), dwType = 0;
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Keyboard Layout", 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    LONG lResult = RegQueryValueExA(hKey, "Attributes", NULL, &dwType, (BYTE*)&dwAttributes, &cb);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS && dwType == REG_DWORD && (dwAttributes & KLF_SHIFTLOCK);
}

bool CImeSwitch::Control(WPARAM wCommand, LPARAM lValue, DWORD_PTR* pResult) const
{
    DWORD_PTR dwResult = 0;
    if (!SendMessageTimeoutA(m_hIme, WM_IME_CONTROL, wCommand, lValue, SMTO_ABORTIFHUNG,
                             kImeTimeout, &dwResult))
        return false;
    if (pResult)
        *pResult = dwResult;
    return true;
}

bool CImeSwitch::Begin(HWND hIme)
{
    m_hIme = hIme;
    DWORD_PTR dwOpen = 0;
    if (!hIme || !Control(IMC_GETOPENSTATUS, 0, &dwOpen) || !dwOpen)
        return true;
    Control(IMC_GETCONVERSIONMODE, 0, &m_dwConversion);
    m_bSwitched = Control(IMC_SETOPENSTATUS, FALSE, NULL);
    return m_bSwitched && Control(IMC_GETOPENSTATUS, 0, &dwOpen) && !dwOpen;
}

void CImeSwitch::End()
{
    if (!m_bSwitched)
        return;
    Control(IMC_SETOPENSTATUS, TRUE, NULL);
    Control(IMC_SETCONVERSIONMODE, (LPARAM)m_dwConversion, NULL);
    m_bSwitched = false;
}

TypingResult SendPlan(const KeyPlan& plan, int nKeyDelay, CTypingGuard& guard, HWND hTarget,
                      PFN_SENDINPUT pfnSend)
{
    INPUT* pInputs = const_cast<INPUT*>(plan.inputs.data());
    size_t nStart = 0, nTyped = 0;
    for (size_t i = 0; i < plan.breaks.size(); ++i) {
        size_t nEnd = plan.breaks[i];
        bool bLast = i + 1 == plan.breaks.size();
        DWORD dwPause = i < plan.pauses.size() ? plan.pauses[i] : 0;
        if (nKeyDelay <= 0 && !dwPause && !bLast && plan.breaks[i + 1] - nStart <= kMaxBatch)
            continue;
        TypingResult result = nKeyDelay > 0 && nStart > 0 ? guard.Pause(nKeyDelay) : guard.Check();
        UINT nTaken = 0;
        if (result == TYPING_DONE && hTarget && !IsWindow(hTarget))
            result = TYPING_FAILED;
        if (result == TYPING_DONE && nEnd > nStart &&
            (nTaken = pfnSend((UINT)(nEnd - nStart), pInputs + nStart, sizeof(INPUT))) != nEnd - nStart)
            result = TYPING_FAILED;
        if (result == TYPING_DONE) {
            size_t nNow = i < plan.typed.size() ? plan.typed[i] : nTyped;
            guard.Count(nNow - nTyped);
            nTyped = nNow;
            if (dwPause && (result = guard.Pause(dwPause)) != TYPING_DONE)
                nStart = nEnd;   // this batch went
        }
        if (result != TYPING_DONE) {
            // The keys the user holds and Caps Lock must not stay as the
            // typing left them; nothing to put back before anything went.
            size_t nTail = plan.nTail > nStart ? plan.nTail : nEnd;
            if ((nStart > 0 || nTaken > 0) && nTail < plan.inputs.size())
                pfnSend((UINT)(plan.inputs.size() - nTail), pInputs + nTail, sizeof(INPUT));
            return result;
        }
        nStart = nEnd;
    }
    return TYPING_DONE;
}

TypingResult TypeKeys(HWND hFocus, const std::wstring& text, bool bShiftEnter, int nKeyDelay,
                      KeyboardSnapshot state, CTypingGuard& guard)
{
    DWORD dwTargetThread = GetWindowThreadProcessId(hFocus, NULL);
    CImeSwitch ime;
    // An input method that cannot be switched off would compose the keys:
    // then the characters go as Unicode input, which input methods pass on
    // as they stand (as KeePass documents for its auto-type).
    state.bImeOpen = !ime.Begin(ImmGetDefaultIMEWnd(hFocus));

    KeyPlan plan = PlanKeys(text, bShiftEnter, LayoutOf(GetKeyboardLayout(dwTargetThread)), state);
    // Keys also go through the target's queue after any message sent to it:
    // the input method is put back once the target has taken the keys.
    CInputJoin join(dwTargetThread);
    BYTE bOnce = KeyPressedOnce(plan);
    SHORT nToggle = join.Toggle(bOnce);
    TypingResult result = SendPlan(plan, nKeyDelay, guard, hFocus);
    if (result == TYPING_DONE)
        join.WaitForKeyTaken(bOnce, nToggle);
    ime.End();
    return result;
}
