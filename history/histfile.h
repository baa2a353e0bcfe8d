// The history file: a header, then one record after another, each framed by
// a mark, its length and its CRC-32, appended as it happens. A record cut
// short by a crash or damaged on disk fails its check and is skipped; the
// reader finds the next by its mark.
#pragma once

#include <string>
#include <vector>

#include "record.h"

// %LOCALAPPDATA%\Norza\history.dat, its folder made when missing; "" when
// the profile has no such folder.
std::wstring HistoryFilePath();

// What a record is on disk: its frame and all.
std::string EncodeRecord(const ScanRecord& record, bool bWithCode);

// Writes data whole and empties it.
bool WriteAll(HANDLE hFile, std::string& data);

// The header every history file starts with.
std::string HistoryFileHeader();
const size_t kHistoryHeaderSize = 16;

// The records of a file's first nSize bytes (the file as it stood), oldest
// first, read in pieces: only the newest nLimit within nByteLimit of memory
// are kept, those before counted; those skipped as damaged are counted.
// False when the file cannot be read whole, memory runs out, or it is not a
// history file; nothing read is kept then.
struct HistoryFileContents {
    std::vector<ScanRecord> records;   // each nTag: where it starts in the file
    size_t nSkipped = 0;      // damaged or torn
    size_t nBeyond = 0;       // beyond the bounds
    unsigned long long nRead = 0;   // the bytes read
    bool bOutOfMemory = false;
};
const size_t kReadAll = (size_t)-1;
bool ParseHistory(const std::string& data, HistoryFileContents* pContents, size_t nLimit = kReadAll,
                  size_t nByteLimit = kReadAll);
bool ReadHistory(HANDLE hFile, unsigned long long nSize, HistoryFileContents* pContents, size_t nLimit = kReadAll,
                 size_t nByteLimit = kReadAll);
bool ReadHistoryFile(const std::wstring& strPath, unsigned long long nSize, HistoryFileContents* pContents);

// The memory a record takes, its texts included.
size_t RecordMemory(const ScanRecord& record);
