// The scan history window's list with 100,000 records: what a scan costs the
// tray thread with the list open against closed, and how long a keystroke of
// search takes to show its rows. The list is the window's own (a virtual
// list view over CHistoryList) in a plain window; the time covers every
// message the change causes, its painting included. Prints figures;
// asserts nothing.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "historylist.h"

namespace {

const size_t kRecords = kHistoryRecords;
const UINT WM_SLICE = WM_APP + 1;

CScanHistory g_history;
CHistoryList g_list;
std::wstring g_strCell;

double Ms(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return (double)(now.QuadPart - start.QuadPart) * 1000.0 / (double)freq.QuadPart;
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

unsigned long long Today()
{
    return LocalDayStart(HistoryNow());
}

// A GS1 code of a parcel, as warehouses scan them; one in ten not typed.
ScanRecord Record(size_t i, unsigned long long nTime)
{
    ScanRecord record = {};
    record.nTime = nTime;
    char szCode[64];
    sprintf(szCode, "]C1000950600013435%010u", (unsigned)i);
    record.strBytes = szCode;
    record.strCode = std::wstring(record.strBytes.begin(), record.strBytes.end());
    record.strProgram = L"EXCEL.EXE";
    record.outcome = i % 10 ? SCAN_TYPED : SCAN_NOT_TYPED;
    record.symbology = SYMBOLOGY_BARCODE;
    return record;
}

// As the history window does: the cells' texts asked for as rows are drawn.
void OnGetDispInfo(NMLVDISPINFOW* pInfo)
{
    LVITEMW& item = pInfo->item;
    if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || !item.cchTextMax)
        return;
    if (!g_list.View().InStep(g_history))
        g_list.Follow(g_history, Today());
    if ((size_t)item.iItem >= g_list.View().Rows())
        return;
    const ScanRecord& record = g_list.View().Row(g_history, item.iItem);
    SYSTEMTIME time = LocalTimeOf(record.nTime);
    WCHAR szTime[32];
    switch (item.iSubItem) {
    case 0:
        wsprintfW(szTime, L"%02u:%02u:%02u", time.wHour, time.wMinute, time.wSecond);
        g_strCell = szTime;
        break;
    case 2: g_strCell = record.strCode; break;
    case 4: g_strCell = record.strProgram; break;
    default: g_strCell = L"-"; break;
    }
    lstrcpynW(item.pszText, g_strCell.c_str(), item.cchTextMax);
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_SLICE) {
        g_list.Follow(g_history, Today());
        g_list.OnSlice(g_history);
        return 0;
    }
    if (nMsg == WM_NOTIFY && ((NMHDR*)lParam)->code == LVN_GETDISPINFOW) {
        OnGetDispInfo((NMLVDISPINFOW*)lParam);
        return 0;
    }
    return DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

// Every message waiting handled; *pdLongest: the longest one took, the
// time a decode arriving meanwhile would wait at most.
void Pump(double* pdLongest)
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        LARGE_INTEGER start = Now();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (pdLongest)
            *pdLongest = std::max(*pdLongest, Ms(start));
    }
}

struct CFigures {
    double dTotal = 0, dWorst = 0;
    int nTimes = 0;
    void Add(double d)
    {
        dTotal += d;
        dWorst = std::max(dWorst, d);
        ++nTimes;
    }
    double Mean() const { return nTimes ? dTotal / nTimes : 0; }
};

// A scan as the tray thread takes it: the record added and, with the list
// open, the list following it; then, apart, the list drawn anew (*pPaint).
CFigures Scans(size_t nFrom, int nScans, HWND hList, CFigures* pPaint)
{
    CFigures figures;
    for (int i = 0; i < nScans; ++i) {
        ScanRecord record = Record(nFrom + i, HistoryNow());
        LARGE_INTEGER start = Now();
        g_history.Add(record);
        if (hList)
            g_list.Follow(g_history, Today());
        figures.Add(Ms(start));
        if (hList) {
            start = Now();
            UpdateWindow(hList);
            Pump(NULL);
            pPaint->Add(Ms(start));
        }
    }
    return figures;
}

// The filter set as a keystroke or a choice would, and the time until its
// rows are all found and drawn.
double ShowFilter(const CHistoryFilter& filter, HWND hList, double* pdLongest)
{
    LARGE_INTEGER start = Now();
    g_list.Follow(g_history, Today());
    g_list.SetFilter(g_history, filter);
    for (int nGuard = 0; g_list.View().Pending() && nGuard < 100000; ++nGuard)
        Pump(pdLongest);
    UpdateWindow(hList);
    return Ms(start);
}

}  // namespace

