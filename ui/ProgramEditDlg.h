// A program section: its name and the keys it sets, each checked to be set.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

#include "RulesPage.h"

class CProgramEditDlg : public CDialog {
public:
    // others: the names of the other sections, which this one may not take;
    // abPolicy: the keys the organisation sets, shown greyed and kept as
    // they are.
    CProgramEditDlg(CWnd* pOwner, const CProgramRow& row, const std::vector<std::wstring>& others,
                    const bool (&abPolicy)[kProgramKeyCount]);
    CProgramRow m_row;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    afx_msg void OnSetChange();
    DECLARE_MESSAGE_MAP()

private:
    std::vector<std::wstring> m_others;
    bool m_abPolicy[kProgramKeyCount];
};
