// The scan history window: the decodes kept, newest first, found by any
// part of their code, filtered by result and day, counted for today, and a
// way to copy one, type it again where the user works, or export them.
// Modeless, one at a time; the tray window keeps it up to date.
#pragma once

#include <afxwin.h>
#include <commctrl.h>

#include <vector>

#include "history.h"

class CScanWedgeDlg;

class CHistoryDlg : public CDialog {
public:
    explicit CHistoryDlg(CScanWedgeDlg* pTray);

    // Opens the window, or brings it to the front when it is open already.
    void Open();
    // Shows the history as it stands now.
    void Refresh();
    // Tells how the code typed again went.
    void ShowResult(const ScanRecord& record);

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
    DECLARE_MESSAGE_MAP()

private:
    void InsertColumns();
    void FillChoices();
    // The rows anew from the history and the filters, the selection kept on
    // its records.
    void Rebuild();
    bool Shows(const ScanRecord& record, unsigned long long nSince) const;
    void ShowCounts();
    void OnGetDispInfo(NMLVDISPINFOW* pInfo);
    std::vector<const ScanRecord*> Selected() const;
    const ScanRecord* FirstSelected() const;
    void UpdateButtons();
    void SetStatus(UINT nID);
    void Export(const std::vector<const ScanRecord*>& records);

    CScanWedgeDlg* m_pTray;
    HWND m_hList;
    size_t m_nShown;                          // CScanHistory::Added() when the rows were made
    std::vector<const ScanRecord*> m_rows;    // newest first, as the filters leave them
    std::wstring m_strSearch;                 // in lower case
    std::wstring m_strCell;                   // the text a row's cell shows
};
