// The scan history kept across restarts: the file's worker started with the
// tray, the file opened and read back there while the scanner starts, its
// results taken by a message; the settings that keep it or not.
#include "ScanWedgeDlg.h"

#include <new>

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
    if (!m_history.StartWorker(m_hWnd, WM_HISTORY_FILE)) {
        LogWrite("History", "the history file's thread cannot start (error %lu): kept for this run only",
                 GetLastError());
        return;
    }
    std::wstring strPath = HistoryFilePath();
    if (strPath.empty())
        return;
    if (!options.bOnDisk) {
        // Only this run's: what an earlier run kept goes.
        m_history.CloseFile(true, strPath);
        return;
    }
    m_history.OpenFile(strPath);
}

namespace {

void LogFileResult(const CHistoryFileResult& result)
{
    const char* pszRead = result.bOutOfMemory ? "out of memory" : "error";
    switch (result.event) {
    case HISTORY_FILE_WAITING:
        LogWrite("History", "the history file cannot be opened (error %lu): tried again; this run's records are "
                 "written when it opens", result.dwError);
        break;
    case HISTORY_FILE_OPENED:
        LogWrite("History", "the history file is open: this run's records are written");
        break;
    case HISTORY_FILE_PUT_ASIDE:
        if (result.strPath.empty())
            LogWrite("History", "the history file is not a history file and cannot be put aside (error %lu): "
                     "left as it is; kept for this run only", result.dwError);
        else
            LogWrite("History", "the history file is not a history file: put aside as %s",
                     ToUtf8(result.strPath).c_str());
        break;
    case HISTORY_FILE_LOADED:
        if (result.contents.nSkipped)
            LogWrite("History", "%u damaged or unfinished records skipped in the history file",
                     (unsigned)result.contents.nSkipped);
        if (result.contents.nBeyond)
            LogWrite("History", "%u records of the history file beyond its bounds", (unsigned)result.contents.nBeyond);
        break;
    case HISTORY_FILE_LOAD_RETRY:
        LogWrite("History", "the history file cannot be read (%s %lu, try %u): tried again; nothing was deleted",
                 pszRead, result.dwError, result.nTry);
        break;
    case HISTORY_FILE_LOAD_FAILED:
        LogWrite("History", "the history file cannot be read (%s %lu, try %u): the records before this run are "
                 "not shown and stay in the file; nothing was deleted", pszRead, result.dwError, result.nTry);
        break;
    case HISTORY_FILE_COMPACT_FAILED:
        LogWrite("History", "the history file cannot be rewritten (error %lu): kept as it is", result.dwError);
        break;
    case HISTORY_FILE_WRITE_FAILED:
        LogWrite("History", "a record cannot be written to the history file (error %lu)", result.dwError);
        break;
    default:
        break;
    }
}

}  // namespace

LRESULT CScanWedgeDlg::OnHistoryFile(WPARAM, LPARAM lParam)
{
    CHistoryFileResult* pResult = reinterpret_cast<CHistoryFileResult*>(lParam);
    if (!pResult)
        return 0;
    if (pResult->event == HISTORY_FILE_EXPORTED) {
        m_bHistoryExporting = false;
        if (pResult->bOutOfMemory || !pResult->bDone)
            LogWrite("History", "export failed (%s %lu)", pResult->bOutOfMemory ? "out of memory" : "error",
                     pResult->dwError);
        if (m_dlgHistory.GetSafeHwnd())
            m_dlgHistory.OnExported(*pResult);
        delete pResult;
        return 0;
    }
    LogFileResult(*pResult);
    size_t nAdded = m_history.Added();
    try {
        m_history.OnFileResult(*pResult, HistoryNow());
    } catch (const std::bad_alloc&) {
        LogWrite("History", "out of memory taking in the history file's records: not shown; nothing was deleted");
    }
    delete pResult;
    if (nAdded != m_history.Added() && m_dlgHistory.GetSafeHwnd())
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

bool CScanWedgeDlg::ExportHistory(CHistoryExport&& job)
{
    if (!m_history.Worker().Started())
        return false;
    m_history.Export(std::move(job));
    m_bHistoryExporting = true;
    return true;
}
