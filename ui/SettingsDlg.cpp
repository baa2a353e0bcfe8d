#include "SettingsDlg.h"

#include <commctrl.h>

#include "GeneralPage.h"
#include "OutputPage.h"
#include "SoundsPage.h"
#include "HistoryPage.h"
#include "dlgfield.h"
#include "resource.h"
#include "sampletest.h"
#include "savefiles.h"
#include "uitext.h"

namespace {

// The pages, in tab order. A page is a CSettingsPage of its own file, with
// its dialog (DS_CONTROL | WS_CHILD) in both languages of Norza.rc and its
// tab's caption among the strings: adding one is its line here and its
// header included above.
struct CPageEntry {
    UINT nIdsCaption;
    std::unique_ptr<CSettingsPage> (*pfnNew)();
};

template <class T>
std::unique_ptr<CSettingsPage> NewPage()
{
    return std::unique_ptr<CSettingsPage>(new T);
}

const CPageEntry kPages[] = {
    { IDS_SETPAGE_GENERAL, NewPage<CGeneralPage> },
    { IDS_SETPAGE_OUTPUT, NewPage<COutputPage> },
    { IDS_SETPAGE_SOUNDS, NewPage<CSoundsPage> },
    { IDS_SETPAGE_HISTORY, NewPage<CHistoryPage> },
};

}  // namespace

BEGIN_MESSAGE_MAP(CSettingsDlg, CDialog)
    ON_COMMAND(IDC_SET_APPLY, OnApply)
    ON_COMMAND(IDC_SET_RELOAD, OnReload)
    ON_COMMAND(IDC_SET_RULES, OnRules)
    ON_MESSAGE(WM_NOTIFY, OnNotify)
END_MESSAGE_MAP()

CSettingsDlg::CSettingsDlg()
    : CDialog(IDD_SETTINGS), m_hWndTray(NULL), m_bLocked(false)
{
}

void CSettingsDlg::Open(CWnd* pTrayWnd)
{
    if (!m_hWnd) {
        m_hWndTray = pTrayWnd->m_hWnd;
        if (!CreateIndirect(UiLoadDialog(IDD_SETTINGS), pTrayWnd))
            return;
    }
    if (IsIconic())
        ShowWindow(SW_RESTORE);
    ShowWindow(SW_SHOW);
    // The rules dialog, or a message over it, when one is open.
    ::SetForegroundWindow(GetLastActivePopup(m_hWnd));
}

BOOL CSettingsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CreatePages();
    ReadFiles();
    ShowPage(0);
    HWND hFirst = m_pages.empty() ? NULL : ::GetNextDlgTabItem(m_pages[0]->m_hWnd, NULL, FALSE);
    ::SetFocus(hFirst ? hFirst : GetDlgItem(m_hWnd, IDC_SET_TABS));
    return FALSE;
}

void CSettingsDlg::CreatePages()
{
    // The window is made anew at each opening, its pages with it.
    m_pages.clear();
    HWND hTabs = GetDlgItem(m_hWnd, IDC_SET_TABS);
    for (const CPageEntry& entry : kPages) {
        std::unique_ptr<CSettingsPage> pPage = entry.pfnNew();
        if (!pPage->Create(this))
            continue;
        std::wstring strCaption = UiText(entry.nIdsCaption);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = &strCaption[0];
        ::SendMessageW(hTabs, TCM_INSERTITEMW, m_pages.size(), (LPARAM)&item);
        m_pages.push_back(std::move(pPage));
    }
    // Some tab controls leave the focus item unset until a tab is chosen:
    // the arrow keys would then not turn the first page.
    ::SendMessageW(hTabs, TCM_SETCURFOCUS, 0, 0);

    PlacePages();
}

// The pages fill the tabs' display area, whose top depends on the tabs
// themselves; each follows the tabs in the order Tab moves the focus.
void CSettingsDlg::PlacePages()
{
    HWND hTabs = GetDlgItem(m_hWnd, IDC_SET_TABS);
    RECT rc;
    ::GetWindowRect(hTabs, &rc);
    MapWindowPoints(NULL, m_hWnd, (LPPOINT)&rc, 2);
    TabCtrl_AdjustRect(hTabs, FALSE, &rc);
    HWND hAfter = hTabs;
    for (const std::unique_ptr<CSettingsPage>& pPage : m_pages) {
        ::SetWindowPos(pPage->m_hWnd, hAfter, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOACTIVATE);
        hAfter = pPage->m_hWnd;
    }
}

