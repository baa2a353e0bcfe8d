#include "RulesDlg.h"

#include <commctrl.h>

#include <algorithm>

#include "ProgramEditDlg.h"
#include "RuleEditDlg.h"
#include "dlgfield.h"
#include "resource.h"
#include "uitext.h"

namespace {

// Columns share out the list's width, which the template gives in dialog
// units: they follow the font and the screen's DPI.
void AddColumns(HWND hList, const std::vector<std::pair<UINT, int>>& columns)
{
    const DWORD dwExStyle = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP;
    SendMessageW(hList, LVM_SETEXTENDEDLISTVIEWSTYLE, dwExStyle, dwExStyle);
    RECT rect;
    GetClientRect(hList, &rect);
    int cxList = rect.right - GetSystemMetrics(SM_CXVSCROLL);
    for (size_t i = 0; i < columns.size(); ++i) {
        std::wstring strText = UiText(columns[i].first);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = &strText[0];
        column.cx = cxList * columns[i].second / 100;
        column.iSubItem = (int)i;
        SendMessageW(hList, LVM_INSERTCOLUMNW, i, (LPARAM)&column);
    }
}

void FillList(HWND hList, const std::vector<std::vector<std::wstring>>& rows, int nSelect)
{
    SendMessageW(hList, LVM_DELETEALLITEMS, 0, 0);
    for (size_t nRow = 0; nRow < rows.size(); ++nRow) {
        for (size_t nColumn = 0; nColumn < rows[nRow].size(); ++nColumn) {
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = (int)nRow;
            item.iSubItem = (int)nColumn;
            item.pszText = const_cast<LPWSTR>(rows[nRow][nColumn].c_str());
            SendMessageW(hList, nColumn ? LVM_SETITEMTEXTW : LVM_INSERTITEMW, nRow, (LPARAM)&item);
        }
    }
    if (nSelect >= 0 && nSelect < (int)rows.size()) {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(hList, LVM_SETITEMSTATE, nSelect, (LPARAM)&item);
        SendMessageW(hList, LVM_ENSUREVISIBLE, nSelect, FALSE);
    }
}

}  // namespace

BEGIN_MESSAGE_MAP(CRulesDlg, CDialog)
    ON_COMMAND(IDC_RULES_ADD, OnRuleAdd)
    ON_COMMAND(IDC_RULES_EDIT, OnRuleEdit)
    ON_COMMAND(IDC_RULES_DELETE, OnRuleDelete)
    ON_COMMAND(IDC_RULES_UP, OnRuleUp)
    ON_COMMAND(IDC_RULES_DOWN, OnRuleDown)
    ON_COMMAND(IDC_PROGRAMS_ADD, OnProgramAdd)
    ON_COMMAND(IDC_PROGRAMS_EDIT, OnProgramEdit)
    ON_COMMAND(IDC_PROGRAMS_DELETE, OnProgramDelete)
    ON_EN_CHANGE(IDC_RULES_SAMPLE, OnTestChange)
    ON_CONTROL(CBN_EDITCHANGE, IDC_RULES_PROGRAM, OnTestChange)
    ON_CBN_SELCHANGE(IDC_RULES_PROGRAM, OnTestProgramPicked)
    ON_MESSAGE(WM_NOTIFY, OnNotify)
    ON_MESSAGE(WM_HELP, OnHelp)
END_MESSAGE_MAP()

CRulesDlg::CRulesDlg(CWnd* pOwner, const CRulesPage& page, TestFn fnTest, bool bReadOnly)
    : CDialog(IDD_RULES, pOwner), m_page(page), m_fnTest(fnTest), m_bReadOnly(bReadOnly)
{
    InitModalIndirect(UiLoadDialog(IDD_RULES));
}

BOOL CRulesDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    AddColumns(GetDlgItem(m_hWnd, IDC_RULES_LIST),
               { { IDS_RULES_COL_NUMBER, 17 }, { IDS_RULES_COL_MATCH, 24 }, { IDS_RULES_COL_PROGRAM, 19 },
                 { IDS_RULES_COL_ACTION, 12 }, { IDS_RULES_COL_OUTPUT, 28 } });
    AddColumns(GetDlgItem(m_hWnd, IDC_PROGRAMS_LIST), { { IDS_RULES_COL_PROGRAM, 28 }, { IDS_RULES_COL_KEYS, 72 } });
    bool bShared = !m_page.sharedRules.empty() || !m_page.sharedPrograms.empty();
    SetDlgItemTextW(m_hWnd, IDC_RULES_ORG, bShared ? UiText(IDS_RULES_SHARED).c_str() : L"");
    ShowRules(0);
    ShowPrograms(0);
    return TRUE;
}

