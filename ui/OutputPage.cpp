#include "OutputPage.h"

#include "dlgfield.h"
#include "resource.h"
#include "targetwindow.h"
#include "uitext.h"

namespace {

enum Field { FIELD_ENTER, FIELD_PREFIX, FIELD_SUFFIX, FIELD_KEYDELAY, FIELD_REPEAT, FIELD_GS, FIELD_RS, FIELD_EOT,
             FIELD_DIGITALLINK, FIELD_TARGET, FIELD_RETURN_FOCUS, FIELD_WAIT_CODES, FIELD_WAIT_SECONDS, kFieldCount };

const CSettingsPage::CField kFields[] = {
    { "TYPE", "Enter", { IDC_SET_ENTER } }, { "OUTPUT", "Prefix", { IDC_SET_PREFIX } },
    { "OUTPUT", "Suffix", { IDC_SET_SUFFIX } }, { "OUTPUT", "KeyDelay", { IDC_SET_KEYDELAY } },
    { "OUTPUT", "RepeatWindow", { IDC_SET_REPEAT } },
    { "OUTPUT", "GS", { IDC_SET_GS_MODE, IDC_SET_GS_TEXT } },
    { "OUTPUT", "RS", { IDC_SET_RS_MODE, IDC_SET_RS_TEXT } },
    { "OUTPUT", "EOT", { IDC_SET_EOT_MODE, IDC_SET_EOT_TEXT } },
    { "OUTPUT", "DigitalLink", { IDC_SET_DIGITALLINK } },
    { "OUTPUT", "Target", { IDC_SET_TARGET_MODE, IDC_SET_TARGET_PROGRAM } },
    { "OUTPUT", "ReturnFocus", { IDC_SET_RETURN_FOCUS } },
    { "OUTPUT", "TargetWaitCodes", { IDC_SET_TARGET_WAIT_CODES } },
    { "OUTPUT", "TargetWaitSeconds", { IDC_SET_TARGET_WAIT_SECONDS } },
};
static_assert(ARRAYSIZE(kFields) == kFieldCount, "a field for each");

enum ControlMode { MODE_KEEP, MODE_DROP, MODE_REPLACE };
const char* const kControlKeys[] = { "GS", "RS", "EOT" };
const int kModeIds[] = { IDC_SET_GS_MODE, IDC_SET_RS_MODE, IDC_SET_EOT_MODE };
const int kTextIds[] = { IDC_SET_GS_TEXT, IDC_SET_RS_TEXT, IDC_SET_EOT_TEXT };

bool ValidEscapes(const std::wstring& str)
{
    std::wstring strExpanded;
    return ExpandEscapes(EncodeSettingValue(str).c_str(), strExpanded);
}

}  // namespace

BEGIN_MESSAGE_MAP(COutputPage, CSettingsPage)
    ON_EN_CHANGE(IDC_SET_SUFFIX, OnChange)
    ON_CBN_SELCHANGE(IDC_SET_GS_MODE, OnChange)
    ON_CBN_SELCHANGE(IDC_SET_RS_MODE, OnChange)
    ON_CBN_SELCHANGE(IDC_SET_EOT_MODE, OnChange)
    ON_CBN_SELCHANGE(IDC_SET_TARGET_MODE, OnChange)
END_MESSAGE_MAP()

COutputPage::COutputPage()
    : CSettingsPage(IDD_SETPAGE_OUTPUT, kFields, kFieldCount), m_loaded()
{
}

BOOL COutputPage::OnInitDialog()
{
    for (int nId : kModeIds)
        AddChoices(nId, { UiText(IDS_SET_KEEP), UiText(IDS_SET_DROP), UiText(IDS_SET_REPLACE) });
    AddChoices(IDC_SET_DIGITALLINK,
               { UiText(IDS_DIGITALLINK_ASIS), UiText(IDS_DIGITALLINK_ELEMENT), UiText(IDS_DIGITALLINK_HRI) });
    AddChoices(IDC_SET_TARGET_MODE, { UiText(IDS_SET_TARGET_FRONT), UiText(IDS_SET_TARGET_PROGRAM) });
    // The programs running now with a window a user could pick.
    CWin32Windows windows;
    for (const std::wstring& strProgram : ProgramsWithWindows(windows, GetCurrentProcessId()))
        ::SendMessageW(::GetDlgItem(m_hWnd, IDC_SET_TARGET_PROGRAM), CB_ADDSTRING, 0, (LPARAM)strProgram.c_str());
    return CSettingsPage::OnInitDialog();
}

