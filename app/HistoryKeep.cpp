// The scan history kept across restarts: the file opened at start and read
// back on a thread of its own while the scanner starts, its records handed
// to the tray window by a message; the settings that keep it or not.
#include "ScanWedgeDlg.h"

#include "logfile.h"

void CScanWedgeDlg::StartHistory(const CSettingsSource& settings)
{
    CHistorySettings options = ReadHistorySettings(settings);
    // Said when not as it always is, and when it changes.
    if (options.bOnDisk != m_historyKept.bOnDisk || options.nDays != m_historyKept.nDays)
        LogWrite("History", "%s, for %d days", options.bOnDisk ? "kept on disk" : "kept for this run only",
                 options.nDays);
    m_historyKept = options;
    m_history.SetDays(options.nDays);
    std::wstring strPath = HistoryFilePath();
    if (strPath.empty())
        return;
    if (!options.bOnDisk) {
        // Only this run's: what an earlier run kept goes.
        m_history.CloseFile(true);
        DeleteFileW(strPath.c_str());
        return;
    }
    if (m_history.HasFile())
        return;
    unsigned long long nOlder = 0;
    if (!m_history.OpenFile(strPath, &nOlder)) {
        LogWrite("History", "the history file cannot be opened (error %lu): kept for this run only",
                 GetLastError());
        return;
    }
    if (nOlder && !StartHistoryLoad(strPath, nOlder, m_hWnd, WM_HISTORY_LOADED)) {
        HistoryFileContents none;
        m_history.Merge(none, HistoryNow());
    }
}

LRESULT CScanWedgeDlg::OnHistoryLoaded(WPARAM, LPARAM lParam)
{
    HistoryFileContents* pContents = reinterpret_cast<HistoryFileContents*>(lParam);
    HistoryFileContents none;
    if (!pContents)
        LogWrite("History", "the history file cannot be read: the records before this run are not shown");
    else if (pContents->nSkipped)
        LogWrite("History", "%u damaged or unfinished records skipped in the history file",
                 (unsigned)pContents->nSkipped);
    try {
        m_history.Merge(pContents ? *pContents : none, HistoryNow());
    } catch (const std::bad_alloc&) {
    }
    delete pContents;
    if (m_dlgHistory.GetSafeHwnd())
        m_dlgHistory.Refresh();
    return 0;
}


// The symbology is known when one alone is on: the engine does not say.
ScanSymbology CScanWedgeDlg::EnabledSymbology() const
{
    ScanSymbology symbology = SYMBOLOGY_UNKNOWN;
    for (int i = 0; i < SYM_COUNT; ++i) {
        if (!m_flow.IsOn((Symbology)i))
            continue;
        if (symbology != SYMBOLOGY_UNKNOWN)
            return SYMBOLOGY_UNKNOWN;
        symbology = (ScanSymbology)(SYMBOLOGY_QR + i);
    }
    return symbology;
}

void CScanWedgeDlg::ClearHistory()
{
    m_history.Clear();
    if (m_dlgHistory.GetSafeHwnd())
        m_dlgHistory.Refresh();
    LogWrite("History", "cleared");
}
