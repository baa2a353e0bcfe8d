// One page of the settings window: a child dialog behind a tab that shows
// some keys. It reads them, checks them and says what to write; the window
// around it saves every page's changes together, both files or neither, and
// names what the organisation sets.
#pragma once

#include <afxwin.h>

#include <functional>
#include <string>
#include <vector>

#include "iniwrite.h"
#include "settings.h"

class CSettingsPage : public CDialog {
public:
    // A field: a key of typeSet.ini, or (no section) a policy of its own,
    // and the controls that show it.
    struct CField {
        const char* pszSection;
        const char* pszKey;
        int nIds[2];
    };
    // A value refused, and the control it stands in.
    struct CRefusal {
        int nIdControl;
        std::wstring strText;
    };
    // A file other than typeSet.ini: its new text made from its old one.
    struct CFileEdit {
        CString strPath;
        std::function<std::string(const std::string&)> fnChange;
    };

    // pFields lives as long as the page.
    CSettingsPage(UINT nIDTemplate, const CField* pFields, int nFields);

    // The page's window, a child of the frame, themed as the system's tabs.
    BOOL Create(CWnd* pFrame);

    // Reads the page's values, notes which of them the organisation sets
    // (all when locked) and shows them.
    void Load(const CSettingsSource& settings, bool bLocked);
    // typeSet.ini's changes for what differs from the values read, but for
    // what the organisation sets.
    void AddChanges(std::vector<CIniChange>& changes) const;
    // What the organisation sets, as the labels name it, in page order.
    void AddOrganisationNames(std::vector<std::wstring>& names) const;

    // False, with the first invalid field top to bottom, when one is.
    virtual bool Validate(CRefusal* pRefusal) const = 0;
    virtual void AddFileEdits(std::vector<CFileEdit>& edits) const;
    // The files now hold the values shown, which become the values read.
    // What is kept outside the files is done now: false, with the refusal,
    // when that failed.
    virtual bool Saved(CRefusal* pRefusal) = 0;

protected:
    virtual void ReadValues(const CSettingsSource& settings) = 0;
    virtual void ShowValues() = 0;
    virtual void AddValueChanges(std::vector<CIniChange>& changes) const = 0;
    // Enables the fields whose use depends on others.
    virtual void UpdateEnabled() {}

    BOOL OnInitDialog() override;
    // Keys go to the frame, whose dialog navigation spans every page.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnOK() override;
    void OnCancel() override;

    bool IsOrganisation(int nField) const { return m_abOrganisation[nField]; }
    std::wstring Text(int nId) const;
    void SetText(int nId, const std::wstring& str);
    BOOL Checked(int nId) const;
    void Check(int nId, BOOL bCheck);
    int Choice(int nId) const;
    void Choose(int nId, int nChoice);
    void AddChoices(int nId, const std::vector<std::wstring>& texts);

private:
    UINT m_nIDPage;
    const CField* m_pFields;
    int m_nFields;
    std::vector<bool> m_abOrganisation;
};

// The key's value as it stands in the file, or strDefault without one.
std::wstring SettingText(LPCSTR pszSection, LPCSTR pszKey, const CSettingsSource& settings,
                         const std::wstring& strDefault = L"");
// The digits as a number; 0 when they are none.
int SettingNumber(const std::wstring& str);
