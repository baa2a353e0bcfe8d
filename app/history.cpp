#include "history.h"

#include <algorithm>

#include "settings.h"
#include "typedtext.h"

static size_t RecordBytes(const ScanRecord& record)
{
    return sizeof(ScanRecord) + record.strBytes.capacity() +
           (record.strCode.capacity() + record.strProgram.capacity()) * sizeof(wchar_t);
}

// The start of the code, never ending inside a key or pause of a typed text
// or between the halves of a surrogate pair.
static std::wstring CodeStart(const std::wstring& strCode)
{
    size_t nEnd = 0;
    while (nEnd < strCode.size() && nEnd < kKeepShown) {
        size_t nNext = nEnd + ((strCode[nEnd] == kKeyMarker || strCode[nEnd] == kPauseMarker ||
                                IS_HIGH_SURROGATE(strCode[nEnd])) ? 2 : 1);
        if (nNext > kKeepShown)
            break;
        nEnd = nNext;
    }
    return strCode.substr(0, std::min(nEnd, strCode.size()));
}

void CScanHistory::Add(const ScanRecord& record)
{
    if (record.strBytes.size() > kKeepWhole || record.strCode.size() > kKeepWhole) {
        // Swapped, not assigned: an assignment keeps the long buffers.
        ScanRecord cut = record;
        std::string().swap(cut.strBytes);
        CodeStart(record.strCode).swap(cut.strCode);
        cut.bCut = true;
        m_records.push_front(std::move(cut));
    } else {
        m_records.push_front(record);
    }
    m_nBytes += RecordBytes(m_records.front());
    while (m_records.size() > 1 && (m_records.size() > m_nLimit || m_nBytes > m_nByteLimit)) {
        m_nBytes -= RecordBytes(m_records.back());
        m_records.pop_back();
    }
    ++m_nAdded;
}

namespace {

// Every control character and noncharacter in sight, by its settings name;
// braces doubled, so that no character of the text reads as an escape. In a
// typed text (bTyped) the in-band keys and pauses show as their escapes.
std::wstring Visible(const std::wstring& str, bool bTyped)
{
    std::wstring out;
    out.reserve(str.size());
    for (size_t i = 0; i < str.size(); ++i) {
        wchar_t ch = str[i];
        if (bTyped && (ch == kKeyMarker || ch == kPauseMarker) && i + 1 < str.size()) {
            ++i;
            out += ch == kKeyMarker ? KeyEscapeName(str[i])
                                    : L"{DELAY " + std::to_wstring((unsigned)str[i]) + L"}";
            continue;
        }
        if (ch == L'{' || ch == L'}') {
            out.append(2, ch);
            continue;
        }
        if (ch >= 0x20 && ch != 0x7F && !IsNoncharacter(ch)) {
            out += ch;
            continue;
        }
        switch (ch) {
        case L'\t': out += L"{TAB}"; break;
        case L'\r':
            if (i + 1 < str.size() && str[i + 1] == L'\n')
                ++i;
            out += L"{ENTER}";
            break;
        case L'\n': out += L"{ENTER}"; break;
        case 0x1D: out += L"{GS}"; break;
        case 0x1E: out += L"{RS}"; break;
        case 0x04: out += L"{EOT}"; break;
        default: {
            wchar_t szName[16];
            wsprintfW(szName, L"{U+%04X}", (unsigned)ch);
            out += szName;
        }
        }
    }
    return out;
}

}  // namespace

std::wstring VisibleCode(const std::wstring& strCode)
{
    return Visible(strCode, false);
}

std::wstring VisibleTyped(const std::wstring& strTyped)
{
    return Visible(strTyped, true);
}
