// The rules and program sections of typeSet.ini, edited in a dialog owned
// by the settings window, with a test box that shows what a sample code
// would type. The settings window writes them with its other values.
#pragma once

#include <afxwin.h>

#include <functional>
#include <string>
#include <vector>

#include "iniwrite.h"
#include "settings.h"

// A rule as the window edits it: values as they stand in the file, escapes
// and all.
struct CRuleRow {
    int nNumber;              // its section's number in the file; 0: new
    std::wstring strMatch;
    std::wstring strProgram;
    std::wstring strOutput;
    bool bOutput;             // it has an Output key; otherwise the code as it is
    std::wstring strAction;   // as the file has it: "", "type" or "reject"

    bool SameValues(const CRuleRow& other) const;
    bool Rejects() const;
};

// A section [OUTPUT:<program file name>]: only the keys it sets.
struct CProgramRow {
    std::wstring strOriginal;   // the program's name in the file; empty: new
    std::wstring strProgram;
    bool abSet[kProgramKeyCount];
    std::wstring values[kProgramKeyCount];

    bool SameValues(const CProgramRow& other) const;
};

struct CRulesPage {
    std::vector<CRuleRow> rules;
    std::vector<CProgramRow> programs;
};

CRulesPage ReadRulesPage(LPCSTR pszPath);

// The changes to typeSet.ini that turn the page as loaded into the page as
// edited: rules numbered 1..n in list order (a moved rule's section is
// renamed, keeping its comments and other keys), deleted ones removed.
void AddRulesPageChanges(const CRulesPage& edited, const CRulesPage& loaded, std::vector<CIniChange>& changes);

// The page as it stands in the file once the edited one is written.
void MarkRulesPageSaved(CRulesPage& page);

// Says why a value is refused, then gives its field the focus, its text
// selected for typing over.
void RefuseField(HWND hDlg, int nIdControl, const std::wstring& strText);

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