// The organisation's rows come first, as they are in force first, marked.
void CRulesDlg::ShowRules(int nSelect)
{
    std::vector<std::vector<std::wstring>> rows;
    auto add = [&rows](const CRuleRow& row, int nNumber, const wchar_t* pszMark) {
        rows.push_back({ L"RULE" + std::to_wstring(nNumber) + pszMark, row.strMatch,
                         row.strProgram.empty() ? UiText(IDS_RULES_ANY) : row.strProgram,
                         UiText(row.Rejects() ? IDS_RULES_REJECT : IDS_RULES_TYPE),
                         row.Rejects() ? L"" : row.bOutput ? row.strOutput : UiText(IDS_RULES_AS_IS) });
    };
    for (const CRuleRow& row : m_page.sharedRules)
        add(row, row.nNumber, L" *");
    for (size_t i = 0; i < m_page.rules.size(); ++i)
        add(m_page.rules[i], (int)i + 1, L"");
    FillList(GetDlgItem(m_hWnd, IDC_RULES_LIST), rows, nSelect + (int)m_page.sharedRules.size());
    UpdateButtons();
    OnTestChange();
}

void CRulesDlg::ShowPrograms(int nSelect)
{
    std::vector<std::vector<std::wstring>> rows;
    HWND hCombo = GetDlgItem(m_hWnd, IDC_RULES_PROGRAM);
    std::wstring strTyped = FieldText(m_hWnd, IDC_RULES_PROGRAM);
    SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);
    auto add = [&rows, hCombo](const CProgramRow& row, const wchar_t* pszMark) {
        std::wstring strKeys;
        for (int i = 0; i < kProgramKeyCount; ++i) {
            if (row.abSet[i])
                strKeys += (strKeys.empty() ? L"" : L"  ") + AfxWiden(kProgramKeys[i]) + L"=" + row.values[i];
        }
        rows.push_back({ row.strProgram + pszMark, strKeys });
        if (SendMessageW(hCombo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)row.strProgram.c_str()) == CB_ERR)
            SendMessageW(hCombo, CB_ADDSTRING, 0, (LPARAM)row.strProgram.c_str());
    };
    for (const CProgramRow& row : m_page.sharedPrograms)
        add(row, L" *");
    for (const CProgramRow& row : m_page.programs)
        add(row, L"");
    SetWindowTextW(hCombo, strTyped.c_str());
    FillList(GetDlgItem(m_hWnd, IDC_PROGRAMS_LIST), rows, nSelect + (int)m_page.sharedPrograms.size());
    UpdateButtons();
    OnTestChange();
}

