#include "HistoryDlg.h"

#include <commctrl.h>

#include "dlgfield.h"
#include "resource.h"
#include "uitext.h"

#define TIMER_USER_WINDOW 1
// The next slice of the list's work.
#define WM_HISTORY_SLICE (WM_APP + 1)

BEGIN_MESSAGE_MAP(CHistoryDlg, CDialog)
    ON_COMMAND(IDC_HISTORY_COPY, OnCopy)
    ON_COMMAND(IDC_HISTORY_RETYPE, OnRetype)
    ON_COMMAND(IDC_HISTORY_EXPORT, OnExport)
    ON_CONTROL(EN_CHANGE, IDC_HISTORY_SEARCH, OnFilterChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_HISTORY_OUTCOME, OnFilterChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_HISTORY_PERIOD, OnFilterChanged)
    ON_WM_TIMER()
    ON_MESSAGE(WM_NOTIFY, OnNotify)
    ON_MESSAGE(WM_HELP, OnHelp)
    ON_MESSAGE(WM_HISTORY_SLICE, OnSlice)
END_MESSAGE_MAP()

namespace {

// The choices of the period, in its list's order.
enum PeriodFilter { PERIOD_TODAY, PERIOD_WEEK, PERIOD_ALL };

}  // namespace

CHistoryDlg::CHistoryDlg(IHistoryHost* pHost)
    : CDialog(IDD_HISTORY), m_pTray(pHost), m_hList(NULL), m_nPeriod(PERIOD_ALL), m_bCountsShown(false)
{
}

void CHistoryDlg::Open()
{
    if (!m_hWnd) {
        INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_LISTVIEW_CLASSES };
        InitCommonControlsEx(&icc);
        if (!CreateIndirect(UiLoadDialog(IDD_HISTORY)))
            return;
    }
    if (IsIconic())
        ShowWindow(SW_RESTORE);
    ShowWindow(SW_SHOW);
    SetForegroundWindow();
}

BOOL CHistoryDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_hList = ::GetDlgItem(m_hWnd, IDC_HISTORY_LIST);
    const DWORD dwExStyle = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP;
    SendMessageW(m_hList, LVM_SETEXTENDEDLISTVIEWSTYLE, dwExStyle, dwExStyle);
    InsertColumns();
    FillChoices();
    m_list.Attach(m_hList, WM_HISTORY_SLICE);
    m_bCountsShown = false;
    OnFilterChanged();
    // The newest rows before the window shows, the rest in slices.
    m_list.OnSlice(m_pTray->History());
    UpdateButtons();
    // The window the user goes to while this one is open is where "Type
    // again" types: it is looked for as long as the window is open.
    SetTimer(TIMER_USER_WINDOW, 250, NULL);
    ::SetFocus(m_hList);
    return FALSE;
}

// Column widths share out the list's width, which the template gives in
// dialog units: they follow the font and the screen's DPI.
void CHistoryDlg::InsertColumns()
{
    static const struct { UINT nText; int nPercent; } s_columns[] = {
        { IDS_HISTORY_TIME, 15 }, { IDS_HISTORY_SYMBOLOGY, 10 }, { IDS_HISTORY_CODE, 30 },
        { IDS_HISTORY_RESULT, 31 }, { IDS_HISTORY_PROGRAM, 14 },
    };
    RECT rect;
    ::GetClientRect(m_hList, &rect);
    int cxList = rect.right - GetSystemMetrics(SM_CXVSCROLL);
    for (int i = 0; i < (int)ARRAYSIZE(s_columns); ++i) {
        WCHAR szText[64];
        UiLoadString(s_columns[i].nText, szText, ARRAYSIZE(szText));
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = szText;
        column.cx = cxList * s_columns[i].nPercent / 100;
        column.iSubItem = i;
        SendMessageW(m_hList, LVM_INSERTCOLUMNW, i, (LPARAM)&column);
    }
}

