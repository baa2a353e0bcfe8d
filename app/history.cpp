#include "history.h"

#include "resource.h"
#include "settings.h"
#include "typedtext.h"
#include "uitext.h"

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

namespace {

std::wstring LoadText(UINT nID)
{
    WCHAR szText[256] = L"";
    UiLoadString(nID, szText, ARRAYSIZE(szText));
    return szText;
}

// The short text of a record's result.
UINT ResultTextId(const ScanRecord& record)
{
    if (record.outcome == SCAN_TYPED) {
        if (record.cause == NOTICE_CLIPBOARD_NOT_BACK)
            return IDS_HISTORY_CLIPBOARD_NOT_BACK;
        return record.bDuplicate ? IDS_HISTORY_TYPED_DUPLICATE : IDS_HISTORY_TYPED;
    }
    if (record.outcome == SCAN_REPEAT)
        return IDS_HISTORY_REPEAT;
    if (record.outcome == SCAN_DUPLICATE)
        return IDS_HISTORY_DUPLICATE;
    switch (record.cause) {
    case NOTICE_TYPED_SELF: return IDS_HISTORY_SELF;
    case NOTICE_TYPED_NO_FOCUS: return IDS_HISTORY_NO_FOCUS;
    case NOTICE_TYPED_ELEVATED: return IDS_HISTORY_ELEVATED;
    case NOTICE_REJECTED: return IDS_HISTORY_REJECTED;
    case NOTICE_PASTE_NOT_TAKEN: return IDS_HISTORY_PASTE_NOT_TAKEN;
    case NOTICE_TYPED_FRONT: return IDS_HISTORY_FRONT;
    case NOTICE_QUEUE_FULL: return IDS_HISTORY_QUEUE_FULL;
    case NOTICE_TYPED_CANCELLED: return IDS_HISTORY_CANCELLED;
    case NOTICE_TARGET_WAITS: return IDS_HISTORY_TARGET_WAITS;
    case NOTICE_TARGET_REFUSED: return IDS_HISTORY_TARGET_REFUSED;
    case NOTICE_TARGET_EXPIRED: return IDS_HISTORY_TARGET_EXPIRED;
    case NOTICE_TARGET_ELEVATED: return IDS_HISTORY_ELEVATED;
    case NOTICE_TARGET_EXIT: return IDS_HISTORY_TARGET_EXIT;
    default: return IDS_HISTORY_FAILED;
    }
}

}  // namespace

// A refusal names its rule, a typing stopped half-way says how far it got,
// and a code too long to keep says so.
std::wstring HistoryResultText(const ScanRecord& record)
{
    WCHAR szText[192];
    std::wstring strFormat = LoadText(ResultTextId(record));
    if (record.outcome == SCAN_NOT_TYPED && (record.cause == NOTICE_TYPED_FRONT || record.cause == NOTICE_TYPED_CANCELLED))
        wsprintfW(szText, strFormat.c_str(), (int)record.nTyped, (int)record.nTotal);
    else
        wsprintfW(szText, strFormat.c_str(), record.nRule);
    return std::wstring(szText) + (record.bCut ? LoadText(IDS_HISTORY_CUT) : L"");
}

// The time of day, with the date in front when it is not today: the
// history spans days.
std::wstring HistoryTimeText(unsigned long long nTime)
{
    WCHAR szDate[64] = {}, szTime[64] = {};
    SYSTEMTIME time = LocalTimeOf(nTime);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, NULL, szTime, ARRAYSIZE(szTime));
    if (LocalDayStart(nTime) == LocalDayStart(HistoryNow()))
        return szTime;
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, NULL, szDate, ARRAYSIZE(szDate));
    return std::wstring(szDate) + L" " + szTime;
}

std::wstring SymbologyText(ScanSymbology symbology)
{
    static const UINT s_anTexts[] = { 0, IDS_SYMBOLOGY_QR, IDS_SYMBOLOGY_DM, IDS_SYMBOLOGY_BARCODE,
                                      IDS_SYMBOLOGY_PDF417 };
    return symbology > SYMBOLOGY_UNKNOWN && symbology <= SYMBOLOGY_PDF417 ? LoadText(s_anTexts[symbology])
                                                                          : std::wstring();
}

std::wstring HistoryCodeText(const ScanRecord& record)
{
    if (record.bNotKept)
        return LoadText(IDS_HISTORY_PASTED);
    return VisibleCode(record.strCode) + (record.bCut ? L"\x2026" : L"");
}
