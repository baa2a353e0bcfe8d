// Character mode: typing text outside ASCII by posting it to the focused
// control as character messages: characters of the ANSI code page as its
// bytes (WM_CHAR through the ANSI side), the others as UTF-16 WM_CHAR, and
// Tab and Enter as the key messages a key would produce.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "guard.h"
#include "keystrokes.h"

// One step of typing: bytes posted as WM_CHAR, UTF-16 units posted as
// WM_CHAR to the Unicode side of the window, a key posted as WM_KEYDOWN and
// WM_KEYUP, the Enter suffix (a lone WM_KEYDOWN), or a pause.
struct CharStep {
    enum Kind { kChars, kUnicode, kKey, kEnterSuffix, kPause } kind;
    std::string strBytes;    // kChars, in the code page nCodePage
    std::wstring strWide;    // kUnicode
    BYTE bVk;                // kKey
    DWORD dwMs;              // kPause
    UINT nCodePage;          // kChars
};

// The steps that type the text ('\t' the Tab key, '\r' the Enter key), then
// Enter when asked; pauses where the text has them (key combinations need
// key input and are not planned here). A character goes as bytes when the code page holds it
// and its characters fit WM_CHAR (one or two bytes), else as UTF-16.
std::vector<CharStep> PlanCharacterMode(const std::wstring& text, bool bEnter,
                                        UINT nCodePage = CP_ACP);

typedef BOOL (WINAPI* PFN_POSTMESSAGE)(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Types the steps into hFocus; a Tab that the control leaves to its form
// (which moves the focus on) sends what follows to the next field, and
// stops the typing as failed when the focus has not moved a second later.
// Every post is checked: while the target's queue is full (Windows refuses
// a post beyond 10,000 waiting) the post is tried again until the target
// has taken enough to make room, for at most five seconds without
// progress. Fails when the window goes away or takes nothing for that long;
// the guard is asked before every character and around every pause, and
// counts the characters posted. The post functions can be replaced to play
// against a recorded target.
TypingResult PlayCharacterMode(HWND hFocus, const std::vector<CharStep>& steps, int nKeyDelay,
                               CTypingGuard& guard, PFN_POSTMESSAGE pfnPostA = PostMessageA,
                               PFN_POSTMESSAGE pfnPostW = PostMessageW);
