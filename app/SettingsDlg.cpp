#include "SettingsDlg.h"

#include <algorithm>
#include <vector>

#include "autostart.h"
#include "dlgfield.h"
#include "resource.h"
#include "sampletest.h"
#include "savefiles.h"
#include "settings.h"
#include "uitext.h"

namespace {

const char* const kFlagKeys[] = { "QR", "DM", "Barcode", "PDF417", "Enter" };
const int kFlagIds[] = { IDC_SET_QR, IDC_SET_DM, IDC_SET_BARCODE, IDC_SET_PDF417, IDC_SET_ENTER };
const char* const kControlKeys[] = { "GS", "RS", "EOT" };
const int kModeIds[] = { IDC_SET_GS_MODE, IDC_SET_RS_MODE, IDC_SET_EOT_MODE };
const int kTextIds[] = { IDC_SET_GS_TEXT, IDC_SET_RS_TEXT, IDC_SET_EOT_TEXT };
const char* const kLanguages[] = { "auto", "zh", "en" };

// Each field and the key it shows: a key of typeSet.ini, or (no section) a
// policy of its own.
struct CField {
    const char* pszSection;
    const char* pszKey;
    int nIds[2];
};
const CField kFields[] = {
    { "TYPE", "QR", { IDC_SET_QR } }, { "TYPE", "DM", { IDC_SET_DM } },
    { "TYPE", "Barcode", { IDC_SET_BARCODE } }, { "TYPE", "PDF417", { IDC_SET_PDF417 } },
    { "TYPE", "Enter", { IDC_SET_ENTER } }, { "OUTPUT", "Prefix", { IDC_SET_PREFIX } },
    { "OUTPUT", "Suffix", { IDC_SET_SUFFIX } }, { "OUTPUT", "KeyDelay", { IDC_SET_KEYDELAY } },
    { "OUTPUT", "RepeatWindow", { IDC_SET_REPEAT } },
    { "OUTPUT", "GS", { IDC_SET_GS_MODE, IDC_SET_GS_TEXT } },
    { "OUTPUT", "RS", { IDC_SET_RS_MODE, IDC_SET_RS_TEXT } },
    { "OUTPUT", "EOT", { IDC_SET_EOT_MODE, IDC_SET_EOT_TEXT } },
    { NULL, POLICY_DECODE_TIME, { IDC_SET_HOLDOFF } }, { "OUTPUT", "Notices", { IDC_SET_NOTICES } },
    { NULL, POLICY_START_AT_SIGN_IN, { IDC_SET_AUTOSTART } }, { "UI", "Language", { IDC_SET_LANGUAGE } },
};
static_assert(ARRAYSIZE(kFields) == CSettingsDlg::kFieldCount, "a field for each");

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

// configDecodeTime.ini is read from the current folder.
CString DecodeTimePath()
{
    char szPath[MAX_PATH] = {};
    GetFullPathNameA("configDecodeTime.ini", MAX_PATH, szPath, NULL);
    return szPath;
}

int Number(const std::wstring& str)
{
    int n = 0;
    ParseNumber(str, 0, 999999999, &n);
    return n;
}

}  // namespace

BEGIN_MESSAGE_MAP(CSettingsDlg, CDialog)
    ON_COMMAND(IDC_SET_APPLY, OnApply)
    ON_COMMAND(IDC_SET_RELOAD, OnReload)
    ON_COMMAND(IDC_SET_RULES, OnRules)
    ON_EN_CHANGE(IDC_SET_SUFFIX, OnSuffixChange)
    ON_CBN_SELCHANGE(IDC_SET_GS_MODE, OnModeChange)
    ON_CBN_SELCHANGE(IDC_SET_RS_MODE, OnModeChange)
    ON_CBN_SELCHANGE(IDC_SET_EOT_MODE, OnModeChange)
END_MESSAGE_MAP()

CSettingsDlg::CSettingsDlg()
    : CDialog(IDD_SETTINGS), m_loaded(), m_hWndTray(NULL), m_abOrganisation(), m_bLocked(false)
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
    for (int nId : kModeIds) {
        for (UINT nText : { IDS_SET_KEEP, IDS_SET_DROP, IDS_SET_REPLACE })
            SendDlgItemMessageW(m_hWnd, nId, CB_ADDSTRING, 0, (LPARAM)UiText(nText).c_str());
    }
    // Each language by its own name.
    for (const std::wstring& str : { UiText(IDS_SET_LANG_AUTO), std::wstring(L"\x4E2D\x6587"), std::wstring(L"English") })
        SendDlgItemMessageW(m_hWnd, IDC_SET_LANGUAGE, CB_ADDSTRING, 0, (LPARAM)str.c_str());
    ReadFiles(m_loaded);
    ShowValues(m_loaded);
    return TRUE;
}

