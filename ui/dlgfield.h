// Small helpers the edit dialogs share for reading and refusing fields.
#pragma once

#include <windows.h>

#include <string>

std::wstring FieldText(HWND hDlg, int nId);
std::wstring Trimmed(const std::wstring& str);

// Digits only, within the range; the number in *pn.
bool ParseNumber(const std::wstring& str, int nMin, int nMax, int* pn);

// Says why a value is refused, then gives its field the focus, its text
// selected for typing over.
void RefuseField(HWND hDlg, int nIdControl, const std::wstring& strText);
// The same for a control anywhere in the dialog, a page's among them; none
// when hControl is NULL.
void RefuseControl(HWND hDlg, HWND hControl, const std::wstring& strText);

// Shares out the list view's width again among its columns, keeping their
// proportions: after the list took a new size, as on a change of DPI.
void FitColumns(HWND hList);
