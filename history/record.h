// One decode as the scan history keeps it: when, what, where it went and
// what became of it.
#pragma once

#include <windows.h>

#include <string>

enum ScanOutcome {
    SCAN_TYPED,
    SCAN_REPEAT,       // logged, not typed: a repeat within the window
    SCAN_NOT_TYPED,    // see cause
    SCAN_DUPLICATE     // scanned before, and the options say not to type it again
};

// Why a record was not typed, or how it was: the history file keeps it by
// these numbers, which never change; new ones take new numbers.
enum HistoryCause {
    HISTORY_CAUSE_NONE = 0,
    HISTORY_CAUSE_SELF = 1,                // the window in front is this program's
    HISTORY_CAUSE_NO_FOCUS = 2,
    HISTORY_CAUSE_ELEVATED = 3,
    HISTORY_CAUSE_FAILED = 4,
    HISTORY_CAUSE_PASTE_NOT_TAKEN = 5,
    HISTORY_CAUSE_CLIPBOARD_NOT_BACK = 6,  // typed by a paste; the user's clipboard not put back
    HISTORY_CAUSE_FRONT = 7,               // another window came to the front half-way
    HISTORY_CAUSE_QUEUE_FULL = 8,
    HISTORY_CAUSE_REJECTED = 9,            // by a rule
    HISTORY_CAUSE_CANCELLED = 14,          // stopped half-way
    HISTORY_CAUSE_DUPLICATE = 17,          // scanned before
    HISTORY_CAUSE_CLIPBOARD_NOT_SAVED = 19, // not pasted: the user's clipboard could not be saved whole
    HISTORY_CAUSE_TARGET_WAITS = 20,       // the chosen program had no window: the code waited
    HISTORY_CAUSE_TARGET_REFUSED = 21,     // Windows did not bring the chosen program forward
    HISTORY_CAUSE_TARGET_EXPIRED = 22,     // the code waited for its program in vain
    HISTORY_CAUSE_TARGET_ELEVATED = 23,    // the chosen program runs with higher rights
    HISTORY_CAUSE_TARGET_EXIT = 24         // the program closed while the code waited
};

// Which symbology the engine read; it does not say, so it is known only
// while one alone is switched on.
enum ScanSymbology { SYMBOLOGY_UNKNOWN, SYMBOLOGY_QR, SYMBOLOGY_DM, SYMBOLOGY_BARCODE, SYMBOLOGY_PDF417 };

struct ScanRecord {
    unsigned long long nTime;   // UTC, in FILETIME units
    std::string strBytes;       // the decode as the engine gave it, to type again
    std::wstring strCode;       // the decode as text
    std::wstring strProgram;    // file name of the program in front ("" if none)
    ScanOutcome outcome;
    HistoryCause cause;         // why it was not typed (or how it was)
    int nRule;                  // the rule that shaped or refused it; 0: none
    // Too long to keep whole: strCode holds only its start, for the window,
    // and strBytes nothing; it cannot be copied or typed again.
    bool bCut = false;
    size_t nTyped, nTotal;      // a typing stopped half-way: characters and keys
                                // typed, of all (CountTyped)
    ScanSymbology symbology = SYMBOLOGY_UNKNOWN;
    bool bPasted = false;       // went by the clipboard: its code stays off the disk
    bool bNotKept = false;      // read back without its code (it was pasted)
    bool bRetyped = false;      // typed again from the history: no scan of its own
    bool bDuplicate = false;    // scanned before (within the scope the options set)
    bool bThisRun = false;      // added in this run, not read back
    unsigned nStored = 0;       // bytes it takes in the history file
    unsigned long long nTag = 0;   // which of the file's records it is (0: none)
};

// FILETIME units.
const unsigned long long kHistorySecond = 10000000ULL;
const unsigned long long kHistoryDay = 86400ULL * kHistorySecond;

// Now, in the records' time.
unsigned long long HistoryNow();
// Local times by the rules in force at nTime's own date, in the zone given
// (NULL: the user's).
// The start of the local day that holds nTime (UTC), in the same units.
unsigned long long LocalDayStart(unsigned long long nTime, const TIME_ZONE_INFORMATION* pZone = NULL);
// A record's time as the local time of day.
SYSTEMTIME LocalTimeOf(unsigned long long nTime, const TIME_ZONE_INFORMATION* pZone = NULL);
// The same as a count of FILETIME units from 1601-01-01 local.
unsigned long long LocalFileTimeOf(unsigned long long nTime, const TIME_ZONE_INFORMATION* pZone = NULL);

// The history file and the exports hold text as UTF-8.
std::string ToUtf8(const std::wstring& str);
std::wstring FromUtf8(const std::string& str);

// A code longer than this (bytes as decoded, or characters as shaped) is
// kept as its first kKeepShown characters: no barcode holds that much, and
// the history stays small whatever comes.
const size_t kKeepWhole = 16 * 1024;
const size_t kKeepShown = 256;
// A program's file name is kept to this many characters.
const size_t kKeepProgram = 260;
