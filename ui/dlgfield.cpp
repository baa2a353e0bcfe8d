#include "dlgfield.h"

#include <commctrl.h>

std::wstring FieldText(HWND hDlg, int nId)
{
    HWND hControl = GetDlgItem(hDlg, nId);
    std::wstring str(GetWindowTextLengthW(hControl) + 1, L'\0');
    str.resize(GetWindowTextW(hControl, &str[0], (int)str.size()));
    return str;
}

std::wstring Trimmed(const std::wstring& str)
{
    size_t nFirst = str.find_first_not_of(L" \t"), nLast = str.find_last_not_of(L" \t");
    return nFirst == std::wstring::npos ? std::wstring() : str.substr(nFirst, nLast - nFirst + 1);
}

bool ParseNumber(const std::wstring& str, int nMin, int nMax, int* pn)
{
    if (str.empty() || str.size() > 9)
        return false;
    int n = 0;
    for (wchar_t ch : str) {
        if (ch < L'0' || ch > L'9')
            return false;
        n = n * 10 + (ch - L'0');
    }
    *pn = n;
    return n >= nMin && n <= nMax;
}

void RefuseField(HWND hDlg, int nIdControl, const std::wstring& strText)
{
    RefuseControl(hDlg, nIdControl ? GetDlgItem(hDlg, nIdControl) : NULL, strText);
}

void RefuseControl(HWND hDlg, HWND hControl, const std::wstring& strText)
{
    WCHAR szCaption[128] = {};
    GetWindowTextW(hDlg, szCaption, ARRAYSIZE(szCaption));
    MessageBoxW(hDlg, strText.c_str(), szCaption, MB_OK | MB_ICONWARNING);
    if (hControl && IsWindow(hDlg) && IsWindow(hControl)) {
        SendMessageW(hDlg, WM_NEXTDLGCTL, (WPARAM)hControl, TRUE);
        SendMessageW(hControl, EM_SETSEL, 0, -1);
    }
}

void FitColumns(HWND hList)
{
    HWND hHeader = (HWND)SendMessageW(hList, LVM_GETHEADER, 0, 0);
    int nColumns = hHeader ? (int)SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0) : 0;
    int cxTotal = 0;
    for (int i = 0; i < nColumns; ++i)
        cxTotal += (int)SendMessageW(hList, LVM_GETCOLUMNWIDTH, i, 0);
    RECT rect;
    GetClientRect(hList, &rect);
    int cxList = rect.right - GetSystemMetrics(SM_CXVSCROLL);
    if (cxTotal <= 0 || cxList <= 0)
        return;
    for (int i = 0; i < nColumns; ++i) {
        int cx = (int)SendMessageW(hList, LVM_GETCOLUMNWIDTH, i, 0);
        SendMessageW(hList, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(MulDiv(cx, cxList, cxTotal), 0));
    }
}
