#include "RuleEditDlg.h"

#include "dlgfield.h"
#include "escapes.h"
#include "resource.h"
#include "rules.h"
#include "uitext.h"

CRuleEditDlg::CRuleEditDlg(CWnd* pOwner, const CRuleRow& row) : CDialog(IDD_RULE_EDIT, pOwner), m_row(row)
{
    InitModalIndirect(UiLoadDialog(IDD_RULE_EDIT));
}

BOOL CRuleEditDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (UINT nText : { IDS_RULES_TYPE, IDS_RULES_REJECT })
        SendDlgItemMessageW(m_hWnd, IDC_RULE_ACTION, CB_ADDSTRING, 0, (LPARAM)UiText(nText).c_str());
    SendDlgItemMessageW(m_hWnd, IDC_RULE_ACTION, CB_SETCURSEL, m_row.Rejects() ? 1 : 0, 0);
    SetDlgItemTextW(m_hWnd, IDC_RULE_MATCH, m_row.strMatch.c_str());
    SetDlgItemTextW(m_hWnd, IDC_RULE_PROGRAM, m_row.strProgram.c_str());
    SetDlgItemTextW(m_hWnd, IDC_RULE_OUTPUT, m_row.strOutput.c_str());
    SetDlgItemTextW(m_hWnd, IDC_RULE_TARGET, m_row.strTarget.c_str());
    return TRUE;
}

void CRuleEditDlg::OnOK()
{
    CRuleRow row = m_row;
    row.strMatch = FieldText(m_hWnd, IDC_RULE_MATCH);
    row.strProgram = FieldText(m_hWnd, IDC_RULE_PROGRAM);
    row.strOutput = FieldText(m_hWnd, IDC_RULE_OUTPUT);
    row.strTarget = Trimmed(FieldText(m_hWnd, IDC_RULE_TARGET));
    // An empty output types the code as it is: the key goes.
    row.bOutput = !row.strOutput.empty();
    bool bReject = SendDlgItemMessageW(m_hWnd, IDC_RULE_ACTION, CB_GETCURSEL, 0, 0) == 1;
    if (bReject != m_row.Rejects())
        row.strAction = bReject ? L"reject" : L"type";
    if (Trimmed(row.strMatch).empty()) {
        RefuseField(m_hWnd, IDC_RULE_MATCH, UiText(IDS_RULES_NO_MATCH));
        return;
    }
    std::wstring strTarget;
    if (!ExpandEscapes(EncodeSettingValue(row.strTarget).c_str(), strTarget)) {
        RefuseField(m_hWnd, IDC_RULE_TARGET, UiFormat(IDS_SET_BAD_ESCAPE, L"Target"));
        return;
    }
    // Each field alone, the others as they could not fail.
    CRuleRow onlyMatch = row, onlyProgram = row, onlyOutput = row;
    onlyMatch.strProgram = onlyOutput.strProgram = L"";
    onlyMatch.bOutput = onlyProgram.bOutput = false;
    onlyProgram.strMatch = onlyOutput.strMatch = L"x";
    const struct { const CRuleRow* pRow; int nId; std::wstring strText; } checks[] = {
        { &onlyMatch, IDC_RULE_MATCH, UiText(IDS_RULES_BAD_MATCH) },
        { &onlyProgram, IDC_RULE_PROGRAM, UiFormat(IDS_SET_BAD_ESCAPE, L"Program") },
        { &onlyOutput, IDC_RULE_OUTPUT, UiText(IDS_RULES_BAD_OUTPUT) },
    };
    for (const auto& check : checks) {
        CRules rules;
        rules.Load({ RuleSetting(*check.pRow) });
        if (!rules.Errors().empty()) {
            RefuseField(m_hWnd, check.nId, check.strText);
            return;
        }
    }
    m_row = row;
    EndDialog(IDOK);
}