void CHistoryDlg::FillChoices()
{
    static const struct { int nCombo; UINT anTexts[4]; int nChoice; } s_combos[] = {
        { IDC_HISTORY_OUTCOME,
          { IDS_HISTORY_ALL_OUTCOMES, IDS_HISTORY_ONLY_TYPED, IDS_HISTORY_ONLY_NOT_TYPED, IDS_HISTORY_ONLY_DUPLICATES },
          SHOW_ALL },
        { IDC_HISTORY_PERIOD, { IDS_HISTORY_TODAY, IDS_HISTORY_WEEK, IDS_HISTORY_ALL_TIME, 0 }, PERIOD_ALL },
    };
    for (const auto& combo : s_combos) {
        HWND hCombo = ::GetDlgItem(m_hWnd, combo.nCombo);
        for (UINT nText : combo.anTexts) {
            WCHAR szText[64];
            if (nText && UiLoadString(nText, szText, ARRAYSIZE(szText)))
                SendMessageW(hCombo, CB_ADDSTRING, 0, (LPARAM)szText);
        }
        SendMessageW(hCombo, CB_SETCURSEL, combo.nChoice, 0);
    }
}

// A new record, or the day changed: the rows follow the history, the
// selection stays on its records.
void CHistoryDlg::Update()
{
    const CScanHistory& history = m_pTray->History();
    unsigned long long nToday = LocalDayStart(HistoryNow());
    m_filter.nSince = m_nPeriod == PERIOD_TODAY ? nToday
                      : m_nPeriod == PERIOD_WEEK ? nToday - 6 * kHistoryDay
                                                 : 0;
    m_list.Follow(history, nToday);
    m_list.SetFilter(history, m_filter);
    ShowCounts();
    UpdateButtons();
}

// Today's scans: those typed, and those not (a repeat, a refusal, a
// duplicate held back, a failure). Codes typed again are no scans.
void CHistoryDlg::ShowCounts()
{
    const CHistoryCounts& counts = m_list.View().Counts();
    if (counts.nScanned == m_shownCounts.nScanned && counts.nTyped == m_shownCounts.nTyped && m_bCountsShown)
        return;
    m_shownCounts = counts;
    m_bCountsShown = true;
    WCHAR szFormat[128], szText[192];
    UiLoadString(IDS_HISTORY_COUNTS, szFormat, ARRAYSIZE(szFormat));
    wsprintfW(szText, szFormat, counts.nScanned, counts.nTyped, counts.nScanned - counts.nTyped);
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_COUNTS, szText);
}

void CHistoryDlg::Refresh()
{
    if (m_hWnd && m_hList)
        Update();
}

void CHistoryDlg::OnFilterChanged()
{
    if (!m_hList)
        return;
    WCHAR szSearch[256] = L"";
    GetDlgItemTextW(m_hWnd, IDC_HISTORY_SEARCH, szSearch, ARRAYSIZE(szSearch));
    m_filter.strSearch = szSearch;
    m_filter.shown = (HistoryShown)SendDlgItemMessageW(m_hWnd, IDC_HISTORY_OUTCOME, CB_GETCURSEL, 0, 0);
    m_nPeriod = (int)SendDlgItemMessageW(m_hWnd, IDC_HISTORY_PERIOD, CB_GETCURSEL, 0, 0);
    Update();
}

LRESULT CHistoryDlg::OnSlice(WPARAM, LPARAM)
{
    if (!m_hList)
        return 0;
    Update();
    m_list.OnSlice(m_pTray->History());
    UpdateButtons();
    return 0;
}

void CHistoryDlg::OnGetDispInfo(NMLVDISPINFOW* pInfo)
{
    LVITEMW& item = pInfo->item;
    if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || !item.cchTextMax)
        return;
    const CScanHistory& history = m_pTray->History();
    // A change the window has not been told of yet: nothing shown from it.
    if (!m_list.View().InStep(history))
        Update();
    if ((size_t)item.iItem >= m_list.View().Rows())
        return;
    const ScanRecord& record = m_list.View().Row(history, item.iItem);
    switch (item.iSubItem) {
    case 0: m_strCell = HistoryTimeText(record.nTime); break;
    case 1: m_strCell = SymbologyText(record.symbology); break;
    case 2: m_strCell = HistoryCodeText(record); break;
    case 3: m_strCell = HistoryResultText(record); break;
    default: m_strCell = record.strProgram; break;
    }
    lstrcpynW(item.pszText, m_strCell.c_str(), item.cchTextMax);
}

