// The two settings files read once at start-up.
#pragma once

#include <afxwin.h>

// "typeSet.ini" in the executable's folder.
CString TypeSetPath();

// One key of section TYPE: 1 when its value is "1" or empty (which includes
// a missing key or file), 0 for anything else.
int ReadTypeFlag(LPCSTR pszKey, LPCSTR pszPath);

// Key Notices of section OUTPUT: 0 switches the tray notices off; any other
// value, or none, leaves them on.
int ReadNoticesSetting(LPCSTR pszPath);
