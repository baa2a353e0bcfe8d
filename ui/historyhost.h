// What the scan history window needs of the tray window that opens it.
#pragma once

#include <string>

#include "fileworker.h"
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
    // Hands an export to the history file's worker; false when it cannot be
    // handed over. The window is told the result (CHistoryDlg::OnExported).
    virtual bool ExportHistory(CHistoryExport&& job) = 0;
    virtual bool HistoryExporting() const = 0;
};
