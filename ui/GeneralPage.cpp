#include "GeneralPage.h"

#include "autostart.h"
#include "dlgfield.h"
#include "resource.h"
#include "uitext.h"

namespace {

enum Field { FIELD_QR, FIELD_DM, FIELD_BARCODE, FIELD_PDF417, FIELD_HOLDOFF, FIELD_NOTICES, FIELD_AUTOSTART,
             FIELD_LANGUAGE, kFieldCount };

const CSettingsPage::CField kFields[] = {
    { "TYPE", "QR", { IDC_SET_QR } }, { "TYPE", "DM", { IDC_SET_DM } },
    { "TYPE", "Barcode", { IDC_SET_BARCODE } }, { "TYPE", "PDF417", { IDC_SET_PDF417 } },
    { NULL, POLICY_DECODE_TIME, { IDC_SET_HOLDOFF } }, { "OUTPUT", "Notices", { IDC_SET_NOTICES } },
    { NULL, POLICY_START_AT_SIGN_IN, { IDC_SET_AUTOSTART } }, { "UI", "Language", { IDC_SET_LANGUAGE } },
};
static_assert(ARRAYSIZE(kFields) == kFieldCount, "a field for each");

const char* const kFlagKeys[] = { "QR", "DM", "Barcode", "PDF417" };
const int kFlagIds[] = { IDC_SET_QR, IDC_SET_DM, IDC_SET_BARCODE, IDC_SET_PDF417 };
const char* const kLanguages[] = { "auto", "zh", "en" };

// configDecodeTime.ini is read from the current folder.
CString DecodeTimePath()
{
    char szPath[MAX_PATH] = {};
    GetFullPathNameA("configDecodeTime.ini", MAX_PATH, szPath, NULL);
    return szPath;
}

}  // namespace

CGeneralPage::CGeneralPage()
    : CSettingsPage(IDD_SETPAGE_GENERAL, kFields, kFieldCount), m_loaded()
{
}

BOOL CGeneralPage::OnInitDialog()
{
    // Each language by its own name.
    AddChoices(IDC_SET_LANGUAGE, { UiText(IDS_SET_LANG_AUTO), L"\x4E2D\x6587", L"English" });
    return CSettingsPage::OnInitDialog();
}

void CGeneralPage::ReadValues(const CSettingsSource& settings)
{
    for (int i = 0; i < kFlagCount; ++i)
        m_loaded.flags[i] = ReadTypeFlag(kFlagKeys[i], settings);
    int nMs = 50;
    ReadDecodeTime(settings, DecodeTimePath(), &nMs);
    m_loaded.strHoldOff = std::to_wstring(nMs);
    m_loaded.bNotices = ReadNoticesSetting(settings);
    m_loaded.bAutostart = settings.Policy().Flag(POLICY_START_AT_SIGN_IN, IsAutostartOn()) == 1;
    m_loaded.nLanguage = ReadUiLanguage(settings);
}

void CGeneralPage::ShowValues()
{
    for (int i = 0; i < kFlagCount; ++i)
        Check(kFlagIds[i], m_loaded.flags[i]);
    SetText(IDC_SET_HOLDOFF, m_loaded.strHoldOff);
    Check(IDC_SET_NOTICES, m_loaded.bNotices);
    Check(IDC_SET_AUTOSTART, m_loaded.bAutostart);
    Choose(IDC_SET_LANGUAGE, m_loaded.nLanguage);
}

CGeneralPage::CValues CGeneralPage::Taken() const
{
    CValues values;
    for (int i = 0; i < kFlagCount; ++i)
        values.flags[i] = Checked(kFlagIds[i]);
    values.strHoldOff = Text(IDC_SET_HOLDOFF);
    values.bNotices = Checked(IDC_SET_NOTICES);
    values.bAutostart = Checked(IDC_SET_AUTOSTART);
    int nLanguage = Choice(IDC_SET_LANGUAGE);
    values.nLanguage = nLanguage > 0 && nLanguage < 3 ? nLanguage : 0;
    return values;
}

bool CGeneralPage::Validate(CRefusal* pRefusal) const
{
    int n = 0;
    if (!IsOrganisation(FIELD_HOLDOFF) && !ParseNumber(Text(IDC_SET_HOLDOFF), 50, 5000, &n)) {
        *pRefusal = { IDC_SET_HOLDOFF, UiText(IDS_SET_BAD_HOLDOFF) };
        return false;
    }
    return true;
}

void CGeneralPage::AddValueChanges(std::vector<CIniChange>& changes) const
{
    CValues values = Taken();
    for (int i = 0; i < kFlagCount; ++i) {
        if (values.flags[i] != m_loaded.flags[i])
            changes.push_back({ "TYPE", kFlagKeys[i], values.flags[i] ? "1" : "0", false });
    }
    if (values.bNotices != m_loaded.bNotices)
        changes.push_back({ "OUTPUT", "Notices", values.bNotices ? "1" : "0", false });
    if (values.nLanguage != m_loaded.nLanguage)
        changes.push_back({ "UI", "Language", kLanguages[values.nLanguage], false });
}

void CGeneralPage::AddFileEdits(std::vector<CFileEdit>& edits) const
{
    std::wstring strHoldOff = Text(IDC_SET_HOLDOFF);
    if (strHoldOff != m_loaded.strHoldOff && !IsOrganisation(FIELD_HOLDOFF)) {
        int nMs = SettingNumber(strHoldOff);
        edits.push_back({ DecodeTimePath(), [nMs](const std::string& strOld) {
            return ChangeDecodeTimeText(strOld, nMs);
        } });
    }
}

bool CGeneralPage::Saved(CRefusal* pRefusal)
{
    CValues values = Taken();
    bool bDone = values.bAutostart == m_loaded.bAutostart || IsOrganisation(FIELD_AUTOSTART);
    if (!bDone) {
        std::wstring strLink;
        HRESULT hr = SetAutostartShortcut(values.bAutostart != FALSE, &strLink);
        bDone = SUCCEEDED(hr);
        if (!bDone)
            *pRefusal = { IDC_SET_AUTOSTART, UiFormat(IDS_SET_SHORTCUT_FAILED, strLink, UiSystemText(hr)) };
    }
    m_loaded = values;
    // Tried again at the next Apply.
    if (!bDone)
        m_loaded.bAutostart = !values.bAutostart;
    return bDone;
}
