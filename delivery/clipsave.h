// Saving the user's clipboard before a paste. Fetching a format another
// program offers on request makes that program render it there and then,
// and a program that is busy or hung may never answer; the fetching thread
// would hold the clipboard, and this process's clipboard lock, until it did.
// So the formats are fetched by a saver, NorzaClip.exe next to this program,
// which can be ended at any moment; it hands the copies over through a pipe
// it inherits (saverproto.h).
#pragma once

#include <windows.h>

#include "savedclip.h"

const DWORD kRenderTimeout = 500;   // ms a program may take to render one format
const DWORD kSaveBudget = 2500;     // ms the whole save may take, the saver's start included
const DWORD kMaxSavedBytes = 128 * 1024 * 1024;   // all formats together

enum SaveResult {
    SAVE_DONE,        // every format that holds data was copied whole
    SAVE_LOCKED,      // another program held the clipboard open all along
    SAVE_FAILED,      // no saver could be started
    SAVE_CANCELLED,
    SAVE_INCOMPLETE   // a format could not be copied whole: nothing kept
};

// Copies the clipboard into *pSaved, every format whole or none at all: a
// format its program does not render within kRenderTimeout, one too big for
// this process or beyond kMaxSavedBytes in all, one that could not be
// copied, and a save not over within kSaveBudget give SAVE_INCOMPLETE, and
// the clipboard must then not be taken. Formats that hold no data (private,
// display-only, made by the system from others) are no part of it.
// *pdwSeq gets the clipboard's sequence number as saved, for the offer to
// check that nothing changed since. hCancel (if any) ends the save at once.
SaveResult SaveClipboard(CSavedClipboard* pSaved, DWORD* pdwSeq, HANDLE hCancel);

// Ends the saver process, at the program's end.
void EndClipboardSaver();
