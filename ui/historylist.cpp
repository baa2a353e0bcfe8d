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
    ShowRows();
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
    ShowRows();
    m_bSelecting = true;
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_hList, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&item);
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
    ShowRows();
    if (m_view.Pending()) {
        PostSlice();
    } else if (m_bReselect || !SendMessageW(m_hList, LVM_GETSELECTEDCOUNT, 0, 0)) {
        m_bReselect = false;
        Select(m_keep);
        m_keep.clear();
    }
}

void CHistoryList::ShowRows()
{
    SendMessageW(m_hList, LVM_SETITEMCOUNT, m_view.Rows(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
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
    int nRow = -1;
    while (m_hList && (nRow = (int)SendMessageW(m_hList, LVM_GETNEXTITEM, nRow, LVNI_SELECTED)) >= 0 &&
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

// The records' rows selected, the first focused; none of them listed: the
// newest.
void CHistoryList::Select(const std::vector<unsigned long long>& places)
{
    m_bSelecting = true;
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_hList, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&item);
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
