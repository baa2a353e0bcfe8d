#include "RulesDlg.h"

#include <commctrl.h>

#include <algorithm>

#include "resource.h"
#include "rules.h"
#include "uitext.h"

namespace {

enum { KEY_KEYDELAY = 2, KEY_REPEAT = 3, KEY_METHOD = 7 };
const int kSetIds[kProgramKeyCount] = {
    IDC_PROG_SET_PREFIX, IDC_PROG_SET_SUFFIX, IDC_PROG_SET_KEYDELAY, IDC_PROG_SET_REPEAT,
    IDC_PROG_SET_GS, IDC_PROG_SET_RS, IDC_PROG_SET_EOT, IDC_PROG_SET_METHOD,
};
const int kValueIds[kProgramKeyCount] = {
    IDC_PROG_PREFIX, IDC_PROG_SUFFIX, IDC_PROG_KEYDELAY, IDC_PROG_REPEAT,
    IDC_PROG_GS, IDC_PROG_RS, IDC_PROG_EOT, IDC_PROG_METHOD,
};
const wchar_t* const kMethods[] = { L"type", L"paste" };

std::wstring Text(HWND hDlg, int nId)
{
    HWND hControl = GetDlgItem(hDlg, nId);
    std::wstring str(GetWindowTextLengthW(hControl) + 1, L'\0');
    str.resize(GetWindowTextW(hControl, &str[0], (int)str.size()));
    return str;
}

std::wstring Trimmed(const std::wstring& str)
{
    size_t nFirst = str.find_first_not_of(L" \t"), nLast = str.find_last_not_of(L" \t");
    return nFirst == std::wstring::npos ? std::wstring() : str.substr(nFirst, nLast - nFirst + 1);
}

bool NumberWithin(const std::wstring& str, int nMax)
{
    if (str.empty() || str.size() > 9 || str.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    return _wtoi(str.c_str()) <= nMax;
}

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

CRuleSetting RuleSetting(const CRuleRow& row)
{
    CRuleSetting setting;
    setting.nNumber = row.nNumber;
    setting.strMatch = EncodeMatchValue(row.strMatch).c_str();
    setting.strProgram = EncodeSettingValue(row.strProgram).c_str();
    setting.strOutput = EncodeSettingValue(row.strOutput).c_str();
    setting.bOutput = row.bOutput;
    setting.strAction = EncodeSettingValue(row.strAction).c_str();
    return setting;
}

std::string RuleSection(int nNumber)
{
    return "RULE" + std::to_string(nNumber);
}

std::string ProgramSection(const std::wstring& strProgram)
{
    return "OUTPUT:" + EncodeSettingValue(strProgram);
}

// One rule's four fields; Action a choice of two.
class CRuleEditDlg : public CDialog {
public:
    CRuleEditDlg(CWnd* pOwner, const CRuleRow& row) : CDialog(IDD_RULE_EDIT, pOwner), m_row(row) {}
    CRuleRow m_row;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        for (UINT nText : { IDS_RULES_TYPE, IDS_RULES_REJECT })
            SendDlgItemMessageW(m_hWnd, IDC_RULE_ACTION, CB_ADDSTRING, 0, (LPARAM)UiText(nText).c_str());
        SendDlgItemMessageW(m_hWnd, IDC_RULE_ACTION, CB_SETCURSEL, m_row.Rejects() ? 1 : 0, 0);
        SetDlgItemTextW(m_hWnd, IDC_RULE_MATCH, m_row.strMatch.c_str());
        SetDlgItemTextW(m_hWnd, IDC_RULE_PROGRAM, m_row.strProgram.c_str());
        SetDlgItemTextW(m_hWnd, IDC_RULE_OUTPUT, m_row.strOutput.c_str());
        return TRUE;
    }

    // Checked as the reader checks it: a rule it would leave out is refused.
    void OnOK() override
    {
        CRuleRow row = m_row;
        row.strMatch = Text(m_hWnd, IDC_RULE_MATCH);
        row.strProgram = Text(m_hWnd, IDC_RULE_PROGRAM);
        row.strOutput = Text(m_hWnd, IDC_RULE_OUTPUT);
        // An empty output types the code as it is: the key goes.
        row.bOutput = !row.strOutput.empty();
        bool bReject = SendDlgItemMessageW(m_hWnd, IDC_RULE_ACTION, CB_GETCURSEL, 0, 0) == 1;
        if (bReject != m_row.Rejects())
            row.strAction = bReject ? L"reject" : L"type";
        if (Trimmed(row.strMatch).empty()) {
            RefuseField(m_hWnd, IDC_RULE_MATCH, UiText(IDS_RULES_NO_MATCH));
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
};

// A program section: its name and the keys it sets, each checked to be set.
class CProgramEditDlg : public CDialog {
public:
    CProgramEditDlg(CWnd* pOwner, const CProgramRow& row, const std::vector<std::wstring>& others)
        : CDialog(IDD_PROGRAM_EDIT, pOwner), m_row(row), m_others(others) {}
    CProgramRow m_row;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        for (UINT nText : { IDS_RULES_METHOD_TYPE, IDS_RULES_METHOD_PASTE })
            SendDlgItemMessageW(m_hWnd, IDC_PROG_METHOD, CB_ADDSTRING, 0, (LPARAM)UiText(nText).c_str());
        bool bPaste = lstrcmpiW(m_row.values[KEY_METHOD].c_str(), L"paste") == 0;
        SendDlgItemMessageW(m_hWnd, IDC_PROG_METHOD, CB_SETCURSEL, bPaste ? 1 : 0, 0);
        SetDlgItemTextW(m_hWnd, IDC_PROG_NAME, m_row.strProgram.c_str());
        for (int i = 0; i < kProgramKeyCount; ++i) {
            CheckDlgButton(m_hWnd, kSetIds[i], m_row.abSet[i] ? BST_CHECKED : BST_UNCHECKED);
            if (i != KEY_METHOD)
                SetDlgItemTextW(m_hWnd, kValueIds[i], m_row.values[i].c_str());
        }
        OnSetChange();
        return TRUE;
    }

    void OnOK() override
    {
        CProgramRow row = m_row;
        row.strProgram = Trimmed(Text(m_hWnd, IDC_PROG_NAME));
        if (row.strProgram.empty() || row.strProgram.find_first_of(L"[]") != std::wstring::npos) {
            RefuseField(m_hWnd, IDC_PROG_NAME, UiText(IDS_RULES_BAD_PROGRAM));
            return;
        }
        for (const std::wstring& strOther : m_others) {
            if (lstrcmpiW(strOther.c_str(), row.strProgram.c_str()) == 0) {
                RefuseField(m_hWnd, IDC_PROG_NAME, UiFormat(IDS_RULES_DUPLICATE, row.strProgram));
                return;
            }
        }
        LRESULT nMethod = SendDlgItemMessageW(m_hWnd, IDC_PROG_METHOD, CB_GETCURSEL, 0, 0);
        for (int i = 0; i < kProgramKeyCount; ++i) {
            row.abSet[i] = IsDlgButtonChecked(m_hWnd, kSetIds[i]) == BST_CHECKED;
            row.values[i] = !row.abSet[i] ? L"" : i == KEY_METHOD ? kMethods[nMethod == 1] : Text(m_hWnd, kValueIds[i]);
            if (!row.abSet[i] || i == KEY_METHOD)
                continue;
            std::wstring strExpanded;
            bool bValid = i == KEY_KEYDELAY ? NumberWithin(row.values[i], kMaxKeyDelay)
                        : i == KEY_REPEAT ? NumberWithin(row.values[i], kMaxRepeatWindow)
                        : ExpandEscapes(EncodeSettingValue(row.values[i]).c_str(), strExpanded);
            if (!bValid) {
                RefuseField(m_hWnd, kValueIds[i],
                            i == KEY_KEYDELAY ? UiText(IDS_SET_BAD_KEYDELAY)
                            : i == KEY_REPEAT ? UiText(IDS_SET_BAD_REPEAT)
                            : UiFormat(IDS_SET_BAD_ESCAPE, AfxWiden(kProgramKeys[i])));
                return;
            }
        }
        // A section without keys would change nothing, and not be written.
        if (std::find(row.abSet, row.abSet + kProgramKeyCount, true) == row.abSet + kProgramKeyCount) {
            RefuseField(m_hWnd, IDC_PROG_SET_PREFIX, UiText(IDS_RULES_NO_KEYS));
            return;
        }
        m_row = row;
        EndDialog(IDOK);
    }

    afx_msg void OnSetChange()
    {
        for (int i = 0; i < kProgramKeyCount; ++i)
            EnableWindow(GetDlgItem(m_hWnd, kValueIds[i]), IsDlgButtonChecked(m_hWnd, kSetIds[i]) == BST_CHECKED);
    }
    DECLARE_MESSAGE_MAP()

private:
    std::vector<std::wstring> m_others;
};

BEGIN_MESSAGE_MAP(CProgramEditDlg, CDialog)
    ON_COMMAND(IDC_PROG_SET_PREFIX, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_SUFFIX, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_KEYDELAY, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_REPEAT, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_GS, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_RS, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_EOT, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_METHOD, OnSetChange)
END_MESSAGE_MAP()

}  // namespace

bool CRuleRow::SameValues(const CRuleRow& other) const
{
    return strMatch == other.strMatch && strProgram == other.strProgram && strOutput == other.strOutput &&
           bOutput == other.bOutput && strAction == other.strAction;
}

bool CRuleRow::Rejects() const
{
    return lstrcmpiW(strAction.c_str(), L"reject") == 0;
}

bool CProgramRow::SameValues(const CProgramRow& other) const
{
    if (strProgram != other.strProgram)
        return false;
    for (int i = 0; i < kProgramKeyCount; ++i) {
        if (abSet[i] != other.abSet[i] || values[i] != other.values[i])
            return false;
    }
    return true;
}

CRulesPage ReadRulesPage(LPCSTR pszPath)
{
    CRulesPage page;
    for (const CRuleSetting& setting : ReadRuleSettings(pszPath)) {
        page.rules.push_back({ setting.nNumber, AfxWiden(setting.strMatch), AfxWiden(setting.strProgram),
                               AfxWiden(setting.strOutput), setting.bOutput, AfxWiden(setting.strAction) });
    }
    for (const CProgramSetting& setting : ReadProgramSettings(pszPath)) {
        CProgramRow row;
        row.strOriginal = row.strProgram = AfxWiden(setting.strProgram);
        for (int i = 0; i < kProgramKeyCount; ++i) {
            row.abSet[i] = setting.abSet[i];
            row.values[i] = AfxWiden(setting.values[i]);
        }
        page.programs.push_back(row);
    }
    return page;
}

void AddRulesPageChanges(const CRulesPage& edited, const CRulesPage& loaded, std::vector<CIniChange>& changes)
{
    for (const CRuleRow& old : loaded.rules) {
        size_t i = 0;
        while (i < edited.rules.size() && edited.rules[i].nNumber != old.nNumber)
            ++i;
        if (i == edited.rules.size())
            changes.push_back({ RuleSection(old.nNumber), NULL, "", true });
        else if ((int)i + 1 != old.nNumber)
            changes.push_back({ RuleSection(old.nNumber), NULL, RuleSection((int)i + 1), false });
    }
    for (size_t i = 0; i < edited.rules.size(); ++i) {
        const CRuleRow& row = edited.rules[i];
        const CRuleRow* pOld = NULL;
        for (const CRuleRow& old : loaded.rules)
            pOld = row.nNumber && old.nNumber == row.nNumber ? &old : pOld;
        if (pOld && pOld->SameValues(row))
            continue;
        std::string strSection = RuleSection((int)i + 1);
        changes.push_back({ strSection, "Match", EncodeMatchValue(row.strMatch), false });
        changes.push_back({ strSection, "Program", EncodeSettingValue(row.strProgram), row.strProgram.empty() });
        changes.push_back({ strSection, "Output", EncodeSettingValue(row.strOutput), !row.bOutput });
        changes.push_back({ strSection, "Action", EncodeSettingValue(row.strAction), row.strAction.empty() });
    }

    for (const CProgramRow& old : loaded.programs) {
        const CProgramRow* pRow = NULL;
        for (const CProgramRow& row : edited.programs)
            pRow = row.strOriginal == old.strOriginal ? &row : pRow;
        if (!pRow)
            changes.push_back({ ProgramSection(old.strOriginal), NULL, "", true });
        else if (pRow->strProgram != old.strOriginal)
            changes.push_back({ ProgramSection(old.strOriginal), NULL, ProgramSection(pRow->strProgram), false });
    }
    for (const CProgramRow& row : edited.programs) {
        const CProgramRow* pOld = NULL;
        for (const CProgramRow& old : loaded.programs)
            pOld = !row.strOriginal.empty() && old.strOriginal == row.strOriginal ? &old : pOld;
        bool bSame = pOld && pOld->SameValues(row);
        for (int i = 0; i < kProgramKeyCount && !bSame; ++i) {
            if (!pOld || pOld->abSet[i] != row.abSet[i] || pOld->values[i] != row.values[i])
                changes.push_back({ ProgramSection(row.strProgram), kProgramKeys[i],
                                    EncodeSettingValue(row.values[i]), !row.abSet[i] });
        }
    }
}

void MarkRulesPageSaved(CRulesPage& page)
{
    for (size_t i = 0; i < page.rules.size(); ++i)
        page.rules[i].nNumber = (int)i + 1;
    for (CProgramRow& row : page.programs)
        row.strOriginal = row.strProgram;
}

void RefuseField(HWND hDlg, int nIdControl, const std::wstring& strText)
{
    WCHAR szCaption[128] = {};
    GetWindowTextW(hDlg, szCaption, ARRAYSIZE(szCaption));
    MessageBoxW(hDlg, strText.c_str(), szCaption, MB_OK | MB_ICONWARNING);
    HWND hControl = nIdControl ? GetDlgItem(hDlg, nIdControl) : NULL;
    if (hControl && IsWindow(hDlg)) {
        SendMessageW(hDlg, WM_NEXTDLGCTL, (WPARAM)hControl, TRUE);
        SendMessageW(hControl, EM_SETSEL, 0, -1);
    }
}

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
               { { IDS_RULES_COL_NUMBER, 13 }, { IDS_RULES_COL_MATCH, 26 }, { IDS_RULES_COL_PROGRAM, 20 },
                 { IDS_RULES_COL_ACTION, 11 }, { IDS_RULES_COL_OUTPUT, 30 } });
    AddColumns(GetDlgItem(m_hWnd, IDC_PROGRAMS_LIST), { { IDS_RULES_COL_PROGRAM, 28 }, { IDS_RULES_COL_KEYS, 72 } });
    ShowRules(0);
    ShowPrograms(0);
    return TRUE;
}

