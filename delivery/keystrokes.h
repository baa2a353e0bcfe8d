// Typing text as key presses, the way a keyboard would.
#pragma once

#include <windows.h>

#include <vector>

struct KeyStroke {
    BYTE bVk;       // virtual key, or 0 for a character typed as Unicode input
    WCHAR wch;      // the character, for Unicode input
    bool bUp;
};

typedef DWORD (WINAPI* PFN_OEMKEYSCAN)(WORD wOemChar);
typedef UINT (WINAPI* PFN_MAPVIRTUALKEY)(UINT uCode, UINT uMapType);

// True when the text needs character messages: any byte above 0x7F.
bool NeedsCharacterMode(const char* pszText);

// The key presses that type an ASCII text on the current keyboard layout,
// with Shift+Enter after it when asked. Each character's key is pressed with
// the modifiers the layout needs for it (Shift, Ctrl, Alt; AltGr is
// Ctrl+Alt). Tab and line breaks (CR, LF, CR LF) are the Tab and Enter keys;
// a character with no key on the layout goes as Unicode input. The layout
// functions can be replaced to plan for a recorded layout.
std::vector<KeyStroke> PlanKeyStrokes(const char* pszText, bool bAppendEnter,
                                      PFN_OEMKEYSCAN pfnScan = OemKeyScan,
                                      PFN_MAPVIRTUALKEY pfnMap = MapVirtualKeyA);

// Sends the planned presses into the system's input queue.
void PlayKeyStrokes(const std::vector<KeyStroke>& strokes);
