// The history as a table for a spreadsheet: a time column, then text
// columns, written as CSV or as an Excel workbook.
#pragma once

#include <string>
#include <vector>

struct ExportRow {
    unsigned long long nTime;          // UTC, FILETIME units; written in local time
    std::vector<std::wstring> texts;   // the other columns
};

struct ExportTable {
    std::vector<std::wstring> header;  // the time's first
    std::vector<ExportRow> rows;
};

// UTF-8 behind a byte-order mark, fields split by strSeparator (the user's
// list separator), quoted as RFC 4180 says; a field a spreadsheet would
// take for a formula is quoted with a ' in front.
std::string CsvText(const ExportTable& table, const std::wstring& strSeparator);
// The user's list separator: "," or ";" and the like.
std::wstring ListSeparator();

// The workbook's bytes: one sheet, a header row, the time a date-time cell,
// every other cell a text cell, exactly as given.
std::string XlsxData(const ExportTable& table);

// Writes the bytes to the file whole; false when it cannot.
bool WriteWholeFile(const std::wstring& strPath, const std::string& data);
