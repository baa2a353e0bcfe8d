#include "HistoryDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <unordered_set>

#include "ScanWedgeDlg.h"
#include "dlgfield.h"
#include "resource.h"
#include "uitext.h"

#define TIMER_USER_WINDOW 1

BEGIN_MESSAGE_MAP(CHistoryDlg, CDialog)
    ON_COMMAND(IDC_HISTORY_COPY, OnCopy)
    ON_COMMAND(IDC_HISTORY_RETYPE, OnRetype)
    ON_COMMAND(IDC_HISTORY_EXPORT, OnExport)
    ON_CONTROL(EN_CHANGE, IDC_HISTORY_SEARCH, OnFilterChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_HISTORY_OUTCOME, OnFilterChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_HISTORY_PERIOD, OnFilterChanged)
    ON_WM_TIMER()
    ON_MESSAGE(WM_NOTIFY, OnNotify)
END_MESSAGE_MAP()

namespace {

// The choices of the result filter and the period, in their lists' order.
enum OutcomeFilter { SHOW_ALL, SHOW_TYPED, SHOW_NOT_TYPED, SHOW_DUPLICATES };
enum PeriodFilter { PERIOD_TODAY, PERIOD_WEEK, PERIOD_ALL };

// Characters in lower case, by table: a search looks at every record.
const wchar_t* LowerTable()
{
    static wchar_t* s_pTable = NULL;
    if (!s_pTable) {
        s_pTable = new wchar_t[0x10000];
        for (unsigned i = 0; i < 0x10000; ++i)
            s_pTable[i] = (wchar_t)i;
        CharLowerBuffW(s_pTable + 1, 0xFFFF);
        // Surrogates stay as they are, each half a character of its own.
        for (unsigned i = 0xD800; i < 0xE000; ++i)
            s_pTable[i] = (wchar_t)i;
    }
    return s_pTable;
}

// Whether strLower (in lower case) is in str, in any case.
bool ContainsFolded(const std::wstring& str, const std::wstring& strLower)
{
    if (strLower.size() > str.size())
        return false;
    const wchar_t* pLower = LowerTable();
    for (size_t i = 0; i + strLower.size() <= str.size(); ++i) {
        size_t j = 0;
        while (j < strLower.size() && pLower[(unsigned short)str[i + j]] == strLower[j])
            ++j;
        if (j == strLower.size())
            return true;
    }
    return false;
}

}  // namespace

CHistoryDlg::CHistoryDlg(CScanWedgeDlg* pTray)
    : CDialog(IDD_HISTORY), m_pTray(pTray), m_hList(NULL), m_nShown(0)
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
    m_strSearch.clear();
    m_nShown = (size_t)-1;
    Refresh();
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

bool CHistoryDlg::Shows(const ScanRecord& record, unsigned long long nSince) const
{
    if (record.nTime < nSince)
        return false;
    switch (SendDlgItemMessageW(m_hWnd, IDC_HISTORY_OUTCOME, CB_GETCURSEL, 0, 0)) {
    case SHOW_TYPED:
        if (record.outcome != SCAN_TYPED)
            return false;
        break;
    case SHOW_NOT_TYPED:
        if (record.outcome == SCAN_TYPED)
            return false;
        break;
    case SHOW_DUPLICATES:
        if (!record.bDuplicate)
            return false;
        break;
    default: break;
    }
    return m_strSearch.empty() || ContainsFolded(record.strCode, m_strSearch) ||
           ContainsFolded(record.strProgram, m_strSearch);
}

