#include "ProgramEditDlg.h"

#include <algorithm>

#include "dlgfield.h"
#include "escapes.h"
#include "resource.h"
#include "uitext.h"

namespace {

enum { KEY_KEYDELAY = 2, KEY_REPEAT = 3, KEY_METHOD = 7, KEY_DIGITALLINK, KEY_DUP_SCOPE, KEY_DUP_ACTION, KEY_TARGET,
       KEY_RETURN_FOCUS };
const int kSetIds[kProgramKeyCount] = {
    IDC_PROG_SET_PREFIX, IDC_PROG_SET_SUFFIX, IDC_PROG_SET_KEYDELAY, IDC_PROG_SET_REPEAT,
    IDC_PROG_SET_GS, IDC_PROG_SET_RS, IDC_PROG_SET_EOT, IDC_PROG_SET_METHOD, IDC_PROG_SET_DIGITALLINK,
    IDC_PROG_SET_DUP_SCOPE, IDC_PROG_SET_DUP_ACTION, IDC_PROG_SET_TARGET, IDC_PROG_SET_RETURN_FOCUS,
};
const int kValueIds[kProgramKeyCount] = {
    IDC_PROG_PREFIX, IDC_PROG_SUFFIX, IDC_PROG_KEYDELAY, IDC_PROG_REPEAT,
    IDC_PROG_GS, IDC_PROG_RS, IDC_PROG_EOT, IDC_PROG_METHOD, IDC_PROG_DIGITALLINK,
    IDC_PROG_DUP_SCOPE, IDC_PROG_DUP_ACTION, IDC_PROG_TARGET, IDC_PROG_RETURN_FOCUS,
};

const char* const kMethods[] = { "type", "paste" };
const char* const kReturnFocus[] = { "1", "0" };

// The keys chosen from a list: their values, and the texts of the values
// from nFirstText on.
struct CChoiceKey {
    int nKey;
    const char* const* ppszValues;
    int nCount;
    UINT nFirstText;
};
const CChoiceKey kChoiceKeys[] = {
    { KEY_METHOD, kMethods, 2, IDS_RULES_METHOD_TYPE },
    { KEY_DIGITALLINK, kDigitalLinkValues, 3, IDS_DIGITALLINK_ASIS },
    { KEY_DUP_SCOPE, kDuplicateScopes, 4, IDS_SET_DUP_OFF },
    { KEY_DUP_ACTION, kDuplicateActions, 2, IDS_SET_DUP_TYPE },
    { KEY_RETURN_FOCUS, kReturnFocus, 2, IDS_SET_RETURN_YES },
};

const CChoiceKey* ChoiceKey(int nKey)
{
    for (const CChoiceKey& choice : kChoiceKeys) {
        if (choice.nKey == nKey)
            return &choice;
    }
    return NULL;
}

bool IsChoice(int nKey)
{
    return ChoiceKey(nKey) != NULL;
}

// Fills the key's list and chooses its value as the file has it (the first
// value for one the list does not know).
void ShowChoice(HWND hDlg, const CChoiceKey& choice, const std::wstring& strValue)
{
    int nChosen = 0;
    for (int i = 0; i < choice.nCount; ++i) {
        SendDlgItemMessageW(hDlg, kValueIds[choice.nKey], CB_ADDSTRING, 0,
                            (LPARAM)UiText(choice.nFirstText + i).c_str());
        if (lstrcmpiW(strValue.c_str(), AfxWiden(choice.ppszValues[i]).c_str()) == 0)
            nChosen = i;
    }
    SendDlgItemMessageW(hDlg, kValueIds[choice.nKey], CB_SETCURSEL, nChosen, 0);
}

std::wstring ChosenValue(HWND hDlg, const CChoiceKey& choice)
{
    LRESULT n = SendDlgItemMessageW(hDlg, kValueIds[choice.nKey], CB_GETCURSEL, 0, 0);
    return AfxWiden(choice.ppszValues[n >= 0 && n < choice.nCount ? n : 0]);
}

}  // namespace

BEGIN_MESSAGE_MAP(CProgramEditDlg, CDialog)
    ON_COMMAND(IDC_PROG_SET_PREFIX, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_SUFFIX, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_KEYDELAY, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_REPEAT, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_GS, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_RS, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_EOT, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_METHOD, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_DIGITALLINK, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_DUP_SCOPE, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_DUP_ACTION, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_TARGET, OnSetChange)
    ON_COMMAND(IDC_PROG_SET_RETURN_FOCUS, OnSetChange)
END_MESSAGE_MAP()

CProgramEditDlg::CProgramEditDlg(CWnd* pOwner, const CProgramRow& row, const std::vector<std::wstring>& others,
                                 const bool (&abPolicy)[kProgramKeyCount])
    : CDialog(IDD_PROGRAM_EDIT, pOwner), m_row(row), m_others(others)
{
    std::copy(abPolicy, abPolicy + kProgramKeyCount, m_abPolicy);
    InitModalIndirect(UiLoadDialog(IDD_PROGRAM_EDIT));
}

BOOL CProgramEditDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (const CChoiceKey& choice : kChoiceKeys)
        ShowChoice(m_hWnd, choice, m_row.values[choice.nKey]);
    SetDlgItemTextW(m_hWnd, IDC_PROG_NAME, m_row.strProgram.c_str());
    for (int i = 0; i < kProgramKeyCount; ++i) {
        CheckDlgButton(m_hWnd, kSetIds[i], m_row.abSet[i] ? BST_CHECKED : BST_UNCHECKED);
        if (!IsChoice(i))
            SetDlgItemTextW(m_hWnd, kValueIds[i], m_row.values[i].c_str());
    }
    OnSetChange();
    bool bPolicy = std::find(m_abPolicy, m_abPolicy + kProgramKeyCount, true) != m_abPolicy + kProgramKeyCount;
    SetDlgItemTextW(m_hWnd, IDC_PROG_ORG, bPolicy ? UiText(IDS_PROG_POLICY).c_str() : L"");
    return TRUE;
}

void CProgramEditDlg::OnOK()
{
    CProgramRow row = m_row;
    row.strProgram = Trimmed(FieldText(m_hWnd, IDC_PROG_NAME));
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
    for (int i = 0; i < kProgramKeyCount; ++i) {
        if (m_abPolicy[i])
            continue;   // as the file has it: the user cannot change it here
        row.abSet[i] = IsDlgButtonChecked(m_hWnd, kSetIds[i]) == BST_CHECKED;
        const CChoiceKey* pChoice = ChoiceKey(i);
        row.values[i] = !row.abSet[i] ? L""
                        : pChoice     ? ChosenValue(m_hWnd, *pChoice)
                                      : FieldText(m_hWnd, kValueIds[i]);
        if (!row.abSet[i] || IsChoice(i))
            continue;
        std::wstring strExpanded;
        int n;
        bool bValid = i == KEY_KEYDELAY ? ParseNumber(row.values[i], 0, kMaxKeyDelay, &n)
                    : i == KEY_REPEAT ? ParseNumber(row.values[i], 0, kMaxRepeatWindow, &n)
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

void CProgramEditDlg::OnSetChange()
{
    for (int i = 0; i < kProgramKeyCount; ++i) {
        EnableWindow(GetDlgItem(m_hWnd, kSetIds[i]), !m_abPolicy[i]);
        EnableWindow(GetDlgItem(m_hWnd, kValueIds[i]),
                     !m_abPolicy[i] && IsDlgButtonChecked(m_hWnd, kSetIds[i]) == BST_CHECKED);
    }
}
