// Planning the key events that type a text, the way a keyboard would, on the
// target's keyboard layout and from the keyboard state the user left it in.
// Pure: the layout and the state come in as plain inputs, so every case can
// be planned against a recorded layout without a desktop.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "typedtext.h"

// True when the text needs character messages: any character outside ASCII
// (key combinations and pauses aside).
bool NeedsCharacterMode(const std::wstring& text);

// How a typing ended.
enum TypingResult {
    TYPING_DONE,          // every character was handed over
    TYPING_FAILED,        // the target went away or refused input
    TYPING_CANCELLED,     // stopped on request; the keyboard state was put back
    TYPING_FRONT_CHANGED, // another window came to the front: stopped there, the
                          // keyboard state put back
    TYPING_NOT_TAKEN,     // pasted text the target did not take; the clipboard holds it
    TYPING_CLIPBOARD_NOT_BACK,  // pasted, but the user's clipboard is not back yet
    TYPING_CLIPBOARD_NOT_SAVED  // not pasted: the user's clipboard could not be saved whole
};

// What the planner asks of a keyboard layout.
class CKeyLayout {
public:
    virtual ~CKeyLayout() {}
    // VkKeyScanEx of the character: virtual key in the low byte, shift state
    // in the high byte (1 Shift, 2 Ctrl, 4 Alt), -1 when no key makes it.
    virtual SHORT KeyScan(unsigned char ch) const = 0;
    // The key's scan code (MapVirtualKeyEx, virtual key to scan code).
    virtual WORD ScanCode(BYTE bVk) const = 0;
    // True when the key found for the character is a dead key, or would not
    // type the character on its own.
    virtual bool IsDeadKey(unsigned char ch, SHORT nKeyScan) const = 0;
};

// The modifier keys the planner releases and presses again, by side.
enum {
    HELD_LWIN = 1 << 0, HELD_RWIN = 1 << 1,
    HELD_LALT = 1 << 2, HELD_RALT = 1 << 3,
    HELD_LSHIFT = 1 << 4, HELD_RSHIFT = 1 << 5,
    HELD_LCTRL = 1 << 6, HELD_RCTRL = 1 << 7,
};

// The target's keyboard as the typing finds it.
struct KeyboardSnapshot {
    bool bCapsLock;   // toggled on
    UINT nHeld;       // HELD_* bits of the modifier keys down
    bool bImeOpen;    // the target's input method is open (composing)
    bool bShiftLock;  // the user's setting "press Shift to turn off Caps Lock"
};

// The planned events, ready for SendInput, and where each typed character
// ends, so that a pause can go between characters and nowhere else.
struct KeyPlan {
    std::vector<INPUT> inputs;
    std::vector<size_t> breaks;   // index just past each character's events
    size_t nTail;                 // where the events that put the keyboard back begin
    std::vector<DWORD> pauses;    // for each break, ms to wait after it ({DELAY n})
    std::vector<size_t> typed;    // for each break, the text's characters and keys
                                  // (CountTyped) typed once it is through
};

// Plans the key events that type the text into the target, Shift+Enter
// after it when asked. Tab is the Tab key; CR, LF and CR LF are one Enter
// key. Every other ASCII character is its key on the layout with the
// modifiers the layout needs (Shift, AltGr as Ctrl+Alt), unless the key is a
// dead key, needs another combination, or does not exist: then it goes as
// Unicode input, as does every character outside ASCII. Control bytes are
// never keys: Unicode input, but backspace and DEL are dropped.
// Caps Lock on is turned off around the typing and on again (by Shift where
// the user's setting says Shift turns it off, and then after any plan that
// presses Shift, whatever for: Shift+Enter, {SHIFT+TAB}, a capital letter);
// held modifiers are released
// first and pressed again last, a lone Alt or Win release masked by a Ctrl
// tap. Key combinations press their modifiers around the key; a pause
// waits after the character before it. All in one plan, every key event
// with its scan code.
KeyPlan PlanKeys(const std::wstring& text, bool bShiftEnter, const CKeyLayout& layout,
                 const KeyboardSnapshot& state);

// Plans Ctrl and the key bVk (a letter's virtual key) as one shortcut, the
// held modifiers released around it as for a text. Caps Lock changes no
// shortcut and is left alone, unless a held Shift pressed again would turn
// it off.
KeyPlan PlanShortcut(BYTE bVk, const CKeyLayout& layout, const KeyboardSnapshot& state);