int CSettingsDlg::CurrentPage() const
{
    return (int)::SendMessageW(GetDlgItem(m_hWnd, IDC_SET_TABS), TCM_GETCURSEL, 0, 0);
}

void CSettingsDlg::ShowPage(int nPage)
{
    if (nPage < 0 || nPage >= (int)m_pages.size())
        return;
    ::SendMessageW(GetDlgItem(m_hWnd, IDC_SET_TABS), TCM_SETCURSEL, nPage, 0);
    HWND hShown = m_pages[nPage]->m_hWnd;
    ::ShowWindow(hShown, SW_SHOW);
    // The focus does not stay on a page out of sight: it goes to the first
    // field of the one shown.
    HWND hFocus = ::GetFocus();
    for (const std::unique_ptr<CSettingsPage>& pPage : m_pages) {
        if (pPage->m_hWnd == hShown)
            continue;
        if (::IsChild(pPage->m_hWnd, hFocus)) {
            HWND hFirst = ::GetNextDlgTabItem(hShown, NULL, FALSE);
            ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, (WPARAM)(hFirst ? hFirst : GetDlgItem(m_hWnd, IDC_SET_TABS)),
                           TRUE);
        }
        ::ShowWindow(pPage->m_hWnd, SW_HIDE);
    }
}

LRESULT CSettingsDlg::OnNotify(WPARAM, LPARAM lParam)
{
    const NMHDR* pHeader = (const NMHDR*)lParam;
    if (pHeader->idFrom == IDC_SET_TABS && pHeader->code == TCN_SELCHANGE)
        ShowPage(CurrentPage());
    return 0;
}

