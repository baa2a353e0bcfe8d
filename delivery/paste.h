// Paste mode: handing a text to the target through the clipboard and Ctrl+V,
// for targets that drop or reorder fast keys and for long texts, which go in
// at once. The user's clipboard is saved before and put back after.
#pragma once

#include <windows.h>

#include <string>

#include "keystrokes.h"

// Pastes the text into the focused control of the target: the text goes to
// the clipboard as Unicode, offered on request (delayed rendering) and marked
// so that clipboard history and cloud clipboard leave it out; Ctrl+V goes to
// the target, planned like every other key; once the target has taken the
// text, the user's clipboard is put back unless someone copied meanwhile.
// Fails, the user's clipboard as it was, when the clipboard stays locked or
// the target does not ask for the text within two seconds. hCancel stops
// the wait for the target. Runs on a thread of its own: it owns a window.
// The Ctrl+V goes only while hFront (if given) is the foreground window.
TypingResult PasteText(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys,
                       HANDLE hCancel, HWND hFront = NULL);
