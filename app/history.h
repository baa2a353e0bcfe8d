// The decodes of this run, newest first, for the scan history window: what
// each code was, where it went and what became of it.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

#include "notice.h"

enum ScanOutcome {
    SCAN_TYPED,
    SCAN_REPEAT,       // logged, not typed: a repeat within the window
    SCAN_NOT_TYPED     // see cause
};

struct ScanRecord {
    SYSTEMTIME time;
    std::string strBytes;       // the decode as the engine gave it, to type again
    std::wstring strCode;       // the decode as text
    std::wstring strProgram;    // file name of the program in front ("" if none)
    ScanOutcome outcome;
    NoticeCause cause;          // why it was not typed (NOTICE_NONE otherwise)
    int nRule;                  // the rule that shaped or refused it; 0: none
    // Too long to keep whole: strCode holds only its start, for the window,
    // and strBytes nothing; it cannot be copied or typed again.
    bool bCut = false;
    size_t nTyped, nTotal;      // a typing stopped half-way: characters and keys
                                // typed, of all (CountTyped)
};

// A decoded code as the history window shows it, written as a settings text
// would write it: every control character in sight ({TAB}, {ENTER} for a
// line break, {GS}, {RS}, {EOT}, else {U+XXXX}), noncharacters as {U+FDD0},
// braces doubled ({{ and }}), the rest unchanged. No key is ever shown: a
// code holds characters only.
std::wstring VisibleCode(const std::wstring& strCode);

// A typed text (typedtext.h) shown the same way, its in-band keys and pauses
// as the escapes that make them: {CTRL+A}, {F2}, {DELAY n}.
std::wstring VisibleTyped(const std::wstring& strTyped);

// The tray window answers it with CScanHistory::Bytes(): the long test runs
// take what the history holds off the program's memory.
#define WM_HISTORY_BYTES (WM_USER + 9)

// A code longer than this (bytes as decoded, or characters as shaped) is
// kept as its first kKeepShown characters: no barcode holds that much, and
// the history stays small whatever comes.
const size_t kKeepWhole = 16 * 1024;
const size_t kKeepShown = 256;

class CScanHistory {
public:
    explicit CScanHistory(size_t nLimit = 500, size_t nByteLimit = 4 * 1024 * 1024)
        : m_nLimit(nLimit), m_nByteLimit(nByteLimit), m_nAdded(0), m_nBytes(0) {}

    // Adds a record, cut when too long to keep whole; the oldest go while
    // there are more than the limit or they hold more than the byte limit.
    void Add(const ScanRecord& record);
    // Newest first: 0 is the last decode.
    size_t Count() const { return m_records.size(); }
    const ScanRecord& At(size_t i) const { return m_records[i]; }
    // How many records were ever added: tells a window that something changed.
    size_t Added() const { return m_nAdded; }
    // The memory the records take, their texts included.
    size_t Bytes() const { return m_nBytes; }

private:
    size_t m_nLimit;
    size_t m_nByteLimit;
    size_t m_nAdded;
    size_t m_nBytes;
    std::deque<ScanRecord> m_records;
};
