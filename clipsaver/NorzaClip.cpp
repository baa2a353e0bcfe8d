// NorzaClip.exe: copies the clipboard for the program that pastes, which
// starts it with a pipe as its standard input and output and may end it at
// any moment: fetching a format another program renders only on request can
// hang for as long as that program does. It takes no arguments, opens no
// file and loads nothing but the system's own libraries.
#include <windows.h>

#include <vector>

#include "saverproto.h"

namespace {

const DWORD kOpenTimeout = 500;   // ms to wait for a clipboard another program holds open

bool WriteAll(HANDLE hPipe, const void* p, DWORD cb)
{
    DWORD n = 0;
    return WriteFile(hPipe, p, cb, &n, NULL) && n == cb;
}

bool ReadAll(HANDLE hPipe, void* p, DWORD cb)
{
    for (DWORD nGot = 0, n = 0; nGot < cb; nGot += n) {
        if (!ReadFile(hPipe, (BYTE*)p + nGot, cb - nGot, &n, NULL) || !n)
            return false;
    }
    return true;
}

// The bits of a picture format, after nHead bytes left for its head; empty
// when there are none or too many to copy.
std::vector<BYTE> PictureBits(DataKind kind, HANDLE h, const METAFILEPICT* pPicture, size_t nHead)
{
    std::vector<BYTE> bits;
    UINT n = kind == DATA_ENHMETAFILE && h ? GetEnhMetaFileBits((HENHMETAFILE)h, 0, NULL)
           : pPicture ? GetMetaFileBitsEx(pPicture->hMF, 0, NULL) : 0;
    if (!n)
        return bits;
    try {
        bits.resize(nHead + n);
    } catch (...) {
        return std::vector<BYTE>();
    }
    UINT nGot = kind == DATA_ENHMETAFILE ? GetEnhMetaFileBits((HENHMETAFILE)h, n, bits.data() + nHead)
                                         : GetMetaFileBitsEx(pPicture->hMF, n, bits.data() + nHead);
    if (nGot != n)
        bits.clear();
    return bits;
}

// Fetches the format, which its program may render only now, and sends its
// size and bytes, kSaverLeftOut when there are none to copy, or
// kSaverNotCopied when there are but they could not be copied.
bool SendFormat(HANDLE hPipe, UINT nFormat)
{
    DataKind kind = KindOf(nFormat);
    HANDLE h = kind != DATA_NONE ? GetClipboardData(nFormat) : NULL;
    const METAFILEPICT* pPicture = kind == DATA_METAFILEPICT && h ? (const METAFILEPICT*)GlobalLock(h) : NULL;
    size_t nHead = pPicture ? sizeof(MetafileHead) : 0;
    std::vector<BYTE> bits;
    const void* p = NULL;
    DWORD cb = kSaverLeftOut;
    if (kind == DATA_GLOBAL && h && (p = GlobalLock(h)) != NULL) {
        cb = (DWORD)GlobalSize(h);
    } else if (kind == DATA_ENHMETAFILE || pPicture) {
        bits = PictureBits(kind, h, pPicture, nHead);
        if (!bits.empty()) {
            if (pPicture) {
                MetafileHead head = { pPicture->mm, pPicture->xExt, pPicture->yExt };
                CopyMemory(bits.data(), &head, nHead);
            }
            p = bits.data();
            cb = (DWORD)bits.size();
        }
    }
    if (cb == kSaverLeftOut && h)
        cb = kSaverNotCopied;
    bool bOk = WriteAll(hPipe, &cb, sizeof(cb)) && (cb >= kSaverNotCopied || WriteAll(hPipe, p, cb));
    if (kind == DATA_GLOBAL && p)
        GlobalUnlock(h);
    if (pPicture)
        GlobalUnlock(h);
    return bOk;
}

bool OpenWithin(DWORD dwTimeout)
{
    for (DWORD dwStart = GetTickCount();; Sleep(10)) {
        if (OpenClipboard(NULL))
            return true;
        if (GetTickCount() - dwStart >= dwTimeout)
            return false;
    }
}

// One request: the clipboard's formats from nFrom on. With dwExpect, only a
// clipboard that has not changed since is saved.
bool ServeSave(HANDLE hPipe, DWORD dwExpect, DWORD nFrom)
{
    DWORD head[3] = { SAVER_LOCKED, 0, 0 };
    if (!OpenWithin(kOpenTimeout))
        return WriteAll(hPipe, head, sizeof(head));
    std::vector<UINT> formats;
    for (UINT nFormat = EnumClipboardFormats(0); nFormat; nFormat = EnumClipboardFormats(nFormat))
        formats.push_back(nFormat);
    head[1] = GetClipboardSequenceNumber();
    head[0] = dwExpect && dwExpect != head[1] ? SAVER_CHANGED : SAVER_OPEN;
    head[2] = (DWORD)formats.size();
    bool bOk = WriteAll(hPipe, head, sizeof(head));
    for (DWORD i = nFrom; bOk && head[0] == SAVER_OPEN && i < formats.size(); ++i) {
        DWORD begin[2] = { i, formats[i] };
        bOk = WriteAll(hPipe, begin, sizeof(begin)) && SendFormat(hPipe, formats[i]);
    }
    DWORD dwSeq = GetClipboardSequenceNumber();
    if (bOk && head[0] == SAVER_OPEN)
        bOk = WriteAll(hPipe, &dwSeq, sizeof(dwSeq));
    CloseClipboard();
    return bOk;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Started by hand there is no pipe to serve.
    HANDLE hIn = GetStdHandle(STD_INPUT_HANDLE), hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!hIn || hIn == INVALID_HANDLE_VALUE || GetFileType(hIn) != FILE_TYPE_PIPE ||
        !hOut || hOut == INVALID_HANDLE_VALUE || GetFileType(hOut) != FILE_TYPE_PIPE)
        return 2;
    DWORD request[2];
    while (ReadAll(hIn, request, sizeof(request)) && ServeSave(hOut, request[0], request[1])) {
    }
    return 0;
}
