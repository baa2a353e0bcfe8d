#include "history.h"

#include "named.h"
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
        AppendNamed(out, str, i, true);
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

const struct {
    NoticeCause notice;
    HistoryCause history;
} s_causes[] = {
    { NOTICE_NONE, HISTORY_CAUSE_NONE },
    { NOTICE_TYPED_SELF, HISTORY_CAUSE_SELF },
    { NOTICE_TYPED_NO_FOCUS, HISTORY_CAUSE_NO_FOCUS },
    { NOTICE_TYPED_ELEVATED, HISTORY_CAUSE_ELEVATED },
    { NOTICE_TYPED_FAILED, HISTORY_CAUSE_FAILED },
    { NOTICE_PASTE_NOT_TAKEN, HISTORY_CAUSE_PASTE_NOT_TAKEN },
    { NOTICE_CLIPBOARD_NOT_BACK, HISTORY_CAUSE_CLIPBOARD_NOT_BACK },
    { NOTICE_TYPED_FRONT, HISTORY_CAUSE_FRONT },
    { NOTICE_QUEUE_FULL, HISTORY_CAUSE_QUEUE_FULL },
    { NOTICE_REJECTED, HISTORY_CAUSE_REJECTED },
    { NOTICE_TYPED_CANCELLED, HISTORY_CAUSE_CANCELLED },
    { NOTICE_DUPLICATE, HISTORY_CAUSE_DUPLICATE },
    { NOTICE_CLIPBOARD_NOT_SAVED, HISTORY_CAUSE_CLIPBOARD_NOT_SAVED },
    { NOTICE_TARGET_WAITS, HISTORY_CAUSE_TARGET_WAITS },
    { NOTICE_TARGET_REFUSED, HISTORY_CAUSE_TARGET_REFUSED },
    { NOTICE_TARGET_EXPIRED, HISTORY_CAUSE_TARGET_EXPIRED },
    { NOTICE_TARGET_ELEVATED, HISTORY_CAUSE_TARGET_ELEVATED },
    { NOTICE_TARGET_EXIT, HISTORY_CAUSE_TARGET_EXIT },
};

}  // namespace

HistoryCause HistoryCauseOf(NoticeCause cause)
{
    for (const auto& c : s_causes) {
        if (c.notice == cause)
            return c.history;
    }
    return HISTORY_CAUSE_NONE;   // a notice no record is kept for
}

namespace {

std::wstring LoadText(UINT nID, const CHistoryTexts* pTexts = NULL)
{
    if (pTexts) {
        auto it = pTexts->texts.find(nID);
        return it != pTexts->texts.end() ? it->second : std::wstring();
    }
    WCHAR szText[256] = L"";
    UiLoadString(nID, szText, ARRAYSIZE(szText));
    return szText;
}

const UINT s_anSymbologyTexts[] = { 0, IDS_SYMBOLOGY_QR, IDS_SYMBOLOGY_DM, IDS_SYMBOLOGY_BARCODE,
                                    IDS_SYMBOLOGY_PDF417 };

// The short text of a record's result.
UINT ResultTextId(const ScanRecord& record)
{
    if (record.outcome == SCAN_TYPED) {
        if (record.cause == HISTORY_CAUSE_CLIPBOARD_NOT_BACK)
            return IDS_HISTORY_CLIPBOARD_NOT_BACK;
        return record.bDuplicate ? IDS_HISTORY_TYPED_DUPLICATE : IDS_HISTORY_TYPED;
    }
    if (record.outcome == SCAN_REPEAT)
        return IDS_HISTORY_REPEAT;
    if (record.outcome == SCAN_DUPLICATE)
        return IDS_HISTORY_DUPLICATE;
    switch (record.cause) {
    case HISTORY_CAUSE_SELF: return IDS_HISTORY_SELF;
    case HISTORY_CAUSE_NO_FOCUS: return IDS_HISTORY_NO_FOCUS;
    case HISTORY_CAUSE_ELEVATED: return IDS_HISTORY_ELEVATED;
    case HISTORY_CAUSE_REJECTED: return IDS_HISTORY_REJECTED;
    case HISTORY_CAUSE_PASTE_NOT_TAKEN: return IDS_HISTORY_PASTE_NOT_TAKEN;
    case HISTORY_CAUSE_CLIPBOARD_NOT_SAVED: return IDS_HISTORY_CLIPBOARD_NOT_SAVED;
    case HISTORY_CAUSE_FRONT: return IDS_HISTORY_FRONT;
    case HISTORY_CAUSE_QUEUE_FULL: return IDS_HISTORY_QUEUE_FULL;
    case HISTORY_CAUSE_CANCELLED: return IDS_HISTORY_CANCELLED;
    case HISTORY_CAUSE_TARGET_WAITS: return IDS_HISTORY_TARGET_WAITS;
    case HISTORY_CAUSE_TARGET_REFUSED: return IDS_HISTORY_TARGET_REFUSED;
    case HISTORY_CAUSE_TARGET_EXPIRED: return IDS_HISTORY_TARGET_EXPIRED;
    case HISTORY_CAUSE_TARGET_ELEVATED: return IDS_HISTORY_ELEVATED;
    case HISTORY_CAUSE_TARGET_EXIT: return IDS_HISTORY_TARGET_EXIT;
    default: return IDS_HISTORY_FAILED;
    }
}

}  // namespace

