// The rules and program sections of typeSet.ini, edited in a dialog owned
// by the settings window, with a test box that shows what a sample code
// would type. The settings window writes them with its other values.
#pragma once

#include <afxwin.h>

#include <functional>
#include <string>
#include <vector>

#include "RulesPage.h"

class CRulesDlg : public CDialog {
public:
    // What a sample code would type with the page as edited (the code and
    // the program's file name as the user wrote them).
    typedef std::function<std::wstring(const CRulesPage&, const std::wstring&, const std::wstring&)> TestFn;

    // Read-only, the lists can only be looked at and tried.
    CRulesDlg(CWnd* pOwner, const CRulesPage& page, TestFn fnTest, bool bReadOnly = false);

    const CRulesPage& Page() const { return m_page; }

protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged() override;

    afx_msg void OnRuleAdd();
    afx_msg void OnRuleEdit();
    afx_msg void OnRuleDelete();
    afx_msg void OnRuleUp();
    afx_msg void OnRuleDown();
    afx_msg void OnProgramAdd();
    afx_msg void OnProgramEdit();
    afx_msg void OnProgramDelete();
    afx_msg void OnTestChange();
    afx_msg void OnTestProgramPicked();
    afx_msg LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void ShowRules(int nSelect);
    void ShowPrograms(int nSelect);
    void MoveRule(int nBy);
    bool EditRule(CRuleRow& row);
    bool EditProgram(CProgramRow& row, int nIndex);
    int Selected(int nIdList) const;
    void UpdateButtons();
    void ShowTest(const std::wstring& strProgram);

    CRulesPage m_page;
    TestFn m_fnTest;
    bool m_bReadOnly;
};
