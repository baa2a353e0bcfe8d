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

// Reads the first nSize bytes of the file on a thread of its own and posts
// nMessage to hWnd with a HistoryFileContents* in lParam (NULL when the file
// could not be read), which the receiver deletes.
struct HistoryFileContents;
bool StartHistoryLoad(const std::wstring& strPath, unsigned long long nSize, HWND hWnd, UINT nMessage);

// The header every history file starts with.
std::string HistoryFileHeader();
const size_t kHistoryHeaderSize = 16;

// The records of a file's first nSize bytes (the file as it stood), oldest
// first; those skipped are counted. False when the file cannot be read or
// is not a history file.
struct HistoryFileContents {
    std::vector<ScanRecord> records;
    size_t nSkipped = 0;      // damaged or torn
};
bool ParseHistory(const std::string& data, HistoryFileContents* pContents);
bool ReadHistoryFile(const std::wstring& strPath, unsigned long long nSize, HistoryFileContents* pContents);

// Writes the records (oldest first) to a file of their own beside strPath,
// then puts it in strPath's place: a crash on the way leaves the old file.
// Each record's nStored says what it takes there.
bool RewriteHistoryFile(const std::wstring& strPath, const std::vector<ScanRecord*>& records);
