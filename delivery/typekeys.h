// Key mode: typing an ASCII text into another program's focused control as
// key presses, on that program's keyboard layout and keyboard state.
#pragma once

#include <windows.h>

#include "guard.h"
#include "keystrokes.h"

// The keyboard layout of a thread, looked up live, each character once.
class CThreadLayout : public CKeyLayout {
public:
    explicit CThreadLayout(HKL hkl);
    HKL Hkl() const { return m_hkl; }
    SHORT KeyScan(unsigned char ch) const override;
    WORD ScanCode(BYTE bVk) const override;
    bool IsDeadKey(unsigned char ch, SHORT nKeyScan) const override;

private:
    HKL m_hkl;
    mutable SHORT m_anKeyScan[128];
    mutable signed char m_anDead[128];   // -1 not yet known
    mutable WORD m_awScan[256];
};

// The keyboard state the typing will meet, read while this thread shares the
// input state of the target's thread (attached to it): Caps Lock from that
// state, the modifiers held from the keyboard, the user's Caps Lock setting.
// Wine clears the target's key state on each attachment, so it is read in
// the first one.
KeyboardSnapshot TakeKeyboardSnapshot();

// True when the user's keyboard settings say Shift turns Caps Lock off
// (HKCU\Keyboard Layout, value Attributes).
bool ReadShiftLockSetting();

// Switches a target's input method to direct input for the typing (closes it)
// and puts its open status and conversion mode back afterwards. Talks to the
// target's default input-method window with WM_IME_CONTROL.
class CImeSwitch {
public:
    CImeSwitch() : m_hIme(NULL), m_bSwitched(false), m_dwConversion(0) {}
    // False when the input method is open and stays open.
    bool Begin(HWND hIme);
    void End();
    bool Switched() const { return m_bSwitched; }

private:
    bool Control(WPARAM wCommand, LPARAM lValue, DWORD_PTR* pResult) const;

    HWND m_hIme;
    bool m_bSwitched;
    DWORD_PTR m_dwConversion;
};

typedef UINT(WINAPI* PFN_SENDINPUT)(UINT cInputs, LPINPUT pInputs, int cbSize);

// Sends a plan: in batches of whole characters when there is no delay (one
// batch unless the text is very long), else character by character with the
// delay between. The guard is asked before every batch and around every
// pause, and counts what went. A typing the guard stops, whose events are
// not all taken, or whose target window hTarget (if given) goes away, stops
// at a character boundary and still sends the events that put the keyboard
// state back.
TypingResult SendPlan(const KeyPlan& plan, int nKeyDelay, CTypingGuard& guard, HWND hTarget = NULL,
                      PFN_SENDINPUT pfnSend = SendInput);

// Types the text, Shift+Enter after it when asked, into hFocus from the
// keyboard state given, nKeyDelay ms between characters.
TypingResult TypeKeys(HWND hFocus, const std::wstring& text, bool bShiftEnter, int nKeyDelay,
                      KeyboardSnapshot state, CTypingGuard& guard);
