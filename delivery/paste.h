// Paste mode: handing a text to the target through the clipboard and Ctrl+V,
// for targets that drop or reorder fast keys and for long texts, which go in
// at once. The clipboard stays the user's: what they had copied is saved
// before and comes back once the target is done with the text, and only
// then.
#pragma once

#include <windows.h>

#include <string>

#include "keystrokes.h"

// One job's pastes: the user's clipboard is saved before the first and put
// back after the last, however many runs of text the job pastes with keys
// between them.
//
// Each run is offered on the clipboard as Unicode, on request (delayed
// rendering), marked so that clipboard history and cloud clipboard leave it
// out; then Ctrl+V goes to the target, planned like every other key. Who
// gets the text: once every event of the Ctrl+V went, a request while the
// text is on the clipboard is the target's paste unless a window of another
// process makes it; before the Ctrl+V only the target's program gets it.
// The user's content goes back once the target has asked for the text,
// closed the clipboard and come back from its paste, plus nRestoreDelay ms;
// unless another program changed the clipboard meanwhile, which is then left
// as that program left it. It never goes back into a Ctrl+V the target has
// not handled yet: a job stopped after its Ctrl+V, or whose Ctrl+V went only
// in part, waits for the target up to 3 s of it answering, and as long as it
// hangs.
//
// Paste results: TYPING_NOT_TAKEN: the target did not ask for the text in
// time; the text stays for the target alone until someone copies, the
// target pastes it after all, or 30 s pass. TYPING_FAILED: the clipboard
// stayed locked, the offer could not be made within 3 s (an owner that does
// not let go; withdrawn), or the target went away before the Ctrl+V, and
// the user's content is as it was. TYPING_CLIPBOARD_NOT_SAVED: some of the
// user's content could not be saved whole (clipsave.h), so the clipboard
// was not taken and nothing pasted. hCancel stops every wait. Runs on a thread of its own: it owns a
// window. The Ctrl+V goes only while hFront (if given) is the foreground
// window. End: TYPING_CLIPBOARD_NOT_BACK when the clipboard could not be
// opened to put the user's content back; that is tried again every second.
class CPasteJob {
public:
    CPasteJob(HANDLE hCancel, int nRestoreDelay);
    ~CPasteJob() { End(); }

    TypingResult Paste(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys,
                       HWND hFront = NULL);
    TypingResult End();

private:
    CPasteJob(const CPasteJob&) = delete;
    CPasteJob& operator=(const CPasteJob&) = delete;

    HANDLE m_hCancel;
    int m_nRestoreDelay;
    bool m_bOffered;   // something was offered: the job's end owes the put-back
};

// A job of one run.
TypingResult PasteText(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys,
                       HANDLE hCancel, int nRestoreDelay, HWND hFront = NULL);

// Puts the user's content back if a paste left the text on the clipboard,
// waiting for the target as a job's end does, and ends the saver; false
// when the content could not go back. The program's end does this by itself.
bool GiveClipboardBack();
