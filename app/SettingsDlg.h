// The settings window: every option of typeSet.ini and configDecodeTime.ini
// in one modeless dialog opened from the tray menu. It reads both files each
// time it opens and on Reload, and writes only what the user changed, in
// place, both files or neither. What the organisation sets (by policy or in
// its shared settings file) is shown in grey, said so, and never written.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

#include "RulesDlg.h"

// Sent to the tray window once the files hold new settings, which it then
// reads and puts in force.
#define WM_SETTINGS_APPLIED (WM_USER + 6)

class CSettingsDlg : public CDialog {
public:
    // The fields, each showing one key.
    enum Field {
        FIELD_QR, FIELD_DM, FIELD_BARCODE, FIELD_PDF417, FIELD_ENTER, FIELD_PREFIX, FIELD_SUFFIX,
        FIELD_KEYDELAY, FIELD_REPEAT, FIELD_GS, FIELD_RS, FIELD_EOT, FIELD_HOLDOFF, FIELD_NOTICES,
        FIELD_AUTOSTART, FIELD_LANGUAGE, kFieldCount
    };

    CSettingsDlg();

    // Opens the window, or brings the open one to the front.
    void Open(CWnd* pTrayWnd);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnApply();
    afx_msg void OnReload();
    afx_msg void OnRules();
    afx_msg void OnSuffixChange();
    afx_msg void OnModeChange();
    DECLARE_MESSAGE_MAP()

private:
    enum { kFlagCount = 5, kControlCount = 3 };
    enum ControlMode { MODE_KEEP, MODE_DROP, MODE_REPLACE };

    // What the window shows: values as they stand in the files, escapes
    // and all.
    struct CShown {
        BOOL flags[kFlagCount];   // QR, DM, Barcode, PDF417, Enter
        BOOL bEnterKey;           // Enter as the file has it (an empty suffix unchecks the box)
        std::wstring strPrefix;
        std::wstring strSuffix;
        bool bSuffixKey;          // the file has a Suffix key, even an empty one
        std::wstring strKeyDelay;
        std::wstring strRepeat;
        int modes[kControlCount]; // GS, RS, EOT
        std::wstring texts[kControlCount];
        std::wstring strHoldOff;
        BOOL bNotices;
        BOOL bAutostart;
        int nLanguage;            // auto, zh, en
        CRulesPage page;          // rules and program sections
    };

    // Also notes what the organisation sets.
    void ReadFiles(CShown& shown);
    void ShowValues(const CShown& shown);
    void ShowOrganisation();
    CShown TakeValues() const;
    // Refuses the first invalid field, next to it; true when all are valid.
    bool Validate(const CShown& shown);
    // typeSet.ini's changes for what differs from m_loaded.
    std::vector<CIniChange> TypeSetChanges(const CShown& shown) const;
    std::wstring TestCode(const CRulesPage& page, const std::wstring& strSample, const std::wstring& strProgram);
    // Writes what differs from m_loaded; true when done.
    bool Save(const CShown& shown);
    bool SetAutostart(BOOL bOn);
    void UpdateEnabled();
    void Refuse(int nIdControl, const std::wstring& strText);
    std::wstring Text(int nIdControl) const;
    void SetText(int nIdControl, const std::wstring& str);

    CShown m_loaded;
    CRulesPage m_page;            // as edited, not yet written
    HWND m_hWndTray;
    bool m_abOrganisation[kFieldCount];   // set by the organisation
    bool m_bLocked;                       // the window changes nothing
};
