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
    size_t nTyped, nTotal;      // a typing stopped half-way: characters and keys
                                // typed, of all (CountTyped)
};

// The code as the history window shows it: every control character in sight,
// named as the settings files name it ({TAB}, {ENTER} for a line break, {GS},
// {RS}, {EOT}, else {U+XXXX}), the rest unchanged. A typed text's in-band
// keys and pauses (typedtext.h) show as {CTRL+A}, {F2}, {DELAY n}.
std::wstring VisibleCode(const std::wstring& strCode);

class CScanHistory {
public:
    explicit CScanHistory(size_t nLimit = 500) : m_nLimit(nLimit), m_nAdded(0) {}

    // Adds a record; the oldest goes when the limit is reached.
    void Add(const ScanRecord& record);
    // Newest first: 0 is the last decode.
    size_t Count() const { return m_records.size(); }
    const ScanRecord& At(size_t i) const { return m_records[i]; }
    // How many records were ever added: tells a window that something changed.
    size_t Added() const { return m_nAdded; }

private:
    size_t m_nLimit;
    size_t m_nAdded;
    std::deque<ScanRecord> m_records;
};
