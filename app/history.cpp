#include "history.h"

#include "settings.h"
#include "typedtext.h"

void CScanHistory::Add(const ScanRecord& record)
{
    m_records.push_front(record);
    if (m_records.size() > m_nLimit)
        m_records.pop_back();
    ++m_nAdded;
}

std::wstring VisibleCode(const std::wstring& strCode)
{
    std::wstring out;
    out.reserve(strCode.size());
    for (size_t i = 0; i < strCode.size(); ++i) {
        wchar_t ch = strCode[i];
        if ((ch == kKeyMarker || ch == kPauseMarker) && i + 1 < strCode.size()) {
            ++i;
            out += ch == kKeyMarker ? KeyEscapeName(strCode[i])
                                    : L"{DELAY " + std::to_wstring((unsigned)strCode[i]) + L"}";
            continue;
        }
        if (ch >= 0x20 && ch != 0x7F) {
            out += ch;
            continue;
        }
        switch (ch) {
        case L'\t': out += L"{TAB}"; break;
        case L'\r':
            if (i + 1 < strCode.size() && strCode[i + 1] == L'\n')
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