void CSettingsDlg::OnOK()
{
    CShown shown = TakeValues();
    if (Validate(shown) && Save(shown))
        DestroyWindow();
}

void CSettingsDlg::OnCancel()
{
    DestroyWindow();
}

void CSettingsDlg::OnApply()
{
    CShown shown = TakeValues();
    if (Validate(shown))
        Save(shown);
}

void CSettingsDlg::OnReload()
{
    ReadFiles(m_loaded);
    ShowValues(m_loaded);
}

void CSettingsDlg::OnRules()
{
    CRulesDlg dlg(this, m_page, [this](const CRulesPage& page, const std::wstring& strSample,
                                       const std::wstring& strProgram) {
        return TestCode(page, strSample, strProgram);
    }, m_bLocked);
    // The program may be ending while the dialog is up.
    if (dlg.DoModal() == IDOK && IsWindow(m_hWnd) && !m_bLocked)
        m_page = dlg.Page();
}

// What the sample would type with the window's values as they stand,
// written or not: the readers themselves read the text the window would
// write, so the test shows what the saved settings will do.
std::wstring CSettingsDlg::TestCode(const CRulesPage& page, const std::wstring& strSample,
                                    const std::wstring& strProgram)
{
    CShown shown = TakeValues();
    shown.page = page;
    std::string strText;
    if (!ReadFileBytes(TypeSetPath(), strText))
        return UiSystemText(GetLastError());
    return TestSample(ChangeIniText(strText, TypeSetChanges(shown)), strSample, strProgram);
}

void CSettingsDlg::OnSuffixChange()
{
    UpdateEnabled();
}

void CSettingsDlg::OnModeChange()
{
    UpdateEnabled();
}

void CSettingsDlg::ReadFiles(CShown& shown)
{
    // The values in force, what the organisation sets among them.
    CSettingsSource settings = ProgramSettings();
    const CPolicy& policy = settings.Policy();
    m_bLocked = policy.Flag(POLICY_SETTINGS_LOCKED, 0) == 1;
    for (int i = 0; i < kFieldCount; ++i) {
        const CField& field = kFields[i];
        m_abOrganisation[i] = m_bLocked || (field.pszSection ? settings.Origin(field.pszSection, field.pszKey) >=
                                                                   ORIGIN_SHARED
                                                             : policy.Has(field.pszKey));
    }
    CString strValue;
    for (int i = 0; i < kFlagCount; ++i)
        shown.flags[i] = ReadTypeFlag(kFlagKeys[i], settings);
    shown.bSuffixKey = ReadSettingValue("OUTPUT", "Suffix", settings, strValue);
    shown.strSuffix = shown.bSuffixKey ? AfxWiden(strValue) : L"";
    // An empty suffix types nothing after a code, Enter or not.
    shown.bEnterKey = shown.flags[kFlagCount - 1];
    if (shown.bSuffixKey && shown.strSuffix.empty())
        shown.flags[kFlagCount - 1] = FALSE;
    shown.strPrefix = ReadSettingValue("OUTPUT", "Prefix", settings, strValue) ? AfxWiden(strValue) : L"";
    shown.strKeyDelay = ReadSettingValue("OUTPUT", "KeyDelay", settings, strValue) ? AfxWiden(strValue) : L"0";
    shown.strRepeat = ReadSettingValue("OUTPUT", "RepeatWindow", settings, strValue) ? AfxWiden(strValue) : L"0";
    for (int i = 0; i < kControlCount; ++i) {
        bool bKey = ReadSettingValue("OUTPUT", kControlKeys[i], settings, strValue);
        shown.modes[i] = !bKey ? MODE_KEEP : strValue.IsEmpty() ? MODE_DROP : MODE_REPLACE;
        shown.texts[i] = shown.modes[i] == MODE_REPLACE ? AfxWiden(strValue) : L"";
    }
    int nMs = 50;
    ReadDecodeTime(settings, DecodeTimePath(), &nMs);
    shown.strHoldOff = std::to_wstring(nMs);
    shown.bNotices = ReadNoticesSetting(settings);
    shown.bAutostart = policy.Flag(POLICY_START_AT_SIGN_IN, IsAutostartOn()) == 1;
    shown.nLanguage = ReadUiLanguage(settings);
    // The window edits the local file's own rules and program sections, and
    // shows the organisation's beside them.
    shown.page = ReadRulesPage(settings);
}