// The selected row of the local ones: -1 for none, below -1 for one of the
// organisation's (-2 its last).
int CRulesDlg::Selected(int nIdList) const
{
    int nRow = (int)SendDlgItemMessageW(m_hWnd, nIdList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (nRow < 0)
        return -1;
    int nShared = (int)(nIdList == IDC_RULES_LIST ? m_page.sharedRules.size() : m_page.sharedPrograms.size());
    return nRow >= nShared ? nRow - nShared : nRow - nShared - 1;
}

void CRulesDlg::UpdateButtons()
{
    int nRule = Selected(IDC_RULES_LIST), nRules = (int)m_page.rules.size();
    int nProgram = Selected(IDC_PROGRAMS_LIST);
    const struct { int nId; bool bEnable; } buttons[] = {
        { IDC_RULES_ADD, nRules < kMaxRules }, { IDC_RULES_EDIT, nRule >= 0 },
        { IDC_RULES_DELETE, nRule >= 0 }, { IDC_RULES_UP, nRule > 0 },
        { IDC_RULES_DOWN, nRule >= 0 && nRule + 1 < nRules },
        { IDC_PROGRAMS_EDIT, nProgram >= 0 }, { IDC_PROGRAMS_DELETE, nProgram >= 0 },
        { IDC_PROGRAMS_ADD, true },
    };
    for (const auto& button : buttons)
        EnableWindow(GetDlgItem(m_hWnd, button.nId), button.bEnable && !m_bReadOnly);
}

bool CRulesDlg::EditRule(CRuleRow& row)
{
    CRuleEditDlg dlg(this, row);
    // The program may be ending while the dialog is up.
    if (dlg.DoModal() != IDOK || !IsWindow(m_hWnd))
        return false;
    row = dlg.m_row;
    return true;
}

void CRulesDlg::OnRuleAdd()
{
    CRuleRow row = { 0, L"", L"", L"", false, L"", L"" };
    if ((int)m_page.rules.size() >= kMaxRules || !EditRule(row))
        return;
    // After the selected rule, as the user reads the list (first after the
    // organisation's); else last.
    int nSelected = Selected(IDC_RULES_LIST);
    int nAt = nSelected == -1 ? (int)m_page.rules.size() : std::max(nSelected + 1, 0);
    m_page.rules.insert(m_page.rules.begin() + nAt, row);
    ShowRules(nAt);
}

void CRulesDlg::OnRuleEdit()
{
    int nRule = Selected(IDC_RULES_LIST);
    if (nRule < 0)
        return;
    CRuleRow row = m_page.rules[nRule];
    if (EditRule(row)) {
        m_page.rules[nRule] = row;
        ShowRules(nRule);
    }
}

void CRulesDlg::OnRuleDelete()
{
    int nRule = Selected(IDC_RULES_LIST);
    if (nRule < 0)
        return;
    m_page.rules.erase(m_page.rules.begin() + nRule);
    ShowRules(nRule < (int)m_page.rules.size() ? nRule : nRule - 1);
}

void CRulesDlg::MoveRule(int nBy)
{
    int nRule = Selected(IDC_RULES_LIST);
    if (nRule < 0 || nRule + nBy < 0 || nRule + nBy >= (int)m_page.rules.size())
        return;
    std::swap(m_page.rules[nRule], m_page.rules[nRule + nBy]);
    ShowRules(nRule + nBy);
}

void CRulesDlg::OnRuleUp()
{
    MoveRule(-1);
}

void CRulesDlg::OnRuleDown()
{
    MoveRule(1);
}

bool CRulesDlg::EditProgram(CProgramRow& row, int nIndex)
{
    std::vector<std::wstring> others;
    for (int i = 0; i < (int)m_page.programs.size(); ++i) {
        if (i != nIndex)
            others.push_back(m_page.programs[i].strProgram);
    }
    // What the organisation sets for every program, and in its own section
    // for this one.
    bool abOrganisation[kProgramKeyCount];
    std::copy(m_page.abPolicy, m_page.abPolicy + kProgramKeyCount, abOrganisation);
    for (const CProgramRow& shared : m_page.sharedPrograms) {
        if (!row.strProgram.empty() && lstrcmpiW(shared.strProgram.c_str(), row.strProgram.c_str()) == 0) {
            for (int i = 0; i < kProgramKeyCount; ++i)
                abOrganisation[i] = abOrganisation[i] || shared.abSet[i];
        }
    }
    CProgramEditDlg dlg(this, row, others, abOrganisation);
    if (dlg.DoModal() != IDOK || !IsWindow(m_hWnd))
        return false;
    row = dlg.m_row;
    return true;
}

void CRulesDlg::OnProgramAdd()
{
    CProgramRow row = {};
    if (!EditProgram(row, -1))
        return;
    m_page.programs.push_back(row);
    ShowPrograms((int)m_page.programs.size() - 1);
}

void CRulesDlg::OnProgramEdit()
{
    int nProgram = Selected(IDC_PROGRAMS_LIST);
    if (nProgram < 0)
        return;
    CProgramRow row = m_page.programs[nProgram];
    if (EditProgram(row, nProgram)) {
        m_page.programs[nProgram] = row;
        ShowPrograms(nProgram);
    }
}

void CRulesDlg::OnProgramDelete()
{
    int nProgram = Selected(IDC_PROGRAMS_LIST);
    if (nProgram < 0)
        return;
    m_page.programs.erase(m_page.programs.begin() + nProgram);
    ShowPrograms(nProgram < (int)m_page.programs.size() ? nProgram : nProgram - 1);
}

void CRulesDlg::OnTestChange()
{
    ShowTest(FieldText(m_hWnd, IDC_RULES_PROGRAM));
}

// The combo box's text changes only after this notification.
void CRulesDlg::OnTestProgramPicked()
{
    HWND hCombo = GetDlgItem(m_hWnd, IDC_RULES_PROGRAM);
    LRESULT nItem = SendMessageW(hCombo, CB_GETCURSEL, 0, 0);
    LRESULT nLength = nItem >= 0 ? SendMessageW(hCombo, CB_GETLBTEXTLEN, nItem, 0) : CB_ERR;
    if (nLength == CB_ERR)
        return OnTestChange();
    std::wstring str(nLength + 1, L'\0');
    str.resize(SendMessageW(hCombo, CB_GETLBTEXT, nItem, (LPARAM)&str[0]));
    ShowTest(str);
}

void CRulesDlg::ShowTest(const std::wstring& strProgram)
{
    std::wstring strSample = FieldText(m_hWnd, IDC_RULES_SAMPLE);
    std::wstring strResult = strSample.empty() ? L"" : m_fnTest(m_page, strSample, Trimmed(strProgram));
    SetDlgItemTextW(m_hWnd, IDC_RULES_RESULT, strResult.c_str());
}

LRESULT CRulesDlg::OnNotify(WPARAM, LPARAM lParam)
{
    const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
    bool bRules = pHeader->idFrom == IDC_RULES_LIST;
    if (pHeader->code == NM_DBLCLK && (bRules || pHeader->idFrom == IDC_PROGRAMS_LIST) && !m_bReadOnly) {
        if (bRules)
            OnRuleEdit();
        else
            OnProgramEdit();
    } else if (pHeader->code == LVN_ITEMCHANGED) {
        UpdateButtons();
    }
    return 0;
}

void CRulesDlg::OnDpiChanged()
{
    FitColumns(GetDlgItem(m_hWnd, IDC_RULES_LIST));
    FitColumns(GetDlgItem(m_hWnd, IDC_PROGRAMS_LIST));
}