void COutputPage::OnChange()
{
    UpdateEnabled();
}

void COutputPage::ReadValues(const CSettingsSource& settings)
{
    CString strValue;
    m_loaded.bEnterKey = ReadTypeFlag("Enter", settings);
    m_loaded.bSuffixKey = ReadSettingValue("OUTPUT", "Suffix", settings, strValue);
    m_loaded.strSuffix = m_loaded.bSuffixKey ? AfxWiden(strValue) : L"";
    // An empty suffix types nothing after a code, Enter or not.
    m_loaded.bEnter = m_loaded.bEnterKey && !(m_loaded.bSuffixKey && m_loaded.strSuffix.empty());
    m_loaded.strPrefix = SettingText("OUTPUT", "Prefix", settings);
    m_loaded.strKeyDelay = SettingText("OUTPUT", "KeyDelay", settings, L"0");
    m_loaded.strRepeat = SettingText("OUTPUT", "RepeatWindow", settings, L"0");
    for (int i = 0; i < kControlCount; ++i) {
        bool bKey = ReadSettingValue("OUTPUT", kControlKeys[i], settings, strValue);
        m_loaded.modes[i] = !bKey ? MODE_KEEP : strValue.IsEmpty() ? MODE_DROP : MODE_REPLACE;
        m_loaded.texts[i] = m_loaded.modes[i] == MODE_REPLACE ? AfxWiden(strValue) : L"";
    }
    // As the program reads it: a value it does not know is the default.
    COutputOptions options = ReadOutputOptions(settings);
    m_loaded.nDigitalLink = options.nDigitalLink;
    std::wstring strTarget = SettingText("OUTPUT", "Target", settings);
    size_t nBar = strTarget.find(L'|');
    m_loaded.strProgram = strTarget.substr(0, nBar);
    m_loaded.strTitle = nBar == std::wstring::npos ? L"" : strTarget.substr(nBar + 1);
    m_loaded.bTarget = !m_loaded.strProgram.empty();
    m_loaded.bReturnFocus = options.bReturnFocus;
    CTargetWaitBounds bounds = ReadTargetWaitBounds(settings);
    m_loaded.strWaitCodes = std::to_wstring(bounds.nCodes);
    m_loaded.strWaitSeconds = std::to_wstring(bounds.nSeconds);
}

std::wstring COutputPage::TargetValue(const CValues& values)
{
    if (!values.bTarget || values.strProgram.empty())
        return std::wstring();
    return values.strTitle.empty() ? values.strProgram : values.strProgram + L"|" + values.strTitle;
}

void COutputPage::ShowValues()
{
    Check(IDC_SET_ENTER, m_loaded.bEnter);
    SetText(IDC_SET_PREFIX, m_loaded.strPrefix);
    SetText(IDC_SET_SUFFIX, m_loaded.strSuffix);
    SetText(IDC_SET_KEYDELAY, m_loaded.strKeyDelay);
    SetText(IDC_SET_REPEAT, m_loaded.strRepeat);
    for (int i = 0; i < kControlCount; ++i) {
        Choose(kModeIds[i], m_loaded.modes[i]);
        SetText(kTextIds[i], m_loaded.texts[i]);
    }
    Choose(IDC_SET_DIGITALLINK, m_loaded.nDigitalLink);
    Choose(IDC_SET_TARGET_MODE, m_loaded.bTarget ? 1 : 0);
    SetText(IDC_SET_TARGET_PROGRAM, m_loaded.strProgram);
    SetText(IDC_SET_TARGET_TITLE, m_loaded.strTitle);
    Check(IDC_SET_RETURN_FOCUS, m_loaded.bReturnFocus);
    SetText(IDC_SET_TARGET_WAIT_CODES, m_loaded.strWaitCodes);
    SetText(IDC_SET_TARGET_WAIT_SECONDS, m_loaded.strWaitSeconds);
}