void CSettingsDlg::ShowValues(const CShown& shown)
{
    for (int i = 0; i < kFlagCount; ++i)
        CheckDlgButton(m_hWnd, kFlagIds[i], shown.flags[i] ? BST_CHECKED : BST_UNCHECKED);
    SetText(IDC_SET_PREFIX, shown.strPrefix);
    SetText(IDC_SET_SUFFIX, shown.strSuffix);
    SetText(IDC_SET_KEYDELAY, shown.strKeyDelay);
    SetText(IDC_SET_REPEAT, shown.strRepeat);
    for (int i = 0; i < kControlCount; ++i) {
        SendDlgItemMessageW(m_hWnd, kModeIds[i], CB_SETCURSEL, shown.modes[i], 0);
        SetText(kTextIds[i], shown.texts[i]);
    }
    SetText(IDC_SET_HOLDOFF, shown.strHoldOff);
    CheckDlgButton(m_hWnd, IDC_SET_NOTICES, shown.bNotices ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hWnd, IDC_SET_AUTOSTART, shown.bAutostart ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageW(m_hWnd, IDC_SET_LANGUAGE, CB_SETCURSEL, shown.nLanguage, 0);
    m_page = shown.page;
    UpdateEnabled();
    ShowOrganisation();
}

void CSettingsDlg::ShowOrganisation()
{
    std::wstring strFields;
    for (int i = 0; i < kFieldCount; ++i) {
        if (!m_abOrganisation[i])
            continue;
        for (int nId : kFields[i].nIds) {
            if (nId)
                EnableWindow(GetDlgItem(m_hWnd, nId), FALSE);
        }
        strFields += (strFields.empty() ? L"" : UiText(IDS_SET_ORG_SEPARATOR)) +
                     FieldName(GetDlgItem(m_hWnd, kFields[i].nIds[0]));
    }
    EnableWindow(GetDlgItem(m_hWnd, IDC_SET_APPLY), !m_bLocked);
    std::wstring strText = m_bLocked ? UiText(IDS_SET_ORG_LOCKED)
                         : strFields.empty() ? L"" : UiFormat(IDS_SET_ORG_FIELDS, strFields);
    SetText(IDC_SET_ORG, strText);
}

CSettingsDlg::CShown CSettingsDlg::TakeValues() const
{
    CShown shown;
    for (int i = 0; i < kFlagCount; ++i)
        shown.flags[i] = IsDlgButtonChecked(m_hWnd, kFlagIds[i]) == BST_CHECKED;
    shown.bEnterKey = shown.flags[kFlagCount - 1];
    shown.strPrefix = Text(IDC_SET_PREFIX);
    shown.strSuffix = Text(IDC_SET_SUFFIX);
    shown.bSuffixKey = !shown.strSuffix.empty();
    shown.strKeyDelay = Text(IDC_SET_KEYDELAY);
    shown.strRepeat = Text(IDC_SET_REPEAT);
    for (int i = 0; i < kControlCount; ++i) {
        LRESULT nMode = SendDlgItemMessageW(m_hWnd, kModeIds[i], CB_GETCURSEL, 0, 0);
        shown.modes[i] = nMode == MODE_DROP || nMode == MODE_REPLACE ? (int)nMode : MODE_KEEP;
        shown.texts[i] = shown.modes[i] == MODE_REPLACE ? Text(kTextIds[i]) : L"";
    }
    shown.strHoldOff = Text(IDC_SET_HOLDOFF);
    shown.bNotices = IsDlgButtonChecked(m_hWnd, IDC_SET_NOTICES) == BST_CHECKED;
    shown.bAutostart = IsDlgButtonChecked(m_hWnd, IDC_SET_AUTOSTART) == BST_CHECKED;
    LRESULT nLanguage = SendDlgItemMessageW(m_hWnd, IDC_SET_LANGUAGE, CB_GETCURSEL, 0, 0);
    shown.nLanguage = nLanguage > 0 && nLanguage < 3 ? (int)nLanguage : 0;
    shown.page = m_page;
    return shown;
}

bool CSettingsDlg::Validate(const CShown& shown)
{
    // Top to bottom, as the user reads the window. What the organisation
    // sets is not the user's to mend, and is not saved.
    struct CText { int nField; int nId; const std::wstring* pstr; std::wstring strName; };
    const CText texts[] = {
        { FIELD_PREFIX, IDC_SET_PREFIX, &shown.strPrefix, UiText(IDS_SET_FIELD_PREFIX) },
        { FIELD_SUFFIX, IDC_SET_SUFFIX, &shown.strSuffix, UiText(IDS_SET_FIELD_SUFFIX) },
    };
    struct CNumber { int nField; int nId; const std::wstring* pstr; int nMin, nMax; UINT nMessage; };
    const CNumber numbers[] = {
        { FIELD_KEYDELAY, IDC_SET_KEYDELAY, &shown.strKeyDelay, 0, kMaxKeyDelay, IDS_SET_BAD_KEYDELAY },
        { FIELD_REPEAT, IDC_SET_REPEAT, &shown.strRepeat, 0, kMaxRepeatWindow, IDS_SET_BAD_REPEAT },
    };
    const CText controls[] = {
        { FIELD_GS, IDC_SET_GS_TEXT, &shown.texts[0], L"GS" },
        { FIELD_RS, IDC_SET_RS_TEXT, &shown.texts[1], L"RS" },
        { FIELD_EOT, IDC_SET_EOT_TEXT, &shown.texts[2], L"EOT" },
    };
    std::wstring strExpanded;
    for (const CText& t : texts) {
        if (!m_abOrganisation[t.nField] && !ExpandEscapes(EncodeSettingValue(*t.pstr).c_str(), strExpanded)) {
            Refuse(t.nId, UiFormat(IDS_SET_BAD_ESCAPE, t.strName));
            return false;
        }
    }
    int n = 0;
    for (const CNumber& number : numbers) {
        if (!m_abOrganisation[number.nField] && !ParseNumber(*number.pstr, number.nMin, number.nMax, &n)) {
            Refuse(number.nId, UiText(number.nMessage));
            return false;
        }
    }
    for (const CText& t : controls) {
        if (!m_abOrganisation[t.nField] && !ExpandEscapes(EncodeSettingValue(*t.pstr).c_str(), strExpanded)) {
            Refuse(t.nId, UiFormat(IDS_SET_BAD_ESCAPE, t.strName));
            return false;
        }
    }
    if (!m_abOrganisation[FIELD_HOLDOFF] && !ParseNumber(shown.strHoldOff, 50, 5000, &n)) {
        Refuse(IDC_SET_HOLDOFF, UiText(IDS_SET_BAD_HOLDOFF));
        return false;
    }
    return true;
}

std::vector<CIniChange> CSettingsDlg::TypeSetChanges(const CShown& shown) const
{
    std::vector<CIniChange> changes;
    for (int i = 0; i < kFlagCount - 1; ++i) {
        if (shown.flags[i] != m_loaded.flags[i])
            changes.push_back({ "TYPE", kFlagKeys[i], shown.flags[i] ? "1" : "0", false });
    }
    if (shown.bEnterKey != m_loaded.bEnterKey)
        changes.push_back({ "TYPE", "Enter", shown.bEnterKey ? "1" : "0", false });
    if (shown.strPrefix != m_loaded.strPrefix)
        changes.push_back({ "OUTPUT", "Prefix", EncodeSettingValue(shown.strPrefix), shown.strPrefix.empty() });
    if (shown.bSuffixKey != m_loaded.bSuffixKey || shown.strSuffix != m_loaded.strSuffix)
        changes.push_back({ "OUTPUT", "Suffix", EncodeSettingValue(shown.strSuffix), !shown.bSuffixKey });
    if (shown.strKeyDelay != m_loaded.strKeyDelay)
        changes.push_back({ "OUTPUT", "KeyDelay", std::to_string(Number(shown.strKeyDelay)), false });
    if (shown.strRepeat != m_loaded.strRepeat)
        changes.push_back({ "OUTPUT", "RepeatWindow", std::to_string(Number(shown.strRepeat)), false });
    for (int i = 0; i < kControlCount; ++i) {
        if (shown.modes[i] != m_loaded.modes[i] || shown.texts[i] != m_loaded.texts[i])
            changes.push_back({ "OUTPUT", kControlKeys[i], EncodeSettingValue(shown.texts[i]),
                                shown.modes[i] == MODE_KEEP });
    }
    if (shown.bNotices != m_loaded.bNotices)
        changes.push_back({ "OUTPUT", "Notices", shown.bNotices ? "1" : "0", false });
    if (shown.nLanguage != m_loaded.nLanguage)
        changes.push_back({ "UI", "Language", kLanguages[shown.nLanguage], false });
    AddRulesPageChanges(shown.page, m_loaded.page, changes);
    // What the organisation sets is never written, whatever the window shows.
    changes.erase(std::remove_if(changes.begin(), changes.end(), [this](const CIniChange& change) {
        for (int i = 0; i < kFieldCount; ++i) {
            if (kFields[i].pszSection && change.pszKey && m_abOrganisation[i] &&
                lstrcmpiA(change.strSection.c_str(), kFields[i].pszSection) == 0 &&
                lstrcmpiA(change.pszKey, kFields[i].pszKey) == 0)
                return true;
        }
        return m_bLocked;
    }), changes.end());
    return changes;
}

bool CSettingsDlg::Save(const CShown& shown)
{
    std::vector<CIniChange> changes = TypeSetChanges(shown);

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
    if (!dwError && shown.strHoldOff != m_loaded.strHoldOff && !m_abOrganisation[FIELD_HOLDOFF]) {
        strPath = DecodeTimePath();
        if (!ReadFileBytes(strPath, strOld))
            dwError = GetLastError();
        else
            files.push_back({ strPath, ChangeDecodeTimeText(strOld, Number(shown.strHoldOff)) });
    }
    size_t nFailed = 0;
    if (!dwError && !files.empty()) {
        dwError = WriteFilesTogether(files, &nFailed);
        if (dwError)
            strPath = files[nFailed].strPath;
    }
    if (dwError) {
        Refuse(0, UiFormat(IDS_SET_NOT_SAVED, AfxWiden(strPath), UiSystemText(dwError)));
        return false;
    }

    bool bDone = shown.bAutostart == m_loaded.bAutostart || m_abOrganisation[FIELD_AUTOSTART] ||
                 SetAutostart(shown.bAutostart);
    m_loaded = shown;
    MarkRulesPageSaved(m_loaded.page);
    m_page = m_loaded.page;
    if (!bDone)
        m_loaded.bAutostart = !shown.bAutostart;
    if (!files.empty())
        ::SendMessageA(m_hWndTray, WM_SETTINGS_APPLIED, 0, 0);
    return bDone;
}

bool CSettingsDlg::SetAutostart(BOOL bOn)
{
    std::wstring strLink;
    HRESULT hr = SetAutostartShortcut(bOn != FALSE, &strLink);
    if (SUCCEEDED(hr))
        return true;
    Refuse(IDC_SET_AUTOSTART, UiFormat(IDS_SET_SHORTCUT_FAILED, strLink, UiSystemText(hr)));
    return false;
}

void CSettingsDlg::UpdateEnabled()
{
    // A suffix takes the place of the Enter.
    EnableWindow(GetDlgItem(m_hWnd, IDC_SET_ENTER),
                 Text(IDC_SET_SUFFIX).empty() && !m_abOrganisation[FIELD_ENTER]);
    for (int i = 0; i < kControlCount; ++i) {
        LRESULT nMode = SendDlgItemMessageW(m_hWnd, kModeIds[i], CB_GETCURSEL, 0, 0);
        EnableWindow(GetDlgItem(m_hWnd, kTextIds[i]), nMode == MODE_REPLACE && !m_abOrganisation[FIELD_GS + i]);
    }
}

void CSettingsDlg::Refuse(int nIdControl, const std::wstring& strText)
{
    RefuseField(m_hWnd, nIdControl, strText);
}

std::wstring CSettingsDlg::Text(int nIdControl) const
{
    return FieldText(m_hWnd, nIdControl);
}

void CSettingsDlg::SetText(int nIdControl, const std::wstring& str)
{
    SetDlgItemTextW(m_hWnd, nIdControl, str.c_str());
}
