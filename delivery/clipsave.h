// Saving the user's clipboard before a paste. Fetching a format another
// program offers on request makes that program render it there and then,
// and a program that is busy or hung may never answer; the fetching thread
// would hold the clipboard, and this process's clipboard lock, until it did.
// So the formats are fetched by a saver process, which can be ended at any
// moment: a program that pastes serves as its own saver, started again with
// a switch, and hands the copies over through a pipe.
#pragma once

#include <windows.h>

#include <vector>

// The user's clipboard, copied format by format in its order: memory
// formats and pictures. Private formats, those only for display and those
// the system makes again from others (a bitmap from its DIB, a palette) are
// left out.
class CSavedClipboard {
public:
    CSavedClipboard() {}
    ~CSavedClipboard() { Clear(); }
    CSavedClipboard(CSavedClipboard&& other) : m_formats(std::move(other.m_formats)) {}
    CSavedClipboard& operator=(CSavedClipboard&& other);

    // Adds a format from cb bytes as the saver sends them, in memory the copy
    // takes over; left out when they do not make one.
    void Add(UINT nFormat, HGLOBAL hBytes, DWORD cb);
    // Hands the copies to the open, emptied clipboard; empty afterwards.
    void Restore();
    void Clear();
    bool Empty() const { return m_formats.empty(); }
    size_t Count() const { return m_formats.size(); }

private:
    CSavedClipboard(const CSavedClipboard&) = delete;
    CSavedClipboard& operator=(const CSavedClipboard&) = delete;

    struct Format {
        UINT nFormat;
        HANDLE hData;
    };
    std::vector<Format> m_formats;
};

// A movable copy of the bytes, or NULL.
HGLOBAL GlobalCopy(const void* pData, SIZE_T cb);

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
