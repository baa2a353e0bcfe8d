// What the clipboard saver (NorzaClip.exe, a program of its own) and the
// program that pastes say to each other over the pipe the saver inherits as
// its standard input and output. All words are DWORDs.
//   request:  expected sequence number (0: any), index of the first format
//   answer:   SAVER_OPEN, LOCKED or CHANGED; the sequence number; the count
//             of formats; then from the first format on, each announced
//             before it is fetched (index, format) so that the program that
//             pastes knows which one hangs, then its size (kSaverLeftOut:
//             nothing to copy; kSaverNotCopied: data there, but it could
//             not be copied) and bytes; last, the sequence number as it was
//             left.
#pragma once

#include <windows.h>

const DWORD kSaverLeftOut = 0xFFFFFFFF;
const DWORD kSaverNotCopied = 0xFFFFFFFE;

enum SaverAnswer { SAVER_OPEN, SAVER_LOCKED, SAVER_CHANGED };

// How a format's data is copied: memory as it is, pictures as their bits.
enum DataKind { DATA_NONE, DATA_GLOBAL, DATA_ENHMETAFILE, DATA_METAFILEPICT };

inline DataKind KindOf(UINT nFormat)
{
    switch (nFormat) {
    case CF_ENHMETAFILE:
        return DATA_ENHMETAFILE;
    case CF_METAFILEPICT:
        return DATA_METAFILEPICT;
    case CF_BITMAP:         // made again from the DIB
    case CF_PALETTE:
    case CF_OWNERDISPLAY:   // drawn by its owner, no data at all
    case CF_DSPTEXT:        // shown by viewers only
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
        return DATA_NONE;
    }
    // Private and GDI object formats hold handles only their owner knows.
    return nFormat >= CF_PRIVATEFIRST && nFormat <= CF_GDIOBJLAST ? DATA_NONE : DATA_GLOBAL;
}

// A metafile picture travels as its mapping mode and extents, then the bits.
struct MetafileHead {
    LONG mm, xExt, yExt;
};
