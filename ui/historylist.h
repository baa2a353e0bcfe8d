// The history window's list: a virtual list view that shows a CHistoryView.
// Its rows follow the history as records come and go, the selection staying
// on its records (on the newest when none is selected); work over many
// records is done a few milliseconds at a time, each slice asked for by a
// message posted to the list's parent, so a decode waits for one slice at
// most.
#pragma once

#include <windows.h>

#include <vector>

#include "historyview.h"

class CHistoryList {
public:
    // nSliceMessage: posted to the list's parent, which answers it with
    // OnSlice once the view follows the history again.
    void Attach(HWND hList, UINT nSliceMessage);
    void Detach();

    // Takes in what came and went in the history (CHistoryView::Follow).
    void Follow(const CScanHistory& history, unsigned long long nToday);
    // The rows the filter shows: the first slice at once, the rest after.
    void SetFilter(const CScanHistory& history, const CHistoryFilter& filter);
    void OnSlice(const CScanHistory& history);
    // Every row found now, whatever it takes.
    void Finish(const CScanHistory& history);

    const CHistoryView& View() const { return m_view; }
    std::vector<size_t> SelectedRows() const;
    // Whether the selection changing is the list's own doing.
    bool Selecting() const { return m_bSelecting; }

private:
    void Slice(const CScanHistory& history, size_t nRecords, double dSeconds);
    void ShowRows(bool bChanged);
    void PostSlice();
    std::vector<unsigned long long> SelectedPlaces() const;
    void Select(const std::vector<unsigned long long>& places);
    void Unselect(bool bFocus);

    HWND m_hList = NULL;
    UINT m_nSliceMessage = 0;
    unsigned long long m_nToday = 0;
    bool m_bPosted = false;
    bool m_bSelecting = false;
    // A filter's rows still coming: the records selected before, selected
    // again once they are all found.
    bool m_bReselect = false;
    std::vector<unsigned long long> m_keep;
    CHistoryView m_view;
};
