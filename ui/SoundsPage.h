// The settings window's page of sounds: how the outcome of a code is heard,
// and a Test button for each outcome, played as the page shows it.
#pragma once

#include "SettingsPage.h"
#include "sound.h"

class CSoundsPage : public CSettingsPage {
public:
    CSoundsPage();

    bool Validate(CRefusal*) const override { return true; }
    bool Saved(CRefusal*) override;

protected:
    BOOL OnInitDialog() override;
    void ReadValues(const CSettingsSource& settings) override;
    void ShowValues() override;
    void AddValueChanges(std::vector<CIniChange>& changes) const override;

    afx_msg void OnTestTyped();
    afx_msg void OnTestNotTyped();
    afx_msg void OnTestDuplicate();
    DECLARE_MESSAGE_MAP()

private:
    void Test(SoundEvent event);
    SoundMode Shown() const;

    SoundMode m_loaded;
    CSoundPlayer m_player;
};