COutputPage::CValues COutputPage::Taken() const
{
    CValues values;
    values.bEnter = values.bEnterKey = Checked(IDC_SET_ENTER);
    values.strPrefix = Text(IDC_SET_PREFIX);
    values.strSuffix = Text(IDC_SET_SUFFIX);
    values.bSuffixKey = !values.strSuffix.empty();
    values.strKeyDelay = Text(IDC_SET_KEYDELAY);
    values.strRepeat = Text(IDC_SET_REPEAT);
    for (int i = 0; i < kControlCount; ++i) {
        int nMode = Choice(kModeIds[i]);
        values.modes[i] = nMode == MODE_DROP || nMode == MODE_REPLACE ? nMode : MODE_KEEP;
        values.texts[i] = values.modes[i] == MODE_REPLACE ? Text(kTextIds[i]) : L"";
    }
    int nLink = Choice(IDC_SET_DIGITALLINK);
    values.nDigitalLink = nLink >= DIGITAL_LINK_ASIS && nLink <= DIGITAL_LINK_HRI ? nLink : DIGITAL_LINK_ASIS;
    values.bTarget = Choice(IDC_SET_TARGET_MODE) == 1;
    values.strProgram = Text(IDC_SET_TARGET_PROGRAM);
    values.strTitle = Text(IDC_SET_TARGET_TITLE);
    values.bReturnFocus = Checked(IDC_SET_RETURN_FOCUS);
    values.strWaitCodes = Text(IDC_SET_TARGET_WAIT_CODES);
    values.strWaitSeconds = Text(IDC_SET_TARGET_WAIT_SECONDS);
    return values;
}

bool COutputPage::Validate(CRefusal* pRefusal) const
{
    // Top to bottom, as the user reads the page. What the organisation sets
    // is not the user's to mend, and is not saved.
    CValues values = Taken();
    struct CCheck { int nField; int nId; bool bValid; std::wstring strText; };
    int n = 0;
    const CCheck checks[] = {
        { FIELD_PREFIX, IDC_SET_PREFIX, ValidEscapes(values.strPrefix),
          UiFormat(IDS_SET_BAD_ESCAPE, UiText(IDS_SET_FIELD_PREFIX)) },
        { FIELD_SUFFIX, IDC_SET_SUFFIX, ValidEscapes(values.strSuffix),
          UiFormat(IDS_SET_BAD_ESCAPE, UiText(IDS_SET_FIELD_SUFFIX)) },
        { FIELD_KEYDELAY, IDC_SET_KEYDELAY, ParseNumber(values.strKeyDelay, 0, kMaxKeyDelay, &n),
          UiText(IDS_SET_BAD_KEYDELAY) },
        { FIELD_REPEAT, IDC_SET_REPEAT, ParseNumber(values.strRepeat, 0, kMaxRepeatWindow, &n),
          UiText(IDS_SET_BAD_REPEAT) },
        { FIELD_GS, IDC_SET_GS_TEXT, ValidEscapes(values.texts[0]), UiFormat(IDS_SET_BAD_ESCAPE, L"GS") },
        { FIELD_RS, IDC_SET_RS_TEXT, ValidEscapes(values.texts[1]), UiFormat(IDS_SET_BAD_ESCAPE, L"RS") },
        { FIELD_EOT, IDC_SET_EOT_TEXT, ValidEscapes(values.texts[2]), UiFormat(IDS_SET_BAD_ESCAPE, L"EOT") },
        { FIELD_TARGET, IDC_SET_TARGET_PROGRAM,
          !values.bTarget || (!values.strProgram.empty() && values.strProgram.find(L'|') == std::wstring::npos &&
                              ValidEscapes(TargetValue(values))),
          UiText(IDS_SET_BAD_TARGET) },
        { FIELD_WAIT_CODES, IDC_SET_TARGET_WAIT_CODES, ParseNumber(values.strWaitCodes, 1, kMaxTargetWaitCodes, &n),
          UiText(IDS_SET_BAD_TARGET_WAIT) },
        { FIELD_WAIT_SECONDS, IDC_SET_TARGET_WAIT_SECONDS,
          ParseNumber(values.strWaitSeconds, 1, kMaxTargetWaitSeconds, &n), UiText(IDS_SET_BAD_TARGET_WAIT) },
    };
    for (const CCheck& check : checks) {
        if (!check.bValid && !IsOrganisation(check.nField)) {
            *pRefusal = { check.nId, check.strText };
            return false;
        }
    }
    return true;
}

