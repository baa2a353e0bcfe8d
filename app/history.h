// The scan history as the user reads it: what each code was, where it went
// and what became of it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>

#include "notice.h"
#include "store.h"

// A notice's cause as the history keeps it.
HistoryCause HistoryCauseOf(NoticeCause cause);

// A decoded code as the history window shows it, written as a settings text
// would write it: every control character in sight ({TAB}, {ENTER} for a
// line break, {GS}, {RS}, {EOT}, else {U+XXXX}), noncharacters as {U+FDD0},
// braces doubled ({{ and }}), the rest unchanged. No key is ever shown: a
// code holds characters only.
std::wstring VisibleCode(const std::wstring& strCode);

// A typed text (typedtext.h) shown the same way, its in-band keys and pauses
// as the escapes that make them: {CTRL+A}, {F2}, {DELAY n}.
std::wstring VisibleTyped(const std::wstring& strTyped);

// A record as the window and the exports show it, in the user's language:
// its time (the date in front when not today), symbology (empty when not
// known), code (VisibleCode; a pasted one read back says it is not kept)
// and result.
// pTexts: the texts loaded before (LoadHistoryTexts), for a table made on
// another thread than the tray's.
struct CHistoryTexts {
    std::map<UINT, std::wstring> texts;
};
CHistoryTexts LoadHistoryTexts(std::initializer_list<UINT> more);
std::wstring HistoryTimeText(unsigned long long nTime);
std::wstring SymbologyText(ScanSymbology symbology, const CHistoryTexts* pTexts = NULL);
std::wstring HistoryCodeText(const ScanRecord& record);
std::wstring HistoryResultText(const ScanRecord& record, const CHistoryTexts* pTexts = NULL);

// The tray window answers it with CScanHistory::Bytes(): the long test runs
// take what the history holds off the program's memory.
#define WM_HISTORY_BYTES (WM_USER + 9)
// A result of the history file's worker (lParam: CHistoryFileResult*).
#define WM_HISTORY_FILE (WM_USER + 40)
// The History page asks its settings window to clear every record.
#define WM_HISTORY_CLEAR (WM_USER + 41)

