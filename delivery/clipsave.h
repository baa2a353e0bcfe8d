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
const DWORD kSaveBudget = 2000;     // ms after which formats still to come are left out

enum SaveResult {
    SAVE_DONE,        // everything that could be copied was
    SAVE_LOCKED,      // another program held the clipboard open all along
    SAVE_FAILED,      // no saver could be started
    SAVE_CANCELLED
};

// Copies the clipboard into *pSaved. A format its program does not render
// within kRenderTimeout is left out: the saver is ended and a new one goes
// on with the next format, unless kSaveBudget has passed. *pdwSeq gets the
// clipboard's sequence number as saved, for the offer to check that nothing
// changed since. hCancel (if any) ends the save at once.
SaveResult SaveClipboard(CSavedClipboard* pSaved, DWORD* pdwSeq, HANDLE hCancel);

// Ends the saver process, at the program's end.
void EndClipboardSaver();
