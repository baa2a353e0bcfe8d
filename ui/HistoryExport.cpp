// The history window's export: the selected records, those listed, or all,
// to an Excel workbook or a CSV file the user names, in the user's language.
#include "HistoryDlg.h"

#include <commdlg.h>

#include "ScanWedgeDlg.h"
#include "export.h"
#include "resource.h"
#include "uitext.h"

namespace {

enum { EXPORT_SELECTION = 1, EXPORT_VIEW, EXPORT_ALL };

std::wstring LoadText(UINT nID)
{
    WCHAR szText[256] = L"";
    UiLoadString(nID, szText, ARRAYSIZE(szText));
    return szText;
}

// Newest first, as the window lists them.
ExportTable HistoryTable(const std::vector<const ScanRecord*>& records)
{
    ExportTable table;
    for (UINT nID : { IDS_HISTORY_TIME, IDS_HISTORY_SYMBOLOGY, IDS_HISTORY_CODE, IDS_HISTORY_RESULT,
                      IDS_HISTORY_PROGRAM })
        table.header.push_back(LoadText(nID));
    table.rows.reserve(records.size());
    for (const ScanRecord* pRecord : records) {
        // The code exactly as it came; one not kept says so.
        std::wstring strCode = pRecord->bNotKept ? LoadText(IDS_HISTORY_PASTED) : pRecord->strCode;
        table.rows.push_back({ pRecord->nTime, { SymbologyText(pRecord->symbology), strCode,
                                                 HistoryResultText(*pRecord), pRecord->strProgram } });
    }
    return table;
}

// The file the user names; "" when the dialog is cancelled.
std::wstring AskFileName(HWND hOwner, bool* pbCsv)
{
    std::wstring strFilter = LoadText(IDS_EXPORT_FILTER);
    for (wchar_t& ch : strFilter) {
        if (ch == L'|')
            ch = L'\0';
    }
    SYSTEMTIME today;
    GetLocalTime(&today);
    WCHAR szFile[MAX_PATH];
    wsprintfW(szFile, L"%s %04u-%02u-%02u", LoadText(IDS_EXPORT_FILE_NAME).c_str(), today.wYear, today.wMonth,
              today.wDay);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = strFilter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = szFile;
    ofn.nMaxFile = ARRAYSIZE(szFile);
    ofn.lpstrDefExt = L"xlsx";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn))
        return std::wstring();
    const wchar_t* pszExt = wcsrchr(szFile, L'.');
    *pbCsv = pszExt ? lstrcmpiW(pszExt, L".csv") == 0 : ofn.nFilterIndex == 2;
    return szFile;
}

}  // namespace

void CHistoryDlg::OnExport()
{
    HMENU hMenu = CreatePopupMenu();
    if (!hMenu)
        return;
    bool bSelected = FirstSelected() != NULL;
    AppendMenuW(hMenu, MF_STRING | (bSelected ? 0 : MF_GRAYED), EXPORT_SELECTION, LoadText(IDS_EXPORT_SELECTION).c_str());
    AppendMenuW(hMenu, MF_STRING, EXPORT_VIEW, LoadText(IDS_EXPORT_VIEW).c_str());
    AppendMenuW(hMenu, MF_STRING, EXPORT_ALL, LoadText(IDS_EXPORT_ALL).c_str());
    RECT rect;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_HISTORY_EXPORT), &rect);
    int nChoice = TrackPopupMenu(hMenu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_BOTTOMALIGN, rect.left,
                                 rect.top, 0, m_hWnd, NULL);
    DestroyMenu(hMenu);
    std::vector<const ScanRecord*> records;
    if (nChoice == EXPORT_SELECTION) {
        records = Selected();
    } else if (nChoice == EXPORT_VIEW) {
        records = m_rows;
    } else if (nChoice == EXPORT_ALL) {
        const CScanHistory& history = m_pTray->History();
        for (size_t i = 0; i < history.Count(); ++i)
            records.push_back(&history.At(i));
    } else {
        return;
    }
    Export(records);
}

void CHistoryDlg::Export(const std::vector<const ScanRecord*>& records)
{
    // The table first: the history may change while the dialog is open.
    ExportTable table = HistoryTable(records);
    bool bCsv = false;
    std::wstring strPath = AskFileName(m_hWnd, &bCsv);
    if (strPath.empty())
        return;
    std::string data = bCsv ? CsvText(table, ListSeparator()) : XlsxData(table);
    WCHAR szText[MAX_PATH + 128];
    bool bWritten = !data.empty() && WriteWholeFile(strPath, data);
    std::wstring strFormat = LoadText(bWritten ? IDS_EXPORT_DONE : IDS_EXPORT_FAILED);
    if (bWritten)
        wsprintfW(szText, strFormat.c_str(), (int)table.rows.size(), strPath.c_str());
    else
        wsprintfW(szText, strFormat.c_str(), strPath.c_str());
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, szText);
}
