// Character mode: typing text in the ANSI code page by posting each byte to
// the focused control as WM_CHAR, with the characters the code page lacks
// posted as UTF-16 characters in their place.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "keystrokes.h"
#include "utf8.h"

// One step of typing: bytes posted as WM_CHAR, a key posted as WM_KEYDOWN,
// or UTF-16 units posted as WM_CHAR to the Unicode side of the window.
struct CharStep {
    enum Kind { kChars, kKey, kUnicode } kind;
    std::string strBytes;    // kChars
    BYTE bVk;                // kKey
    std::wstring strWide;    // kUnicode
};

// The steps that type the text (the lost runs replacing their bytes) with the
// prefix, suffix and Enter around it.
std::vector<CharStep> PlanCharacterMode(const char* pszText, const std::vector<UnicodeRun>& lost,
                                        const TypeOptions& options);

typedef BOOL (WINAPI* PFN_POSTMESSAGE)(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Types the steps into hFocus. Every post is checked: while the target's
// queue is full (Windows refuses a post beyond 10,000 waiting) the post is
// tried again until the target has taken enough to make room, for at most
// five seconds without progress. False when typing stopped: the window went
// away or took nothing for that long. The post functions can be replaced to
// play against a recorded target.
bool PlayCharacterMode(HWND hFocus, const std::vector<CharStep>& steps, int nKeyDelay,
                       PFN_POSTMESSAGE pfnPostA = PostMessageA,
                       PFN_POSTMESSAGE pfnPostW = PostMessageW);
