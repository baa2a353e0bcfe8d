// One rule's four fields; Action a choice of two.
#pragma once

#include <afxwin.h>

#include "RulesPage.h"

class CRuleEditDlg : public CDialog {
public:
    CRuleEditDlg(CWnd* pOwner, const CRuleRow& row);
    CRuleRow m_row;

protected:
    BOOL OnInitDialog() override;
    // Checked as the reader checks it: a rule it would leave out is refused.
    void OnOK() override;
};
