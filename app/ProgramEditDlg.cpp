#include "ProgramEditDlg.h"

#include <algorithm>

#include "dlgfield.h"
#include "escapes.h"
#include "resource.h"
#include "uitext.h"

namespace {

enum { KEY_KEYDELAY = 2, KEY_REPEAT = 3, KEY_METHOD = 7, KEY_DIGITALLINK = 8 };
const int kSetIds[kProgramKeyCount] = {
    IDC_PROG_SET_PREFIX, IDC_PROG_SET_SUFFIX, IDC_PROG_SET_KEYDELAY, IDC_PROG_SET_REPEAT,
    IDC_PROG_SET_GS, IDC_PROG_SET_RS, IDC_PROG_SET_EOT, IDC_PROG_SET_METHOD, IDC_PROG_SET_DIGITALLINK,
};
const int kValueIds[kProgramKeyCount] = {
    IDC_PROG_PREFIX, IDC_PROG_SUFFIX, IDC_PROG_KEYDELAY, IDC_PROG_REPEAT,
    IDC_PROG_GS, IDC_PROG_RS, IDC_PROG_EOT, IDC_PROG_METHOD, IDC_PROG_DIGITALLINK,
};
const wchar_t* const kMethods[] = { L"type", L"paste" };

bool IsChoice(int nKey)
{
    return nKey == KEY_METHOD || nKey == KEY_DIGITALLINK;
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
    for (UINT nText : { IDS_RULES_METHOD_TYPE, IDS_RULES_METHOD_PASTE })
        SendDlgItemMessageW(m_hWnd, IDC_PROG_METHOD, CB_ADDSTRING, 0, (LPARAM)UiText(nText).c_str());
    bool bPaste = lstrcmpiW(m_row.values[KEY_METHOD].c_str(), L"paste") == 0;
    SendDlgItemMessageW(m_hWnd, IDC_PROG_METHOD, CB_SETCURSEL, bPaste ? 1 : 0, 0);
    int nLink = 0;
    for (UINT nText : { IDS_DIGITALLINK_ASIS, IDS_DIGITALLINK_ELEMENT, IDS_DIGITALLINK_HRI }) {
        SendDlgItemMessageW(m_hWnd, IDC_PROG_DIGITALLINK, CB_ADDSTRING, 0, (LPARAM)UiText(nText).c_str());
        int nChoice = (int)(nText - IDS_DIGITALLINK_ASIS);
        if (lstrcmpiW(m_row.values[KEY_DIGITALLINK].c_str(), AfxWiden(kDigitalLinkValues[nChoice]).c_str()) == 0)
            nLink = nChoice;
    }
    SendDlgItemMessageW(m_hWnd, IDC_PROG_DIGITALLINK, CB_SETCURSEL, nLink, 0);
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
    LRESULT nMethod = SendDlgItemMessageW(m_hWnd, IDC_PROG_METHOD, CB_GETCURSEL, 0, 0);
    LRESULT nLink = SendDlgItemMessageW(m_hWnd, IDC_PROG_DIGITALLINK, CB_GETCURSEL, 0, 0);
    for (int i = 0; i < kProgramKeyCount; ++i) {
        if (m_abPolicy[i])
            continue;   // as the file has it: the user cannot change it here
        row.abSet[i] = IsDlgButtonChecked(m_hWnd, kSetIds[i]) == BST_CHECKED;
        row.values[i] = !row.abSet[i]            ? L""
                        : i == KEY_METHOD        ? kMethods[nMethod == 1]
                        : i == KEY_DIGITALLINK   ? AfxWiden(kDigitalLinkValues[nLink >= 1 && nLink <= 2 ? nLink : 0])
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
