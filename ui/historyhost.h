// What the scan history window needs of the tray window that opens it.
#pragma once

#include <string>

#include "history.h"

class IHistoryHost {
public:
    virtual ~IHistoryHost() {}
    virtual const CScanHistory& History() const = 0;
    // Types a recorded decode again where the user works; false, and
    // nothing done, while a decode is under way. The window is told the
    // result through CHistoryDlg::ShowResult.
    virtual bool RetypeScan(const std::string& strBytes) = 0;
    // The user's window in front before this one took the foreground, for
    // "Type again" to give it back.
    virtual void RememberUserWindow() = 0;
};