std::vector<const ScanRecord*> CHistoryDlg::Selected() const
{
    std::vector<const ScanRecord*> records;
    for (size_t nRow : m_list.SelectedRows())
        records.push_back(&m_list.View().Row(m_pTray->History(), nRow));
    return records;
}

const ScanRecord* CHistoryDlg::FirstSelected() const
{
    int nRow = (int)SendMessageW(m_hList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    return nRow >= 0 && (size_t)nRow < m_list.View().Rows() ? &m_list.View().Row(m_pTray->History(), nRow) : NULL;
}

std::vector<const ScanRecord*> CHistoryDlg::Listed()
{
    const CScanHistory& history = m_pTray->History();
    Update();
    m_list.Finish(history);
    std::vector<const ScanRecord*> records;
    records.reserve(m_list.View().Rows());
    for (size_t i = 0; i < m_list.View().Rows(); ++i)
        records.push_back(&m_list.View().Row(history, i));
    return records;
}

void CHistoryDlg::UpdateButtons()
{
    BOOL bSelected = FirstSelected() != NULL;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_HISTORY_COPY), bSelected);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_HISTORY_RETYPE), bSelected);
}

void CHistoryDlg::SetStatus(UINT nID)
{
    WCHAR szText[256];
    UiLoadString(nID, szText, ARRAYSIZE(szText));
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, szText);
}

LRESULT CHistoryDlg::OnNotify(WPARAM, LPARAM lParam)
{
    NMHDR* pHeader = reinterpret_cast<NMHDR*>(lParam);
    if (pHeader->idFrom != IDC_HISTORY_LIST)
        return 0;
    if (pHeader->code == LVN_GETDISPINFOW)
        OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(lParam));
    else if ((pHeader->code == LVN_ITEMCHANGED || pHeader->code == LVN_ODSTATECHANGED) && !m_list.Selecting())
        UpdateButtons();
    return 0;
}

BOOL CHistoryDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == 'C' && GetKeyState(VK_CONTROL) < 0 &&
        (pMsg->hwnd == m_hList)) {
        OnCopy();
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

// The code as it came, control characters and all: pasted, it is the code.
// Several selected: one a line.
void CHistoryDlg::OnCopy()
{
    std::wstring strText;
    for (const ScanRecord* pRecord : Selected()) {
        if (pRecord->bCut || pRecord->bNotKept) {
            SetStatus(pRecord->bCut ? IDS_HISTORY_NOT_KEPT : IDS_HISTORY_PASTED_NOT_KEPT);
            return;
        }
        strText += (strText.empty() ? L"" : L"\r\n") + pRecord->strCode;
    }
    if (strText.empty())
        return;
    HGLOBAL hText = GlobalAlloc(GMEM_MOVEABLE, (strText.size() + 1) * sizeof(WCHAR));
    if (!hText)
        return;
    CopyMemory(GlobalLock(hText), strText.c_str(), (strText.size() + 1) * sizeof(WCHAR));
    GlobalUnlock(hText);
    if (OpenClipboard(m_hWnd)) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, hText))
            hText = NULL;
        CloseClipboard();
    }
    if (hText)
        GlobalFree(hText);
}

void CHistoryDlg::OnRetype()
{
    const ScanRecord* pRecord = FirstSelected();
    if (!pRecord)
        return;
    if (pRecord->bCut || pRecord->bNotKept) {
        SetStatus(pRecord->bCut ? IDS_HISTORY_NOT_KEPT : IDS_HISTORY_PASTED_NOT_KEPT);
        return;
    }
    m_pTray->RememberUserWindow();
    // A copy: the history changes while the code is typed.
    std::string strBytes = pRecord->strBytes;
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, L"");
    if (!m_pTray->RetypeScan(strBytes))
        SetStatus(IDS_HISTORY_BUSY);
}

void CHistoryDlg::ShowResult(const ScanRecord& record)
{
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, HistoryResultText(record).c_str());
}

void CHistoryDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == TIMER_USER_WINDOW)
        m_pTray->RememberUserWindow();
}

void CHistoryDlg::OnCancel()
{
    DestroyWindow();
}

void CHistoryDlg::PostNcDestroy()
{
    m_hList = NULL;
    m_list.Detach();
}

void CHistoryDlg::OnDpiChanged()
{
    FitColumns(m_hList);
}
