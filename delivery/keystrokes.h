// Planning the key events that type a text, the way a keyboard would, on the
// target's keyboard layout and from the keyboard state the user left it in.
// Pure: the layout and the state come in as plain inputs, so every case can
// be planned against a recorded layout without a desktop.
#pragma once

#include <windows.h>

#include <vector>

// True when the text needs character messages: any byte above 0x7F.
bool NeedsCharacterMode(const char* pszText);

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
};

// How a text is typed around and paced.
struct TypeOptions {
    LPCSTR pszPrefix;   // typed before the text; NULL or "" for none
    LPCSTR pszSuffix;   // typed after it; NULL or "" leaves bShiftEnter to decide
    bool bShiftEnter;   // Shift+Enter after the text when there is no suffix
    int nKeyDelay;      // ms between characters; 0 sends everything at once
};

// The planned events, ready for SendInput, and where each typed character
// ends, so that a pause can go between characters and nowhere else.
struct KeyPlan {
    std::vector<INPUT> inputs;
    std::vector<size_t> breaks;   // index just past each character's events
};

// Plans the key events that type prefix, text and suffix into the target.
// Tab is the Tab key; CR, LF and CR LF are one Enter key. Every other
// character is its key on the layout with the modifiers the layout needs
// (Shift, AltGr as Ctrl+Alt), unless the key is a dead key, needs another
// combination, or does not exist: then it goes as Unicode input. Control
// bytes are never keys: Unicode input, but backspace and DEL are dropped.
// Caps Lock on is turned off around the typing and on again; held modifiers
// are released first and pressed again last, a lone Alt or Win release
// masked by a Ctrl tap. All in one plan, every key event with its scan code.
KeyPlan PlanKeys(LPCSTR pszText, const TypeOptions& options, const CKeyLayout& layout,
                 const KeyboardSnapshot& state);
