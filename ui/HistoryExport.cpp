// The history window's export: the selected records, those listed, or all,
// to an Excel workbook or a CSV file the user names, in the user's language.
#include "HistoryDlg.h"

#include <commdlg.h>

#include <memory>
#include <new>

#include "export.h"
#include "snapshot.h"
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

const std::initializer_list<UINT> kHeaderTexts = { IDS_HISTORY_TIME, IDS_HISTORY_SYMBOLOGY, IDS_HISTORY_CODE,
                                                    IDS_HISTORY_RESULT, IDS_HISTORY_PROGRAM };

// Newest first, as the window lists them; made on the history file's worker
// from the texts loaded before.
ExportTable HistoryTable(const CRecordSnapshot& records, const CHistoryTexts& texts)
{
    ExportTable table;
    for (UINT nID : kHeaderTexts)
        table.header.push_back(texts.texts.at(nID));
    table.rows.reserve(records.Count());
    for (size_t i = 0; i < records.Count(); ++i) {
        ScanRecord record = records.At(i);
        // The code exactly as it came; one not kept says so.
        std::wstring strCode = record.bNotKept ? texts.texts.at(IDS_HISTORY_PASTED) : record.strCode;
        table.rows.push_back({ record.nTime, { SymbologyText(record.symbology, &texts), strCode,
                                               HistoryResultText(record, &texts), record.strProgram } });
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
        records = Listed();
    } else if (nChoice == EXPORT_ALL) {
        const CScanHistory& history = m_pTray->History();
        for (size_t i = 0; i < history.Count(); ++i)
            records.push_back(&history.At(i));
    } else {
        return;
    }
    Export(records);
}

// The records are copied for the worker: the history may change while it
// writes. The window says an export is under way until it is done.
void CHistoryDlg::Export(const std::vector<const ScanRecord*>& records)
{
    if (m_pTray->HistoryExporting()) {
        ShowExporting(0, std::wstring());
        return;
    }
    bool bCsv = false;
    std::wstring strPath = AskFileName(m_hWnd, &bCsv);
    if (strPath.empty())
        return;
    CHistoryExport job;
    job.strPath = strPath;
    job.bCsv = bCsv;
    job.strSeparator = ListSeparator();
    size_t nRows = records.size();
    try {
        auto pCopies = std::make_shared<CRecordSnapshot>();
        size_t nChars = 0;
        for (const ScanRecord* pRecord : records)
            nChars += CRecordSnapshot::Chars(*pRecord);
        pCopies->Reserve(records.size(), nChars);
        for (const ScanRecord* pRecord : records)
            pCopies->Add(*pRecord);
        auto pTexts = std::make_shared<CHistoryTexts>(LoadHistoryTexts(kHeaderTexts));
        job.makeTable = [pCopies, pTexts]() { return HistoryTable(*pCopies, *pTexts); };
    } catch (const std::bad_alloc&) {
        ShowExportFailed(true, (int)nRows, strPath);
        return;
    }
    if (!m_pTray->ExportHistory(std::move(job))) {
        ShowExportFailed(false, (int)nRows, strPath);
        return;
    }
    ShowExporting((int)nRows, strPath);
}

void CHistoryDlg::ShowExporting(int nRows, const std::wstring& strPath)
{
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_HISTORY_EXPORT), FALSE);
    if (strPath.empty())
        return;
    WCHAR szText[MAX_PATH + 128];
    wsprintfW(szText, LoadText(IDS_EXPORT_BUSY).c_str(), nRows, strPath.c_str());
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, szText);
}

void CHistoryDlg::ShowExportFailed(bool bOutOfMemory, int nRows, const std::wstring& strPath)
{
    WCHAR szText[MAX_PATH + 128];
    if (bOutOfMemory)
        wsprintfW(szText, LoadText(IDS_EXPORT_NO_MEMORY).c_str(), nRows);
    else
        wsprintfW(szText, LoadText(IDS_EXPORT_FAILED).c_str(), strPath.c_str());
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, szText);
}

void CHistoryDlg::OnExported(const CHistoryFileResult& result)
{
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_HISTORY_EXPORT), TRUE);
    if (!result.bDone) {
        ShowExportFailed(result.bOutOfMemory, (int)result.nRows, result.strPath);
        return;
    }
    WCHAR szText[MAX_PATH + 128];
    wsprintfW(szText, LoadText(IDS_EXPORT_DONE).c_str(), (int)result.nRows, result.strPath.c_str());
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, szText);
}