int main()
{
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_LISTVIEW_CLASSES };
    InitCommonControlsEx(&icc);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"NorzaHistoryBench";
    RegisterClassW(&wc);
    HWND hWnd = CreateWindowW(wc.lpszClassName, L"history", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 500, NULL,
                              NULL, wc.hInstance, NULL);
    HWND hList = CreateWindowW(WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                               0, 0, 880, 460, hWnd, NULL, wc.hInstance, NULL);
    SendMessageW(hList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < 5; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH;
        column.cx = i == 2 ? 300 : 120;
        SendMessageW(hList, LVM_INSERTCOLUMNW, i, (LPARAM)&column);
    }
    Pump(NULL);

    // Half a second apart, the newest now.
    unsigned long long nNow = HistoryNow();
    for (size_t i = 0; i < kRecords; ++i)
        g_history.Add(Record(i, nNow - (kRecords - i) * (kHistorySecond / 2)));

    const int kScans = 500;
    CFigures closed = Scans(kRecords, kScans, NULL, NULL), paint;

    g_list.Attach(hList, WM_SLICE);
    LARGE_INTEGER start = Now();
    g_list.Follow(g_history, Today());
    g_list.OnSlice(g_history);
    while (g_list.View().Pending())
        Pump(NULL);
    UpdateWindow(hList);
    double dOpen = Ms(start);
    // A row the user picked, kept on its record as scans come.
    LVITEMW item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hList, LVM_SETITEMSTATE, 5, (LPARAM)&item);
    CFigures open = Scans(2 * kRecords, kScans, hList, &paint);
    CHistoryFilter filter;
    filter.strSearch = L"]c10009506";
    ShowFilter(filter, hList, NULL);
    CFigures searched = Scans(3 * kRecords, kScans, hList, &paint);

    printf("%u records; the list open: all listed in %.1f ms\n", (unsigned)g_history.Count(), dOpen);
    printf("a scan, list closed: mean %.3f ms, worst %.3f ms\n", closed.Mean(), closed.dWorst);
    printf("a scan, list open: mean %.3f ms, worst %.3f ms (+%.3f ms)\n", open.Mean(), open.dWorst,
           open.Mean() - closed.Mean());
    printf("a scan, list open on a search every record matches: mean %.3f ms, worst %.3f ms (+%.3f ms)\n",
           searched.Mean(), searched.dWorst, searched.Mean() - closed.Mean());
    printf("the open list drawn anew after a scan (Wine's painting): mean %.1f ms, worst %.1f ms\n", paint.Mean(),
           paint.dWorst);

    // A code typed into the search box a character at a time, in small
    // letters: each of the first 18 keeps every record; then erased.
    const std::wstring strCode = L"]c10009506000134350000099999";
    CFigures growing, shrinking;
    double dLongest = 0;
    filter.strSearch.clear();
    ShowFilter(filter, hList, NULL);
    for (size_t n = 1; n <= strCode.size(); ++n) {
        filter.strSearch = strCode.substr(0, n);
        growing.Add(ShowFilter(filter, hList, &dLongest));
    }
    printf("a keystroke that grows the search: mean %.1f ms, worst %.1f ms (%u rows at the end)\n", growing.Mean(),
           growing.dWorst, (unsigned)g_list.View().Rows());
    for (size_t n = strCode.size(); n-- > 0;) {
        filter.strSearch = strCode.substr(0, n);
        shrinking.Add(ShowFilter(filter, hList, &dLongest));
    }
    printf("a keystroke that shrinks the search: mean %.1f ms, worst %.1f ms\n", shrinking.Mean(), shrinking.dWorst);
    filter.shown = SHOW_NOT_TYPED;
    double dNotTyped = ShowFilter(filter, hList, &dLongest);
    filter.shown = SHOW_ALL;
    double dAll = ShowFilter(filter, hList, &dLongest);
    printf("result filter: only not typed %.1f ms, back to all %.1f ms\n", dNotTyped, dAll);
    printf("the longest message of this work (what a decode waits at most): %.1f ms\n", dLongest);
    DestroyWindow(hWnd);
    return 0;
}
