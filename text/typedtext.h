// What a typing takes: characters, '\t' for the Tab key, '\r' for the Enter
// key, and key combinations and pauses in-band, each as a marker followed by
// one argument unit. The markers are Unicode noncharacters, kept for a
// program's own use: no decode brings them in, since shaping leaves them out.
#pragma once

#include <windows.h>

#include <string>

const wchar_t kKeyMarker = 0xFDD0;     // then (modifiers << 8) | virtual key
const wchar_t kPauseMarker = 0xFDD1;   // then the pause in ms

// Modifiers of a key combination, as VkKeyScan gives them.
enum { KEYMOD_SHIFT = 1, KEYMOD_CTRL = 2, KEYMOD_ALT = 4 };

const DWORD kMaxPause = 2000;

inline bool IsNoncharacter(wchar_t ch)
{
    return ch >= 0xFDD0 && ch <= 0xFDEF;
}

inline void AppendKey(std::wstring& str, BYTE bVk, BYTE bMods)
{
    str += kKeyMarker;
    str += (wchar_t)(bMods << 8 | bVk);
}

inline void AppendPause(std::wstring& str, DWORD dwMs)
{
    str += kPauseMarker;
    str += (wchar_t)(dwMs < kMaxPause ? dwMs : kMaxPause);
}

// True when the text holds a key combination: only key input keeps such keys
// in order with the characters around them.
inline bool HasKeyCombination(const std::wstring& str)
{
    for (size_t i = 0; i + 1 < str.size(); ++i) {
        if (str[i] == kKeyMarker)
            return true;
        if (str[i] == kPauseMarker)
            ++i;
    }
    return false;
}
