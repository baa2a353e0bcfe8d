// The settings window's first page: which codes are read, the hold-off
// after each, the tray notices, starting at sign-in and the language.
#pragma once

#include "SettingsPage.h"

class CGeneralPage : public CSettingsPage {
public:
    CGeneralPage();

    bool Validate(CRefusal* pRefusal) const override;
    void AddFileEdits(std::vector<CFileEdit>& edits) const override;
    bool Saved(CRefusal* pRefusal) override;

protected:
    BOOL OnInitDialog() override;
    void ReadValues(const CSettingsSource& settings) override;
    void ShowValues() override;
    void AddValueChanges(std::vector<CIniChange>& changes) const override;

private:
    enum { kFlagCount = 4 };

    struct CValues {
        BOOL flags[kFlagCount];   // QR, DM, Barcode, PDF417
        std::wstring strHoldOff;
        BOOL bNotices;
        BOOL bAutostart;
        int nLanguage;            // auto, zh, en
    };

    CValues Taken() const;

    CValues m_loaded;
};
