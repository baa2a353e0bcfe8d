// The scan history as the user reads it: what each code was, where it went
// and what became of it.
#pragma once

#include <windows.h>

#include <string>

#include "notice.h"
#include "store.h"

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
std::wstring HistoryTimeText(unsigned long long nTime);
std::wstring SymbologyText(ScanSymbology symbology);
std::wstring HistoryCodeText(const ScanRecord& record);
std::wstring HistoryResultText(const ScanRecord& record);

// The tray window answers it with CScanHistory::Bytes(): the long test runs
// take what the history holds off the program's memory.
#define WM_HISTORY_BYTES (WM_USER + 9)
// The history file read back (lParam: HistoryFileContents*, or NULL).
#define WM_HISTORY_LOADED (WM_USER + 40)
// The History page asks its settings window to clear every record.
#define WM_HISTORY_CLEAR (WM_USER + 41)

