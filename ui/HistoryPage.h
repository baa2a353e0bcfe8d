// The settings window's History page: the scan history kept across
// restarts and for how many days, the warning for a code scanned before,
// and a button that clears the history.
#pragma once

#include "SettingsPage.h"

class CHistoryPage : public CSettingsPage {
public:
    CHistoryPage();

    bool Validate(CRefusal* pRefusal) const override;
    bool Saved(CRefusal* pRefusal) override;

protected:
    BOOL OnInitDialog() override;
    void ReadValues(const CSettingsSource& settings) override;
    void ShowValues() override;
    void AddValueChanges(std::vector<CIniChange>& changes) const override;
    void UpdateEnabled() override;

    afx_msg void OnClear();
    afx_msg void OnChoiceChanged();
    DECLARE_MESSAGE_MAP()

private:
    struct CValues {
        BOOL bOnDisk;
        std::wstring strDays;
        int nScope;    // off, run, today, all
        int nAction;   // type, skip
    };

    CValues Taken() const;

    CValues m_loaded;
};