void CHistoryDlg::Rebuild()
{
    const CScanHistory& history = m_pTray->History();
    std::vector<const ScanRecord*> selected = Selected();
    std::unordered_set<const ScanRecord*> wasSelected(selected.begin(), selected.end());
    unsigned long long nNow = HistoryNow(), nSince = 0;
    switch (SendDlgItemMessageW(m_hWnd, IDC_HISTORY_PERIOD, CB_GETCURSEL, 0, 0)) {
    case PERIOD_TODAY: nSince = LocalDayStart(nNow); break;
    case PERIOD_WEEK: nSince = LocalDayStart(nNow) - 6 * kHistoryDay; break;
    default: break;
    }
    m_rows.clear();
    m_rows.reserve(history.Count());
    for (size_t i = 0; i < history.Count(); ++i) {
        if (Shows(history.At(i), nSince))
            m_rows.push_back(&history.At(i));
    }
    m_nShown = history.Added();
    SendMessageW(m_hList, LVM_SETITEMCOUNT, m_rows.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_hList, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&item);
    bool bAny = false;
    for (size_t i = 0; i < m_rows.size() && wasSelected.size(); ++i) {
        if (wasSelected.count(m_rows[i])) {
            item.state = bAny ? LVIS_SELECTED : LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(m_hList, LVM_SETITEMSTATE, i, (LPARAM)&item);
            bAny = true;
        }
    }
    if (!bAny && !m_rows.empty()) {
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(m_hList, LVM_SETITEMSTATE, 0, (LPARAM)&item);
    }
    ::InvalidateRect(m_hList, NULL, FALSE);
    ShowCounts();
    UpdateButtons();
}

// Today's scans: those typed, and those not (a repeat, a refusal, a
// duplicate held back, a failure). Codes typed again are no scans.
void CHistoryDlg::ShowCounts()
{
    const CScanHistory& history = m_pTray->History();
    unsigned long long nToday = LocalDayStart(HistoryNow());
    int nScanned = 0, nTyped = 0;
    for (size_t i = 0; i < history.Count() && history.At(i).nTime >= nToday; ++i) {
        if (history.At(i).bRetyped)
            continue;
        ++nScanned;
        nTyped += history.At(i).outcome == SCAN_TYPED;
    }
    WCHAR szFormat[128], szText[192];
    UiLoadString(IDS_HISTORY_COUNTS, szFormat, ARRAYSIZE(szFormat));
    wsprintfW(szText, szFormat, nScanned, nTyped, nScanned - nTyped);
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_COUNTS, szText);
}

// The rows follow the history; those it let go leave, the selection stays
// on its records.
void CHistoryDlg::Refresh()
{
    if (!m_hWnd || !m_hList || m_nShown == m_pTray->History().Added())
        return;
    Rebuild();
}

void CHistoryDlg::OnFilterChanged()
{
    if (!m_hList)
        return;
    WCHAR szSearch[256] = L"";
    GetDlgItemTextW(m_hWnd, IDC_HISTORY_SEARCH, szSearch, ARRAYSIZE(szSearch));
    m_strSearch = szSearch;
    const wchar_t* pLower = LowerTable();
    for (wchar_t& ch : m_strSearch)
        ch = pLower[(unsigned short)ch];
    Rebuild();
}

void CHistoryDlg::OnGetDispInfo(NMLVDISPINFOW* pInfo)
{
    LVITEMW& item = pInfo->item;
    if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || (size_t)item.iItem >= m_rows.size() || !item.cchTextMax)
        return;
    // A change the window has not been told of yet: nothing shown from it.
    if (m_nShown != m_pTray->History().Added())
        Rebuild();
    if ((size_t)item.iItem >= m_rows.size())
        return;
    const ScanRecord& record = *m_rows[item.iItem];
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
    int nRow = -1;
    while ((nRow = (int)SendMessageW(m_hList, LVM_GETNEXTITEM, nRow, LVNI_SELECTED)) >= 0 &&
           (size_t)nRow < m_rows.size())
        records.push_back(m_rows[nRow]);
    return records;
}

const ScanRecord* CHistoryDlg::FirstSelected() const
{
    int nRow = (int)SendMessageW(m_hList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    return nRow >= 0 && (size_t)nRow < m_rows.size() ? m_rows[nRow] : NULL;
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
    else if (pHeader->code == LVN_ITEMCHANGED || pHeader->code == LVN_ODSTATECHANGED)
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
    m_rows.clear();
}

void CHistoryDlg::OnDpiChanged()
{
    FitColumns(m_hList);
}
