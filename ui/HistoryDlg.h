// The scan history window: the decodes kept, newest first, found by any
// part of their code, filtered by result and day, counted for today, and a
// way to copy one, type it again where the user works, or export them.
// Modeless, one at a time; the tray window keeps it up to date.
#pragma once

#include <afxwin.h>
#include <commctrl.h>

#include <vector>

#include "help.h"
#include "history.h"
#include "historyhost.h"
#include "historylist.h"

class CHistoryDlg : public CDialog {
public:
    explicit CHistoryDlg(IHistoryHost* pHost);

    // Opens the window, or brings it to the front when it is open already.
    void Open();
    // Shows the history as it stands now.
    void Refresh();
    // Tells how the code typed again went.
    void ShowResult(const ScanRecord& record);
    // Tells how the export went; another may start.
    void OnExported(const CHistoryFileResult& result);

protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Esc and the close box end a modeless window by destroying it.
    void OnCancel() override;
    void PostNcDestroy() override;

    afx_msg void OnCopy();
    afx_msg void OnRetype();
    afx_msg void OnExport();
    afx_msg void OnFilterChanged();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnHelp(WPARAM, LPARAM) { return HelpAnswered(m_hWnd, HELP_HISTORY); }
    afx_msg LRESULT OnSlice(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void InsertColumns();
    void FillChoices();
    // The rows and counts as the history and the filters stand now.
    void Update();
    void ShowCounts();
    void OnGetDispInfo(NMLVDISPINFOW* pInfo);
    std::vector<const ScanRecord*> Selected() const;
    const ScanRecord* FirstSelected() const;
    // Every record the filters show, newest first.
    std::vector<const ScanRecord*> Listed();
    void UpdateButtons();
    void SetStatus(UINT nID);
    void Export(const std::vector<const ScanRecord*>& records);
    void ShowExporting(int nRows, const std::wstring& strPath);
    void ShowExportFailed(bool bOutOfMemory, int nRows, const std::wstring& strPath);

    IHistoryHost* m_pTray;
    HWND m_hList;
    CHistoryList m_list;
    CHistoryFilter m_filter;                  // its period from the day start
    int m_nPeriod;
    CHistoryCounts m_shownCounts;
    bool m_bCountsShown;
    std::wstring m_strCell;                   // the text a row's cell shows
};
