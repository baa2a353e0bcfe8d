// The user's clipboard as saved before a paste, to be handed back after it.
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
    // takes over; false when they do not make one.
    bool Add(UINT nFormat, HGLOBAL hBytes, DWORD cb);
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
