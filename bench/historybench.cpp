// The scan history with 100,000 records: what a decode's record costs with
// the history on disk and without, reading the file back at start, and
// exporting every record to each format. Prints figures; asserts nothing.
#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "export.h"
#include "store.h"

namespace {

const size_t kRecords = kHistoryRecords;

double Seconds(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return (double)(now.QuadPart - start.QuadPart) / freq.QuadPart;
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

// A GS1 code of a parcel, as warehouses scan them.
ScanRecord Record(size_t i, unsigned long long nTime)
{
    ScanRecord record = {};
    record.nTime = nTime;
    char szCode[64];
    sprintf(szCode, "]C1000950600013435%010u", (unsigned)i);
    record.strBytes = szCode;
    record.strCode = std::wstring(record.strBytes.begin(), record.strBytes.end());
    record.strProgram = L"EXCEL.EXE";
    record.outcome = SCAN_TYPED;
    record.symbology = SYMBOLOGY_BARCODE;
    return record;
}

// The microseconds a record's Add takes, over all of them.
double AddAll(CScanHistory& history, unsigned long long nStart)
{
    LARGE_INTEGER start = Now();
    for (size_t i = 0; i < kRecords; ++i)
        history.Add(Record(i, nStart + i * kHistorySecond));
    return Seconds(start) * 1e6 / kRecords;
}

}  // namespace

int main()
{
    WCHAR szTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, szTemp);
    std::wstring strPath = std::wstring(szTemp) + L"norza-historybench.dat";
    DeleteFileW(strPath.c_str());
    unsigned long long nStart = HistoryNow() - kRecords * kHistorySecond;

    CScanHistory memory;
    double dMemory = AddAll(memory, nStart);
    double dDisk = 0;
    {
        CScanHistory disk;
        unsigned long long nOlder = 0;
        disk.OpenFile(strPath, &nOlder);
        HistoryFileContents none;
        disk.Merge(none, HistoryNow());
        dDisk = AddAll(disk, nStart);
    }
    printf("a decode's record: %.1f us in memory only, %.1f us with the history on disk (+%.3f ms)\n", dMemory, dDisk,
           (dDisk - dMemory) / 1000);

    LARGE_INTEGER start = Now();
    CScanHistory loaded;
    unsigned long long nOlder = 0;
    loaded.OpenFile(strPath, &nOlder);
    HistoryFileContents contents;
    ReadHistoryFile(strPath, nOlder, &contents);
    loaded.Merge(contents, HistoryNow());
    printf("load %u records (%.1f MB): %.3f s\n", (unsigned)loaded.Count(), nOlder / 1048576.0, Seconds(start));

    start = Now();
    ExportTable table;
    table.header = { L"Time", L"Symbology", L"Code", L"Result", L"Program" };
    table.rows.reserve(loaded.Count());
    for (size_t i = 0; i < loaded.Count(); ++i) {
        const ScanRecord& record = loaded.At(i);
        table.rows.push_back({ record.nTime, { L"1D barcode", record.strCode, L"Typed", record.strProgram } });
    }
    double dTable = Seconds(start);
    std::wstring strOut = std::wstring(szTemp) + L"norza-historybench.out";
    start = Now();
    std::string csv = CsvText(table, L",");
    WriteWholeFile(strOut, csv);
    printf("export %u records to CSV (%.1f MB): %.3f s (+ %.3f s to gather the rows)\n", (unsigned)table.rows.size(),
           csv.size() / 1048576.0, Seconds(start), dTable);
    start = Now();
    std::string xlsx = XlsxData(table);
    WriteWholeFile(strOut, xlsx);
    printf("export %u records to XLSX (%.1f MB): %.3f s (+ %.3f s to gather the rows)\n", (unsigned)table.rows.size(),
           xlsx.size() / 1048576.0, Seconds(start), dTable);
    DeleteFileW(strOut.c_str());
    loaded.CloseFile(true);
    return 0;
}
