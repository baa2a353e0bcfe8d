#include "HistoryDlg.h"

#include <commctrl.h>

#include "ScanWedgeDlg.h"
#include "resource.h"
#include "uitext.h"

#define TIMER_USER_WINDOW 1

BEGIN_MESSAGE_MAP(CHistoryDlg, CDialog)
    ON_COMMAND(IDC_HISTORY_COPY, OnCopy)
    ON_COMMAND(IDC_HISTORY_RETYPE, OnRetype)
    ON_WM_TIMER()
    ON_MESSAGE(WM_NOTIFY, OnNotify)
END_MESSAGE_MAP()

// The short text of a record's result.
static UINT ResultTextId(const ScanRecord& record)
{
    if (record.outcome == SCAN_TYPED)
        return record.cause == NOTICE_CLIPBOARD_NOT_BACK ? IDS_HISTORY_CLIPBOARD_NOT_BACK : IDS_HISTORY_TYPED;
    if (record.outcome == SCAN_REPEAT)
        return IDS_HISTORY_REPEAT;
    switch (record.cause) {
    case NOTICE_TYPED_SELF: return IDS_HISTORY_SELF;
    case NOTICE_TYPED_NO_FOCUS: return IDS_HISTORY_NO_FOCUS;
    case NOTICE_TYPED_ELEVATED: return IDS_HISTORY_ELEVATED;
    case NOTICE_REJECTED: return IDS_HISTORY_REJECTED;
    case NOTICE_PASTE_NOT_TAKEN: return IDS_HISTORY_PASTE_NOT_TAKEN;
    case NOTICE_TYPED_FRONT: return IDS_HISTORY_FRONT;
    case NOTICE_QUEUE_FULL: return IDS_HISTORY_QUEUE_FULL;
    case NOTICE_TYPED_CANCELLED: return IDS_HISTORY_CANCELLED;
    default: return IDS_HISTORY_FAILED;
    }
}

// A record's result as the window shows it: a refusal names its rule, a
// typing stopped half-way how far it got, and a code too long to keep says so.
static std::wstring ResultText(const ScanRecord& record)
{
    WCHAR szFormat[128], szText[160], szCut[64] = L"";
    UiLoadString(ResultTextId(record), szFormat, ARRAYSIZE(szFormat));
    if (record.outcome == SCAN_NOT_TYPED && (record.cause == NOTICE_TYPED_FRONT || record.cause == NOTICE_TYPED_CANCELLED))
        wsprintfW(szText, szFormat, (int)record.nTyped, (int)record.nTotal);
    else
        wsprintfW(szText, szFormat, record.nRule);
    if (record.bCut)
        UiLoadString(IDS_HISTORY_CUT, szCut, ARRAYSIZE(szCut));
    return std::wstring(szText) + szCut;
}

// The time of day, with the date in front when it is not today: the program
// runs for days.
static std::wstring TimeText(const SYSTEMTIME& time)
{
    WCHAR szDate[64] = {}, szTime[64] = {};
    SYSTEMTIME today;
    GetLocalTime(&today);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, NULL, szTime, ARRAYSIZE(szTime));
    if (time.wYear == today.wYear && time.wMonth == today.wMonth && time.wDay == today.wDay)
        return szTime;
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, NULL, szDate, ARRAYSIZE(szDate));
    return std::wstring(szDate) + L" " + szTime;
}

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
    m_nShown = 0;
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
        { IDS_HISTORY_TIME, 15 }, { IDS_HISTORY_CODE, 33 },
        { IDS_HISTORY_PROGRAM, 16 }, { IDS_HISTORY_RESULT, 36 },
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

void CHistoryDlg::InsertRow(int nRow, const ScanRecord& record)
{
    std::wstring texts[] = { TimeText(record.time),
                             VisibleCode(record.strCode) + (record.bCut ? L"\x2026" : L""),
                             record.strProgram, ResultText(record) };
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nRow;
    item.pszText = &texts[0][0];
    SendMessageW(m_hList, LVM_INSERTITEMW, 0, (LPARAM)&item);
    for (int i = 1; i < (int)ARRAYSIZE(texts); ++i) {
        item.iSubItem = i;
        item.pszText = const_cast<LPWSTR>(texts[i].c_str());
        SendMessageW(m_hList, LVM_SETITEMTEXTW, nRow, (LPARAM)&item);
    }
}

// Row i always shows record i: new records go in at the top, those the
// history let go leave at the bottom, and the selection stays on its record.
void CHistoryDlg::Refresh()
{
    if (!m_hWnd || !m_hList)
        return;
    const CScanHistory& history = m_pTray->History();
    size_t nNew = history.Added() - m_nShown;
    if (nNew > history.Count()) {
        SendMessageW(m_hList, LVM_DELETEALLITEMS, 0, 0);
        nNew = history.Count();
    }
    for (size_t i = nNew; i-- > 0;)
        InsertRow(0, history.At(i));
    int nRows;
    while ((nRows = (int)SendMessageW(m_hList, LVM_GETITEMCOUNT, 0, 0)) > (int)history.Count())
        SendMessageW(m_hList, LVM_DELETEITEM, nRows - 1, 0);
    m_nShown = history.Added();
    if (SelectedRow() < 0)
        SelectRow(0);
}

int CHistoryDlg::SelectedRow() const
{
    return (int)SendMessageW(m_hList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

void CHistoryDlg::SelectRow(int nRow)
{
    if (nRow >= (int)SendMessageW(m_hList, LVM_GETITEMCOUNT, 0, 0))
        return;
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_hList, LVM_SETITEMSTATE, nRow, (LPARAM)&item);
}

void CHistoryDlg::UpdateButtons()
{
    BOOL bSelected = SelectedRow() >= 0;
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
    const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
    if (pHeader->idFrom == IDC_HISTORY_LIST && pHeader->code == LVN_ITEMCHANGED)
        UpdateButtons();
    return 0;
}

BOOL CHistoryDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == 'C' && GetKeyState(VK_CONTROL) < 0 &&
        (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd))) {
        OnCopy();
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

// The code as it came, control characters and all: pasted, it is the code.
void CHistoryDlg::OnCopy()
{
    int nRow = SelectedRow();
    if (nRow < 0)
        return;
    if (m_pTray->History().At(nRow).bCut) {
        SetStatus(IDS_HISTORY_NOT_KEPT);
        return;
    }
    const std::wstring& strCode = m_pTray->History().At(nRow).strCode;
    HGLOBAL hText = GlobalAlloc(GMEM_MOVEABLE, (strCode.size() + 1) * sizeof(WCHAR));
    if (!hText)
        return;
    CopyMemory(GlobalLock(hText), strCode.c_str(), (strCode.size() + 1) * sizeof(WCHAR));
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
    int nRow = SelectedRow();
    if (nRow < 0)
        return;
    if (m_pTray->History().At(nRow).bCut) {
        SetStatus(IDS_HISTORY_NOT_KEPT);
        return;
    }
    m_pTray->RememberUserWindow();
    // A copy: the history changes while the code is typed.
    std::string strBytes = m_pTray->History().At(nRow).strBytes;
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, L"");
    if (!m_pTray->RetypeScan(strBytes))
        SetStatus(IDS_HISTORY_BUSY);
}

void CHistoryDlg::ShowResult(const ScanRecord& record)
{
    SetDlgItemTextW(m_hWnd, IDC_HISTORY_STATUS, ResultText(record).c_str());
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
}