void COutputPage::AddValueChanges(std::vector<CIniChange>& changes) const
{
    CValues values = Taken();
    if (values.bEnterKey != m_loaded.bEnterKey)
        changes.push_back({ "TYPE", "Enter", values.bEnterKey ? "1" : "0", false });
    if (values.strPrefix != m_loaded.strPrefix)
        changes.push_back({ "OUTPUT", "Prefix", EncodeSettingValue(values.strPrefix), values.strPrefix.empty() });
    if (values.bSuffixKey != m_loaded.bSuffixKey || values.strSuffix != m_loaded.strSuffix)
        changes.push_back({ "OUTPUT", "Suffix", EncodeSettingValue(values.strSuffix), !values.bSuffixKey });
    if (values.strKeyDelay != m_loaded.strKeyDelay)
        changes.push_back({ "OUTPUT", "KeyDelay", std::to_string(SettingNumber(values.strKeyDelay)), false });
    if (values.strRepeat != m_loaded.strRepeat)
        changes.push_back({ "OUTPUT", "RepeatWindow", std::to_string(SettingNumber(values.strRepeat)), false });
    for (int i = 0; i < kControlCount; ++i) {
        if (values.modes[i] != m_loaded.modes[i] || values.texts[i] != m_loaded.texts[i])
            changes.push_back({ "OUTPUT", kControlKeys[i], EncodeSettingValue(values.texts[i]),
                                values.modes[i] == MODE_KEEP });
    }
    if (values.nDigitalLink != m_loaded.nDigitalLink)
        changes.push_back({ "OUTPUT", "DigitalLink", kDigitalLinkValues[values.nDigitalLink],
                            values.nDigitalLink == DIGITAL_LINK_ASIS });
    std::wstring strTarget = TargetValue(values);
    if (strTarget != TargetValue(m_loaded))
        changes.push_back({ "OUTPUT", "Target", EncodeSettingValue(strTarget), strTarget.empty() });
    if (values.bReturnFocus != m_loaded.bReturnFocus)
        changes.push_back({ "OUTPUT", "ReturnFocus", values.bReturnFocus ? "1" : "0", values.bReturnFocus != FALSE });
    if (values.strWaitCodes != m_loaded.strWaitCodes)
        changes.push_back({ "OUTPUT", "TargetWaitCodes", std::to_string(SettingNumber(values.strWaitCodes)), false });
    if (values.strWaitSeconds != m_loaded.strWaitSeconds)
        changes.push_back({ "OUTPUT", "TargetWaitSeconds", std::to_string(SettingNumber(values.strWaitSeconds)),
                            false });
}

bool COutputPage::Saved(CRefusal*)
{
    m_loaded = Taken();
    return true;
}

void COutputPage::UpdateEnabled()
{
    // A suffix takes the place of the Enter.
    ::EnableWindow(GetDlgItem(m_hWnd, IDC_SET_ENTER), Text(IDC_SET_SUFFIX).empty() && !IsOrganisation(FIELD_ENTER));
    for (int i = 0; i < kControlCount; ++i)
        ::EnableWindow(GetDlgItem(m_hWnd, kTextIds[i]),
                       Choice(kModeIds[i]) == MODE_REPLACE && !IsOrganisation(FIELD_GS + i));
    // The program, its title and the give-back matter only with a program chosen.
    bool bTarget = Choice(IDC_SET_TARGET_MODE) == 1;
    ::EnableWindow(GetDlgItem(m_hWnd, IDC_SET_TARGET_PROGRAM), bTarget && !IsOrganisation(FIELD_TARGET));
    ::EnableWindow(GetDlgItem(m_hWnd, IDC_SET_TARGET_TITLE), bTarget && !IsOrganisation(FIELD_TARGET));
    ::EnableWindow(GetDlgItem(m_hWnd, IDC_SET_RETURN_FOCUS), bTarget && !IsOrganisation(FIELD_RETURN_FOCUS));
}
