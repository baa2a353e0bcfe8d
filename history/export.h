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
// Local time as "2026-12-10 13:45:07": read as a date and time by a
// spreadsheet in every locale.
std::wstring ExportTimeText(unsigned long long nTime);
// The user's list separator: "," or ";" and the like.
std::wstring ListSeparator();

// The workbook's bytes: one sheet, a header row, the time a date-time cell
// (a text cell when out of the years a workbook holds), every other cell a
// text cell, exactly as given.
std::string XlsxData(const ExportTable& table);

// Writes the bytes to a file beside strPath, then puts it in its place: a
// failure leaves no half file. False when it cannot.
bool WriteWholeFile(const std::wstring& strPath, const std::string& data);
