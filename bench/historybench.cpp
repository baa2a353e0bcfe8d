// The scan history with 100,000 records: what a decode's record costs with
// the history on disk and without, reading the file back at start, and
// exporting every record to each format. Prints figures; asserts nothing.
#include <windows.h>
#include <stdio.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "export.h"
#include "snapshot.h"
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

// The tray window's side: the worker's results, taken as it takes them.
HWND g_hWnd;

// Takes results until one of this kind has come; false after 60 s.
bool WaitFor(CScanHistory& history, HistoryFileEvent event, CHistoryFileResult* pOut = NULL)
{
    DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < 60000) {
        MSG msg;
        if (!PeekMessageW(&msg, g_hWnd, WM_APP, WM_APP, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_POSTMESSAGE);
            continue;
        }
        CHistoryFileResult* pResult = reinterpret_cast<CHistoryFileResult*>(msg.lParam);
        history.OnFileResult(*pResult, HistoryNow());
        bool bDone = pResult->event == event;
        if (bDone && pOut)
            *pOut = *pResult;
        delete pResult;
        if (bDone)
            return true;
    }
    return false;
}

// A file of 4 MB whose every 12 bytes claim a frame of 64 KB: what a
// damaged or hostile file costs at start.
double HostileLoad(const std::wstring& strPath)
{
    std::string data = HistoryFileHeader();
    const unsigned frame[3] = { 0x52485A4E, 65536, 0 };
    while (data.size() < (4 << 20))
        data.append(reinterpret_cast<const char*>(frame), sizeof(frame));
    data += EncodeRecord(Record(1, HistoryNow()), true);
    WriteWholeFile(strPath, data);
    LARGE_INTEGER start = Now();
    HistoryFileContents contents;
    ReadHistoryFile(strPath, data.size(), &contents);
    double dSeconds = Seconds(start);
    printf("load of a hostile 4 MB file (a frame claimed every 12 bytes): %.3f s, %u record found\n", dSeconds,
           (unsigned)contents.records.size());
    return dSeconds;
}

// A decode's record on the tray thread (its Add, the file's append handed
// over), its mean and longest, while bBusy holds.
template <class Busy> void TimeAdds(CScanHistory& history, Busy bBusy, double* pdMean, double* pdLongest)
{
    size_t n = 0;
    double dSum = 0, dLongest = 0;
    do {
        LARGE_INTEGER start = Now();
        history.Add(Record(n, HistoryNow()));
        double d = Seconds(start) * 1e3;
        dSum += d;
        dLongest = std::max(dLongest, d);
        ++n;
        Sleep(2);
    } while (bBusy(n));
    *pdMean = dSum / n;
    *pdLongest = dLongest;
}

}  // namespace

int main()
{
    WCHAR szTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, szTemp);
    std::wstring strPath = std::wstring(szTemp) + L"norza-historybench.dat";
    DeleteFileW(strPath.c_str());
    unsigned long long nStart = HistoryNow() - kRecords * kHistorySecond;
    g_hWnd = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);

    CScanHistory memory;
    double dMemory = AddAll(memory, nStart);
    double dDisk = 0;
    {
        CScanHistory disk;
        disk.StartWorker(g_hWnd, WM_APP);
        disk.OpenFile(strPath);
        WaitFor(disk, HISTORY_FILE_LOADED);
        dDisk = AddAll(disk, nStart);
    }
    printf("a decode's record: %.1f us in memory only, %.1f us with the history on disk (+%.3f ms)\n", dMemory, dDisk,
           (dDisk - dMemory) / 1000);

    LARGE_INTEGER start = Now();
    CScanHistory loaded;
    loaded.StartWorker(g_hWnd, WM_APP);
    loaded.OpenFile(strPath);
    WaitFor(loaded, HISTORY_FILE_LOADED);
    printf("load %u records: %.3f s\n", (unsigned)loaded.Count(), Seconds(start));

    // Each export as the window hands it over: the records copied, the table
    // made and written on the worker, while decodes come.
    std::wstring strOut = std::wstring(szTemp) + L"norza-historybench.out";
    double dIdleMean = 0, dIdleLongest = 0;
    TimeAdds(loaded, [](size_t n) { return n < 200; }, &dIdleMean, &dIdleLongest);
    for (bool bCsv : { true, false }) {
        start = Now();
        auto pCopies = std::make_shared<CRecordSnapshot>();
        size_t nChars = 0;
        for (size_t i = 0; i < loaded.Count(); ++i)
            nChars += CRecordSnapshot::Chars(loaded.At(i));
        pCopies->Reserve(loaded.Count(), nChars);
        for (size_t i = 0; i < loaded.Count(); ++i)
            pCopies->Add(loaded.At(i));
        double dCopy = Seconds(start);
        CHistoryExport job;
        job.strPath = strOut;
        job.bCsv = bCsv;
        job.strSeparator = L",";
        job.makeTable = [pCopies]() {
            ExportTable table;
            table.header = { L"Time", L"Symbology", L"Code", L"Result", L"Program" };
            table.rows.reserve(pCopies->Count());
            for (size_t i = 0; i < pCopies->Count(); ++i) {
                ScanRecord record = pCopies->At(i);
                table.rows.push_back({ record.nTime, { L"1D barcode", record.strCode, L"Typed", record.strProgram } });
            }
            return table;
        };
        start = Now();
        loaded.Export(std::move(job));
        bool bDone = false;
        CHistoryFileResult result;
        double dBusyMean = 0, dBusyLongest = 0;
        TimeAdds(loaded, [&](size_t) {
            MSG msg;
            while (!bDone && PeekMessageW(&msg, g_hWnd, WM_APP, WM_APP, PM_REMOVE)) {
                CHistoryFileResult* pResult = reinterpret_cast<CHistoryFileResult*>(msg.lParam);
                loaded.OnFileResult(*pResult, HistoryNow());
                if (pResult->event == HISTORY_FILE_EXPORTED) {
                    bDone = true;
                    result = *pResult;
                }
                delete pResult;
            }
            return !bDone;
        }, &dBusyMean, &dBusyLongest);
        printf("export %u records to %s on the worker: %.3f s (the records copied on the tray thread: %.3f s)%s\n",
               (unsigned)result.nRows, bCsv ? "CSV" : "XLSX", Seconds(start), dCopy, result.bDone ? "" : " FAILED");
        printf("  a decode's record meanwhile: %.3f ms mean, %.3f ms longest (without an export: %.3f ms, %.3f ms)\n",
               dBusyMean, dBusyLongest, dIdleMean, dIdleLongest);
    }
    DeleteFileW(strOut.c_str());
    loaded.CloseFile(true);
    HostileLoad(strOut);
    DeleteFileW(strOut.c_str());
    return 0;
}
