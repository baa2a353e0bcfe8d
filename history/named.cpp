#include "named.h"

#include <windows.h>

#include "typedtext.h"

void AppendNamed(std::wstring& out, const std::wstring& str, size_t& i, bool bNoncharacters)
{
    wchar_t ch = str[i];
    if (ch == L'{' || ch == L'}') {
        out.append(2, ch);
        return;
    }
    if (ch >= 0x20 && ch != 0x7F && !(bNoncharacters && IsNoncharacter(ch))) {
        out += ch;
        return;
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
