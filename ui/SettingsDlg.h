// The settings window: every option of typeSet.ini and configDecodeTime.ini
// in one modeless dialog opened from the tray menu, its fields on pages
// behind tabs. It reads both files each time it opens and on Reload, and
// writes only what the user changed, in place, both files or neither. What
// the organisation sets (by policy or in its shared settings file) is shown
// in grey, said so, and never written.
#pragma once

#include <afxwin.h>

#include <memory>
#include <string>
#include <vector>

#include "RulesDlg.h"
#include "SettingsPage.h"

// Sent to the tray window once the files hold new settings, which it then
// reads and puts in force.
#define WM_SETTINGS_APPLIED (WM_USER + 6)

class CSettingsDlg : public CDialog {
public:
    CSettingsDlg();

    // Opens the window, or brings the open one to the front.
    void Open(CWnd* pTrayWnd);

protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnApply();
    afx_msg void OnReload();
    afx_msg void OnRules();
    afx_msg LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void PlacePages();
    void CreatePages();
    void ShowPage(int nPage);
    int CurrentPage() const;
    // Also notes what the organisation sets.
    void ReadFiles();
    void ShowOrganisation();
    // Refuses the first invalid field, on its page; true when all are valid.
    bool Validate();
    // typeSet.ini's changes for what differs from the values read.
    std::vector<CIniChange> TypeSetChanges(const CRulesPage& rules) const;
    std::wstring TestCode(const CRulesPage& rules, const std::wstring& strSample, const std::wstring& strProgram);
    // Writes what differs from the values read; true when done.
    bool Save();
    // The message, then the focus to the field on its page (none: -1).
    void Refuse(int nPage, const CSettingsPage::CRefusal& refusal);

    std::vector<std::unique_ptr<CSettingsPage>> m_pages;
    CRulesPage m_loadedRules;
    CRulesPage m_rules;           // as edited, not yet written
    HWND m_hWndTray;
    bool m_bLocked;               // the window changes nothing
};