// A refusal names its rule, a typing stopped half-way says how far it got,
// and a code too long to keep says so.
std::wstring HistoryResultText(const ScanRecord& record, const CHistoryTexts* pTexts)
{
    WCHAR szText[192];
    std::wstring strFormat = LoadText(ResultTextId(record), pTexts);
    if (record.outcome == SCAN_NOT_TYPED &&
        (record.cause == HISTORY_CAUSE_FRONT || record.cause == HISTORY_CAUSE_CANCELLED))
        wsprintfW(szText, strFormat.c_str(), (int)record.nTyped, (int)record.nTotal);
    else
        wsprintfW(szText, strFormat.c_str(), record.nRule);
    return std::wstring(szText) + (record.bCut ? LoadText(IDS_HISTORY_CUT, pTexts) : L"");
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

std::wstring SymbologyText(ScanSymbology symbology, const CHistoryTexts* pTexts)
{
    return symbology > SYMBOLOGY_UNKNOWN && symbology <= SYMBOLOGY_PDF417
               ? LoadText(s_anSymbologyTexts[symbology], pTexts)
               : std::wstring();
}

CHistoryTexts LoadHistoryTexts(std::initializer_list<UINT> more)
{
    CHistoryTexts texts;
    for (UINT nID : { IDS_HISTORY_CLIPBOARD_NOT_BACK, IDS_HISTORY_TYPED_DUPLICATE, IDS_HISTORY_TYPED,
                      IDS_HISTORY_REPEAT, IDS_HISTORY_DUPLICATE, IDS_HISTORY_SELF, IDS_HISTORY_NO_FOCUS,
                      IDS_HISTORY_ELEVATED, IDS_HISTORY_REJECTED, IDS_HISTORY_PASTE_NOT_TAKEN, IDS_HISTORY_FRONT,
                      IDS_HISTORY_QUEUE_FULL, IDS_HISTORY_CANCELLED, IDS_HISTORY_FAILED, IDS_HISTORY_CUT,
                      IDS_HISTORY_PASTED })
        texts.texts[nID] = LoadText(nID);
    for (UINT nID : s_anSymbologyTexts) {
        if (nID)
            texts.texts[nID] = LoadText(nID);
    }
    for (UINT nID : more)
        texts.texts[nID] = LoadText(nID);
    return texts;
}

std::wstring HistoryCodeText(const ScanRecord& record)
{
    if (record.bNotKept)
        return LoadText(IDS_HISTORY_PASTED);
    return VisibleCode(record.strCode) + (record.bCut ? L"\x2026" : L"");
}