void CRulesDlg::ShowRules(int nSelect)
{
    std::vector<std::vector<std::wstring>> rows;
    for (size_t i = 0; i < m_page.rules.size(); ++i) {
        const CRuleRow& row = m_page.rules[i];
        rows.push_back({ L"RULE" + std::to_wstring(i + 1), row.strMatch,
                         row.strProgram.empty() ? UiText(IDS_RULES_ANY) : row.strProgram,
                         UiText(row.Rejects() ? IDS_RULES_REJECT : IDS_RULES_TYPE),
                         row.Rejects() ? L"" : row.bOutput ? row.strOutput : UiText(IDS_RULES_AS_IS) });
    }
    FillList(GetDlgItem(m_hWnd, IDC_RULES_LIST), rows, nSelect);
    UpdateButtons();
    OnTestChange();
}

void CRulesDlg::ShowPrograms(int nSelect)
{
    std::vector<std::vector<std::wstring>> rows;
    HWND hCombo = GetDlgItem(m_hWnd, IDC_RULES_PROGRAM);
    std::wstring strTyped = Text(m_hWnd, IDC_RULES_PROGRAM);
    SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);
    for (const CProgramRow& row : m_page.programs) {
        std::wstring strKeys;
        for (int i = 0; i < kProgramKeyCount; ++i) {
            if (row.abSet[i])
                strKeys += (strKeys.empty() ? L"" : L"  ") + AfxWiden(kProgramKeys[i]) + L"=" + row.values[i];
        }
        rows.push_back({ row.strProgram, strKeys });
        SendMessageW(hCombo, CB_ADDSTRING, 0, (LPARAM)row.strProgram.c_str());
    }
    SetWindowTextW(hCombo, strTyped.c_str());
    FillList(GetDlgItem(m_hWnd, IDC_PROGRAMS_LIST), rows, nSelect);
    UpdateButtons();
    OnTestChange();
}

int CRulesDlg::Selected(int nIdList) const
{
    return (int)SendDlgItemMessageW(m_hWnd, nIdList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
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
    dlg.InitModalIndirect(UiLoadDialog(IDD_RULE_EDIT));
    // The program may be ending while the dialog is up.
    if (dlg.DoModal() != IDOK || !IsWindow(m_hWnd))
        return false;
    row = dlg.m_row;
    return true;
}

void CRulesDlg::OnRuleAdd()
{
    CRuleRow row = { 0, L"", L"", L"", false, L"" };
    if ((int)m_page.rules.size() >= kMaxRules || !EditRule(row))
        return;
    // After the selected rule, as the user reads the list; else last.
    int nAt = Selected(IDC_RULES_LIST) + 1;
    if (nAt <= 0)
        nAt = (int)m_page.rules.size();
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
    CProgramEditDlg dlg(this, row, others);
    dlg.InitModalIndirect(UiLoadDialog(IDD_PROGRAM_EDIT));
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
    ShowTest(Text(m_hWnd, IDC_RULES_PROGRAM));
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
    std::wstring strSample = Text(m_hWnd, IDC_RULES_SAMPLE);
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
