// The settings window's page of what is typed around and within a code:
// Enter, prefix, suffix, the pace of the keys, the repeat window, and what
// becomes of the GS, RS and EOT control characters, and of a GS1 Digital Link;
// and where codes go: the window in front or a program chosen.
#pragma once

#include "SettingsPage.h"

class COutputPage : public CSettingsPage {
public:
    COutputPage();

    bool Validate(CRefusal* pRefusal) const override;
    bool Saved(CRefusal* pRefusal) override;

protected:
    BOOL OnInitDialog() override;
    void ReadValues(const CSettingsSource& settings) override;
    void ShowValues() override;
    void AddValueChanges(std::vector<CIniChange>& changes) const override;
    void UpdateEnabled() override;

    afx_msg void OnChange();
    DECLARE_MESSAGE_MAP()

private:
    enum { kControlCount = 3 };

    // Values as they stand in the file, escapes and all.
    struct CValues {
        BOOL bEnter;              // as shown: an empty suffix unchecks the box
        BOOL bEnterKey;           // as the file has it
        std::wstring strPrefix;
        std::wstring strSuffix;
        bool bSuffixKey;          // the file has a Suffix key, even an empty one
        std::wstring strKeyDelay;
        std::wstring strRepeat;
        int modes[kControlCount]; // GS, RS, EOT
        std::wstring texts[kControlCount];
        int nDigitalLink;         // DigitalLinkOutput
        bool bTarget;             // codes go to a program, not the window in front
        std::wstring strProgram;  // the target: its file name, and the title pattern
        std::wstring strTitle;
        BOOL bReturnFocus;
        std::wstring strWaitCodes;
        std::wstring strWaitSeconds;
    };

    // Target as the file keeps it: "erp.exe" or "erp.exe|Goods*"; empty:
    // the window in front.
    static std::wstring TargetValue(const CValues& values);

    CValues Taken() const;

    CValues m_loaded;
};
