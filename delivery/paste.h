// Paste mode: handing a text to the target through the clipboard and Ctrl+V,
// for targets that drop or reorder fast keys and for long texts, which go in
// at once. The clipboard stays the user's: what they had copied is saved
// before and comes back once the target is done with the text, and only
// then.
#pragma once

#include <windows.h>

#include <string>

#include "keystrokes.h"

// Pastes the text into the focused control of the target. The user's
// clipboard is saved (clipsave.h) and the text offered in its place as
// Unicode, on request (delayed rendering), marked so that clipboard history
// and cloud clipboard leave it out; then Ctrl+V goes to the target, planned
// like every other key. Only the target's own request counts as its paste:
// another program that asks meanwhile (a clipboard monitor) gets nothing.
// The user's content goes back once the target has taken the Ctrl+V, asked
// for the text, closed the clipboard and come back from its paste, plus
// nRestoreDelay ms; unless another program changed the clipboard meanwhile,
// which is then left as that program left it.
//
// TYPING_NOT_TAKEN: the target did not take the Ctrl+V or ask for the text
// in time; the text stays on the clipboard until someone copies, the target
// pastes it after all, or 30 s pass, and the user's content comes back then.
// TYPING_CLIPBOARD_NOT_BACK: pasted, but the clipboard could not be opened
// to put the user's content back; that is tried again every second.
// TYPING_FAILED: the clipboard stayed locked, or the target went away
// before the Ctrl+V, and nothing changed. hCancel stops every wait. Runs on
// a thread of its own: it owns a window. The Ctrl+V goes only while hFront
// (if given) is the foreground window.
TypingResult PasteText(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys,
                       HANDLE hCancel, int nRestoreDelay, HWND hFront = NULL);

// Puts the user's content back now if a paste left the text on the
// clipboard, and ends the saver. The program's end does this by itself.
void GiveClipboardBack();
