#include "historylist.h"

#include <commctrl.h>

namespace {

// A slice: records looked at between checks of the time, and how long it
// may go on.
const size_t kSliceRecords = 2048;
const double kSliceSeconds = 0.004;

double SecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return (double)(now.QuadPart - start.QuadPart) / (double)freq.QuadPart;
}

}  // namespace

void CHistoryList::Attach(HWND hList, UINT nSliceMessage)
{
    m_hList = hList;
    m_nSliceMessage = nSliceMessage;
}

void CHistoryList::Detach()
{
    m_hList = NULL;
    m_nToday = 0;
    m_bPosted = m_bReselect = false;
    m_keep.clear();
    m_view = CHistoryView();
}

void CHistoryList::Follow(const CScanHistory& history, unsigned long long nToday)
{
    if (!m_hList || (m_view.InStep(history) && nToday == m_nToday))
        return;
    m_nToday = nToday;
    std::vector<unsigned long long> places = SelectedPlaces();
    bool bMoved = m_view.Follow(history, nToday);
    ShowRows(bMoved);
    // Those let go from the end leave the selection with their rows.
    if (!m_bReselect && (bMoved || !SendMessageW(m_hList, LVM_GETSELECTEDCOUNT, 0, 0)))
        Select(places);
    if (m_view.Pending())
        PostSlice();
}

void CHistoryList::SetFilter(const CScanHistory& history, const CHistoryFilter& filter)
{
    if (!m_hList)
        return;
    std::vector<unsigned long long> places = m_bReselect ? m_keep : SelectedPlaces();
    if (!m_view.SetFilter(filter))
        return;
    m_keep.swap(places);
    m_bReselect = true;
    m_bSelecting = true;
    Unselect(GetFocus() == m_hList);
    m_bSelecting = false;
    Slice(history, kSliceRecords, kSliceSeconds);
}

void CHistoryList::OnSlice(const CScanHistory& history)
{
    m_bPosted = false;
    if (m_hList && m_view.Pending())
        Slice(history, kSliceRecords, kSliceSeconds);
}

void CHistoryList::Finish(const CScanHistory& history)
{
    if (m_hList && m_view.Pending())
        Slice(history, (size_t)-1, 0);
}

void CHistoryList::Slice(const CScanHistory& history, size_t nRecords, double dSeconds)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    while (m_view.Continue(history, nRecords) && SecondsSince(start) < dSeconds) {
    }
    ShowRows(true);
    if (m_view.Pending()) {
        PostSlice();
    } else if (m_bReselect || !SendMessageW(m_hList, LVM_GETSELECTEDCOUNT, 0, 0)) {
        m_bReselect = false;
        Select(m_keep);
        m_keep.clear();
    }
}

// Once the rows are all found: the list is drawn only then, as the slices'
// messages come before its painting. A count that changes redraws the
// scroll bars at once, which takes milliseconds.
void CHistoryList::ShowRows(bool bChanged)
{
    if (m_view.Pending())
        return;
    if ((LRESULT)m_view.Rows() != SendMessageW(m_hList, LVM_GETITEMCOUNT, 0, 0)) {
        SendMessageW(m_hList, LVM_SETITEMCOUNT, m_view.Rows(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        bChanged = true;
    }
    if (bChanged)
        InvalidateRect(m_hList, NULL, FALSE);
}

void CHistoryList::PostSlice()
{
    if (!m_bPosted && PostMessageW(GetParent(m_hList), m_nSliceMessage, 0, 0))
        m_bPosted = true;
}

std::vector<size_t> CHistoryList::SelectedRows() const
{
    std::vector<size_t> rows;
    if (!m_hList)
        return rows;
    // Each look goes on row by row to the next one selected: none past the
    // last looked for.
    size_t nSelected = (size_t)SendMessageW(m_hList, LVM_GETSELECTEDCOUNT, 0, 0);
    int nRow = -1;
    while (rows.size() < nSelected && (nRow = (int)SendMessageW(m_hList, LVM_GETNEXTITEM, nRow, LVNI_SELECTED)) >= 0 &&
           (size_t)nRow < m_view.Rows())
        rows.push_back((size_t)nRow);
    return rows;
}

std::vector<unsigned long long> CHistoryList::SelectedPlaces() const
{
    std::vector<unsigned long long> places;
    for (size_t nRow : SelectedRows())
        places.push_back(m_view.Place(nRow));
    return places;
}

// Row by row: for every row at once the list view goes over every row.
void CHistoryList::Unselect(bool bFocus)
{
    LVITEMW item = {};
    item.stateMask = bFocus ? LVIS_SELECTED | LVIS_FOCUSED : LVIS_SELECTED;
    for (size_t nRow : SelectedRows())
        SendMessageW(m_hList, LVM_SETITEMSTATE, nRow, (LPARAM)&item);
    int nFocus = bFocus ? (int)SendMessageW(m_hList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED) : -1;
    if (nFocus >= 0)
        SendMessageW(m_hList, LVM_SETITEMSTATE, nFocus, (LPARAM)&item);
}

// The records' rows selected; none of them listed: the newest. The first
// takes the focus only while the user works in the list: a focus that
// moves is drawn at once, which takes milliseconds.
void CHistoryList::Select(const std::vector<unsigned long long>& places)
{
    m_bSelecting = true;
    bool bFocus = GetFocus() == m_hList;
    Unselect(bFocus);
    LVITEMW item = {};
    item.stateMask = bFocus ? LVIS_SELECTED | LVIS_FOCUSED : LVIS_SELECTED;
    bool bAny = false;
    for (unsigned long long nPlace : places) {
        long long nRow = m_view.Find(nPlace);
        if (nRow < 0)
            continue;
        item.state = bAny ? LVIS_SELECTED : LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(m_hList, LVM_SETITEMSTATE, (WPARAM)nRow, (LPARAM)&item);
        bAny = true;
    }
    if (!bAny && m_view.Rows()) {
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(m_hList, LVM_SETITEMSTATE, 0, (LPARAM)&item);
    }
    m_bSelecting = false;
}
