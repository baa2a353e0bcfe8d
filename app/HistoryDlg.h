// The scan history window: the decodes of this run, newest first, what became
// of each, and a way to copy one or type it again where the user works.
// Modeless, one at a time; the tray window keeps it up to date.
#pragma once

#include <afxwin.h>

#include "history.h"

class CScanWedgeDlg;

class CHistoryDlg : public CDialog {
public:
    explicit CHistoryDlg(CScanWedgeDlg* pTray);

    // Opens the window, or brings it to the front when it is open already.
    void Open();
    // Shows the records added to the history since the last look.
    void Refresh();
    // Tells how the code typed again went.
    void ShowResult(const ScanRecord& record);

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Esc and the close box end a modeless window by destroying it.
    void OnCancel() override;
    void PostNcDestroy() override;

    afx_msg void OnCopy();
    afx_msg void OnRetype();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void InsertColumns();
    void InsertRow(int nRow, const ScanRecord& record);
    int SelectedRow() const;
    void SelectRow(int nRow);
    void UpdateButtons();
    void SetStatus(UINT nID);

    CScanWedgeDlg* m_pTray;
    HWND m_hList;
    size_t m_nShown;   // CScanHistory::Added() when the list was last brought up to date
};
