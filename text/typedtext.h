// What a typing takes: characters, '\t' for the Tab key, '\r' for the Enter
// key, and key combinations and pauses in-band, each as a marker followed by
// one argument unit. The markers are Unicode noncharacters, kept for a
// program's own use: no decode brings them in, since shaping leaves them out.
//
// Every reader walks such a text with CTypedWalk, so that all of them agree
// on what it holds: a marker's argument is never read as a character, a
// surrogate pair is one character, and a line break is one Enter.
#pragma once

#include <windows.h>

#include <string>

const wchar_t kKeyMarker = 0xFDD0;     // then (modifiers << 8) | virtual key
const wchar_t kPauseMarker = 0xFDD1;   // then the pause in ms

// Modifiers of a key combination, as VkKeyScan gives them.
enum { KEYMOD_SHIFT = 1, KEYMOD_CTRL = 2, KEYMOD_ALT = 4 };

const DWORD kMaxPause = 2000;

inline bool IsNoncharacter(wchar_t ch)
{
    return ch >= 0xFDD0 && ch <= 0xFDEF;
}

inline void AppendKey(std::wstring& str, BYTE bVk, BYTE bMods)
{
    str += kKeyMarker;
    str += (wchar_t)(bMods << 8 | bVk);
}

inline void AppendPause(std::wstring& str, DWORD dwMs)
{
    str += kPauseMarker;
    str += (wchar_t)(dwMs < kMaxPause ? dwMs : kMaxPause);
}

// One thing a typed text asks for.
struct TypedItem {
    enum Kind { kChar, kKey, kPause } kind;
    // kChar: its UTF-16 units, one or a surrogate pair; a surrogate without
    // its other half is U+FFFD. '\t' is the Tab key, '\r' a line break
    // (CR, LF or CR LF in the text).
    wchar_t awch[2];
    int nUnits;
    BYTE bVk, bMods;   // kKey
    DWORD dwMs;        // kPause

    // The first unit: the character itself outside the surrogates.
    wchar_t Char() const { return awch[0]; }
    // A character or key that goes to the target, which pauses do not.
    bool Types() const { return kind != kPause; }
};

// Walks a typed text item by item. The text must outlive the walk.
class CTypedWalk {
public:
    explicit CTypedWalk(const std::wstring& text) : m_text(text), m_i(0) {}

    // The next item; false at the end. A marker at the very end, without
    // its argument, is nothing.
    bool Next(TypedItem* pItem)
    {
        const size_t n = m_text.size();
        while (m_i < n) {
            wchar_t ch = m_text[m_i++];
            TypedItem item = { TypedItem::kChar, { ch, 0 }, 1, 0, 0, 0 };
            if (ch == kKeyMarker || ch == kPauseMarker) {
                if (m_i >= n)
                    return false;
                wchar_t arg = m_text[m_i++];
                if (ch == kKeyMarker) {
                    item.kind = TypedItem::kKey;
                    item.bVk = LOBYTE(arg);
                    item.bMods = HIBYTE(arg);
                } else {
                    item.kind = TypedItem::kPause;
                    item.dwMs = arg;
                }
            } else if (ch >= 0xD800 && ch <= 0xDBFF && m_i < n && m_text[m_i] >= 0xDC00 &&
                       m_text[m_i] <= 0xDFFF) {
                item.awch[1] = m_text[m_i++];
                item.nUnits = 2;
            } else if (ch >= 0xD800 && ch <= 0xDFFF) {
                item.awch[0] = 0xFFFD;
            } else if (ch == L'\r' || ch == L'\n') {
                if (ch == L'\r' && m_i < n && m_text[m_i] == L'\n')
                    ++m_i;
                item.awch[0] = L'\r';
            }
            *pItem = item;
            return true;
        }
        return false;
    }

private:
    const std::wstring& m_text;
    size_t m_i;
};

// How many characters and keys the text types (pauses left out): what a
// typing that stopped half-way counts against.
inline size_t CountTyped(const std::wstring& str)
{
    size_t n = 0;
    CTypedWalk walk(str);
    for (TypedItem item; walk.Next(&item);)
        n += item.Types() ? 1 : 0;
    return n;
}

// True when the text holds a key combination: only key input keeps such keys
// in order with the characters around them.
inline bool HasKeyCombination(const std::wstring& str)
{
    CTypedWalk walk(str);
    for (TypedItem item; walk.Next(&item);) {
        if (item.kind == TypedItem::kKey)
            return true;
    }
    return false;
}
