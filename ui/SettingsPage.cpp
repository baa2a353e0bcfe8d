#include "SettingsPage.h"

#include <uxtheme.h>

#include <algorithm>

#include "dlgfield.h"
#include "uitext.h"

namespace {

// What a field is called, as its label or check box says it, without the
// access key.
std::wstring FieldName(HWND hControl)
{
    WCHAR szClass[16] = {};
    GetClassNameW(hControl, szClass, ARRAYSIZE(szClass));
    HWND hLabel = lstrcmpiW(szClass, L"Button") == 0 ? hControl : GetWindow(hControl, GW_HWNDPREV);
    std::wstring str(GetWindowTextLengthW(hLabel) + 1, L'\0');
    str.resize(GetWindowTextW(hLabel, &str[0], (int)str.size()));
    size_t nAt = str.find(L"(&");
    if (nAt != std::wstring::npos && str.find(L')', nAt) != std::wstring::npos)
        str.erase(nAt, str.find(L')', nAt) - nAt + 1);
    str.erase(std::remove(str.begin(), str.end(), L'&'), str.end());
    while (!str.empty() && (str.back() == L':' || str.back() == 0xFF1A || str.back() == L' '))
        str.pop_back();
    return str;
}

}  // namespace

std::wstring SettingText(LPCSTR pszSection, LPCSTR pszKey, const CSettingsSource& settings,
                         const std::wstring& strDefault)
{
    CString strValue;
    return ReadSettingValue(pszSection, pszKey, settings, strValue) ? AfxWiden(strValue) : strDefault;
}

int SettingNumber(const std::wstring& str)
{
    int n = 0;
    ParseNumber(str, 0, 999999999, &n);
    return n;
}

CSettingsPage::CSettingsPage(UINT nIDTemplate, const CField* pFields, int nFields)
    : CDialog(nIDTemplate), m_nIDPage(nIDTemplate), m_pFields(pFields), m_nFields(nFields),
      m_abOrganisation(nFields, false)
{
}

BOOL CSettingsPage::Create(CWnd* pFrame)
{
    if (!CreateIndirect(UiLoadDialog(m_nIDPage), pFrame))
        return FALSE;
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    return TRUE;
}

BOOL CSettingsPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    return FALSE;   // the frame gives the focus
}

BOOL CSettingsPage::PreTranslateMessage(MSG*)
{
    return FALSE;
}

void CSettingsPage::OnOK()
{
    ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, IDOK, 0);
}

void CSettingsPage::OnCancel()
{
    ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, IDCANCEL, 0);
}

void CSettingsPage::Load(const CSettingsSource& settings, bool bLocked)
{
    const CPolicy& policy = settings.Policy();
    for (int i = 0; i < m_nFields; ++i) {
        const CField& field = m_pFields[i];
        m_abOrganisation[i] = bLocked || (field.pszSection ? settings.Origin(field.pszSection, field.pszKey) >=
                                                                  ORIGIN_SHARED
                                                            : policy.Has(field.pszKey));
    }
    ReadValues(settings);
    ShowValues();
    // Greyed or not anew: a Reload may find a policy gone.
    for (int i = 0; i < m_nFields; ++i) {
        for (int nId : m_pFields[i].nIds) {
            if (nId)
                ::EnableWindow(GetDlgItem(m_hWnd, nId), !m_abOrganisation[i]);
        }
    }
    UpdateEnabled();
}

void CSettingsPage::AddChanges(std::vector<CIniChange>& changes) const
{
    std::vector<CIniChange> mine;
    AddValueChanges(mine);
    // What the organisation sets is never written, whatever the page shows.
    for (const CIniChange& change : mine) {
        bool bOrganisation = false;
        for (int i = 0; i < m_nFields; ++i) {
            const CField& field = m_pFields[i];
            bOrganisation |= field.pszSection && change.pszKey && m_abOrganisation[i] &&
                             lstrcmpiA(change.strSection.c_str(), field.pszSection) == 0 &&
                             lstrcmpiA(change.pszKey, field.pszKey) == 0;
        }
        if (!bOrganisation)
            changes.push_back(change);
    }
}

void CSettingsPage::AddOrganisationNames(std::vector<std::wstring>& names) const
{
    for (int i = 0; i < m_nFields; ++i) {
        if (m_abOrganisation[i])
            names.push_back(FieldName(GetDlgItem(m_hWnd, m_pFields[i].nIds[0])));
    }
}

void CSettingsPage::AddFileEdits(std::vector<CFileEdit>&) const
{
}

std::wstring CSettingsPage::Text(int nId) const
{
    return FieldText(m_hWnd, nId);
}

void CSettingsPage::SetText(int nId, const std::wstring& str)
{
    SetDlgItemTextW(m_hWnd, nId, str.c_str());
}

BOOL CSettingsPage::Checked(int nId) const
{
    return IsDlgButtonChecked(m_hWnd, nId) == BST_CHECKED;
}

void CSettingsPage::Check(int nId, BOOL bCheck)
{
    CheckDlgButton(m_hWnd, nId, bCheck ? BST_CHECKED : BST_UNCHECKED);
}

int CSettingsPage::Choice(int nId) const
{
    return (int)SendDlgItemMessageW(m_hWnd, nId, CB_GETCURSEL, 0, 0);
}

void CSettingsPage::Choose(int nId, int nChoice)
{
    SendDlgItemMessageW(m_hWnd, nId, CB_SETCURSEL, nChoice, 0);
}

void CSettingsPage::AddChoices(int nId, const std::vector<std::wstring>& texts)
{
    for (const std::wstring& str : texts)
        SendDlgItemMessageW(m_hWnd, nId, CB_ADDSTRING, 0, (LPARAM)str.c_str());
}
