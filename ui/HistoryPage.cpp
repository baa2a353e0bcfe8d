#include "HistoryPage.h"

#include "dlgfield.h"
#include "history.h"
#include "resource.h"
#include "uitext.h"

BEGIN_MESSAGE_MAP(CHistoryPage, CSettingsPage)
    ON_COMMAND(IDC_SET_HISTORY_CLEAR, OnClear)
    ON_COMMAND(IDC_SET_HISTORY_DISK, OnChoiceChanged)
    ON_CBN_SELCHANGE(IDC_SET_DUP_SCOPE, OnChoiceChanged)
END_MESSAGE_MAP()

namespace {

enum Field { FIELD_ON_DISK, FIELD_DAYS, FIELD_SCOPE, FIELD_ACTION, kFieldCount };

const CSettingsPage::CField kFields[] = {
    { "HISTORY", "HistoryOnDisk", { IDC_SET_HISTORY_DISK } }, { "HISTORY", "HistoryDays", { IDC_SET_HISTORY_DAYS } },
    { "OUTPUT", "DuplicateScope", { IDC_SET_DUP_SCOPE } }, { "OUTPUT", "DuplicateAction", { IDC_SET_DUP_ACTION } },
};
static_assert(ARRAYSIZE(kFields) == kFieldCount, "a field for each");

}  // namespace

CHistoryPage::CHistoryPage()
    : CSettingsPage(IDD_SETPAGE_HISTORY, kFields, kFieldCount), m_loaded()
{
}

BOOL CHistoryPage::OnInitDialog()
{
    AddChoices(IDC_SET_DUP_SCOPE, { UiText(IDS_SET_DUP_OFF), UiText(IDS_SET_DUP_RUN), UiText(IDS_SET_DUP_TODAY),
                                    UiText(IDS_SET_DUP_ALL) });
    AddChoices(IDC_SET_DUP_ACTION, { UiText(IDS_SET_DUP_TYPE), UiText(IDS_SET_DUP_SKIP) });
    return CSettingsPage::OnInitDialog();
}

void CHistoryPage::ReadValues(const CSettingsSource& settings)
{
    CHistorySettings history = ReadHistorySettings(settings);
    m_loaded.bOnDisk = history.bOnDisk;
    m_loaded.strDays = std::to_wstring(history.nDays);
    COutputOptions output = ReadOutputOptions(settings);
    m_loaded.nScope = output.nDuplicateScope;
    m_loaded.nAction = output.bDuplicateSkip ? 1 : 0;
}

void CHistoryPage::ShowValues()
{
    Check(IDC_SET_HISTORY_DISK, m_loaded.bOnDisk);
    SetText(IDC_SET_HISTORY_DAYS, m_loaded.strDays);
    Choose(IDC_SET_DUP_SCOPE, m_loaded.nScope);
    Choose(IDC_SET_DUP_ACTION, m_loaded.nAction);
}

// The action means nothing while nothing is looked for.
void CHistoryPage::UpdateEnabled()
{
    if (!IsOrganisation(FIELD_ACTION))
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SET_DUP_ACTION), Choice(IDC_SET_DUP_SCOPE) > 0);
}

void CHistoryPage::OnChoiceChanged()
{
    UpdateEnabled();
}

CHistoryPage::CValues CHistoryPage::Taken() const
{
    CValues values;
    values.bOnDisk = Checked(IDC_SET_HISTORY_DISK);
    values.strDays = Text(IDC_SET_HISTORY_DAYS);
    int nScope = Choice(IDC_SET_DUP_SCOPE), nAction = Choice(IDC_SET_DUP_ACTION);
    values.nScope = nScope > 0 && nScope < 4 ? nScope : 0;
    values.nAction = nAction == 1 ? 1 : 0;
    return values;
}

bool CHistoryPage::Validate(CRefusal* pRefusal) const
{
    int n = 0;
    if (!IsOrganisation(FIELD_DAYS) && !ParseNumber(Text(IDC_SET_HISTORY_DAYS), 1, kMaxHistoryDays, &n)) {
        *pRefusal = { IDC_SET_HISTORY_DAYS, UiText(IDS_SET_BAD_DAYS) };
        return false;
    }
    return true;
}

void CHistoryPage::AddValueChanges(std::vector<CIniChange>& changes) const
{
    CValues values = Taken();
    if (values.bOnDisk != m_loaded.bOnDisk)
        changes.push_back({ "HISTORY", "HistoryOnDisk", values.bOnDisk ? "1" : "0", false });
    if (values.strDays != m_loaded.strDays)
        changes.push_back({ "HISTORY", "HistoryDays", std::to_string(SettingNumber(values.strDays)), false });
    if (values.nScope != m_loaded.nScope)
        changes.push_back({ "OUTPUT", "DuplicateScope", kDuplicateScopes[values.nScope], false });
    if (values.nAction != m_loaded.nAction)
        changes.push_back({ "OUTPUT", "DuplicateAction", kDuplicateActions[values.nAction], false });
}

bool CHistoryPage::Saved(CRefusal*)
{
    m_loaded = Taken();
    return true;
}

// At once, once the user agrees: no setting, nothing to undo.
void CHistoryPage::OnClear()
{
    HWND hFrame = ::GetParent(m_hWnd);
    if (::MessageBoxW(hFrame, UiText(IDS_SET_CLEAR_CONFIRM).c_str(), UiText(IDS_SETPAGE_HISTORY).c_str(),
                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    // The tray window owns the settings window.
    HWND hTray = ::GetWindow(hFrame, GW_OWNER);
    if (hTray)
        ::SendMessageW(hTray, WM_HISTORY_CLEAR, 0, 0);
}