BOOL CSettingsDlg::PreTranslateMessage(MSG* pMsg)
{
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from any field, as in the
    // system's property sheets.
    int nPages = (int)m_pages.size();
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0 && nPages &&
        (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd))) {
        ShowPage((CurrentPage() + (GetKeyState(VK_SHIFT) < 0 ? nPages - 1 : 1)) % nPages);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

void CSettingsDlg::OnOK()
{
    if (Validate() && Save())
        DestroyWindow();
}

void CSettingsDlg::OnCancel()
{
    DestroyWindow();
}

void CSettingsDlg::OnApply()
{
    if (Validate())
        Save();
}

void CSettingsDlg::OnReload()
{
    ReadFiles();
}

void CSettingsDlg::OnRules()
{
    CRulesDlg dlg(this, m_rules, [this](const CRulesPage& rules, const std::wstring& strSample,
                                        const std::wstring& strProgram) {
        return TestCode(rules, strSample, strProgram);
    }, m_bLocked);
    // The program may be ending while the dialog is up.
    if (dlg.DoModal() == IDOK && IsWindow(m_hWnd) && !m_bLocked)
        m_rules = dlg.Page();
}

// What the sample would type with the window's values as they stand,
// written or not: the readers themselves read the text the window would
// write, so the test shows what the saved settings will do.
std::wstring CSettingsDlg::TestCode(const CRulesPage& rules, const std::wstring& strSample,
                                    const std::wstring& strProgram)
{
    std::string strText;
    if (!ReadFileBytes(TypeSetPath(), strText))
        return UiSystemText(GetLastError());
    return TestSample(ChangeIniText(strText, TypeSetChanges(rules)), strSample, strProgram);
}

void CSettingsDlg::ReadFiles()
{
    // The values in force, what the organisation sets among them.
    CSettingsSource settings = ProgramSettings();
    m_bLocked = settings.Policy().Flag(POLICY_SETTINGS_LOCKED, 0) == 1;
    for (const std::unique_ptr<CSettingsPage>& pPage : m_pages)
        pPage->Load(settings, m_bLocked);
    // The window edits the local file's own rules and program sections, and
    // shows the organisation's beside them.
    m_loadedRules = ReadRulesPage(settings);
    m_rules = m_loadedRules;
    ShowOrganisation();
}

void CSettingsDlg::ShowOrganisation()
{
    std::vector<std::wstring> names;
    for (const std::unique_ptr<CSettingsPage>& pPage : m_pages)
        pPage->AddOrganisationNames(names);
    std::wstring strFields;
    for (const std::wstring& strName : names)
        strFields += (strFields.empty() ? L"" : UiText(IDS_SET_ORG_SEPARATOR)) + strName;
    ::EnableWindow(GetDlgItem(m_hWnd, IDC_SET_APPLY), !m_bLocked);
    std::wstring strText = m_bLocked ? UiText(IDS_SET_ORG_LOCKED)
                         : strFields.empty() ? L"" : UiFormat(IDS_SET_ORG_FIELDS, strFields);
    SetDlgItemTextW(m_hWnd, IDC_SET_ORG, strText.c_str());
}

bool CSettingsDlg::Validate()
{
    for (size_t i = 0; i < m_pages.size(); ++i) {
        CSettingsPage::CRefusal refusal;
        if (!m_pages[i]->Validate(&refusal)) {
            Refuse((int)i, refusal);
            return false;
        }
    }
    return true;
}

std::vector<CIniChange> CSettingsDlg::TypeSetChanges(const CRulesPage& rules) const
{
    std::vector<CIniChange> changes;
    if (m_bLocked)
        return changes;
    for (const std::unique_ptr<CSettingsPage>& pPage : m_pages)
        pPage->AddChanges(changes);
    AddRulesPageChanges(rules, m_loadedRules, changes);
    return changes;
}

bool CSettingsDlg::Save()
{
    std::vector<CIniChange> changes = TypeSetChanges(m_rules);
    std::vector<CSettingsPage::CFileEdit> edits;
    if (!m_bLocked) {
        for (const std::unique_ptr<CSettingsPage>& pPage : m_pages)
            pPage->AddFileEdits(edits);
    }

    // Read again now: a hand edit since the window opened stays, but for
    // the keys changed here.
    std::vector<CFileContent> files;
    std::string strOld;
    CString strPath = TypeSetPath();
    DWORD dwError = 0;
    if (!changes.empty()) {
        if (!ReadFileBytes(strPath, strOld))
            dwError = GetLastError();
        else if (strOld.compare(0, 2, "\xFF\xFE") == 0 || strOld.compare(0, 2, "\xFE\xFF") == 0)
            dwError = ERROR_UNSUPPORTED_TYPE;   // UTF-16, which this writer does not edit
        else if (ChangeIniText(strOld, changes) != strOld)
            files.push_back({ strPath, ChangeIniText(strOld, changes) });
    }
    for (const CSettingsPage::CFileEdit& edit : edits) {
        if (dwError)
            break;
        strPath = edit.strPath;
        if (!ReadFileBytes(strPath, strOld))
            dwError = GetLastError();
        else
            files.push_back({ strPath, edit.fnChange(strOld) });
    }
    size_t nFailed = 0;
    if (!dwError && !files.empty()) {
        dwError = WriteFilesTogether(files, &nFailed);
        if (dwError)
            strPath = files[nFailed].strPath;
    }
    if (dwError) {
        Refuse(-1, { 0, UiFormat(IDS_SET_NOT_SAVED, AfxWiden(strPath), UiSystemText(dwError)) });
        return false;
    }

    int nRefused = -1;
    CSettingsPage::CRefusal refusal = {};
    for (size_t i = 0; i < m_pages.size(); ++i) {
        CSettingsPage::CRefusal pageRefusal = {};
        if (!m_pages[i]->Saved(&pageRefusal) && nRefused < 0) {
            nRefused = (int)i;
            refusal = pageRefusal;
        }
    }
    m_loadedRules = m_rules;
    MarkRulesPageSaved(m_loadedRules);
    m_rules = m_loadedRules;
    if (!files.empty())
        ::SendMessageA(m_hWndTray, WM_SETTINGS_APPLIED, 0, 0);
    if (nRefused >= 0)
        Refuse(nRefused, refusal);
    return nRefused < 0;
}

void CSettingsDlg::Refuse(int nPage, const CSettingsPage::CRefusal& refusal)
{
    HWND hControl = NULL;
    if (nPage >= 0 && nPage < (int)m_pages.size()) {
        ShowPage(nPage);
        hControl = GetDlgItem(m_pages[nPage]->m_hWnd, refusal.nIdControl);
    }
    RefuseControl(m_hWnd, hControl, refusal.strText);
}

void CSettingsDlg::OnDpiChanged()
{
    PlacePages();
}
