// What the settings window needs of the tray window that opens it.
#pragma once

class ISettingsHost {
public:
    virtual ~ISettingsHost() {}
    // The files hold new settings: read them and put them in force.
    virtual void SettingsApplied() = 0;
    // Every record of the scan history gone, from its window and its file.
    virtual void ClearHistory() = 0;
};
