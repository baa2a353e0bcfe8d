#pragma once

#include <afxwin.h>

// Set to 1 by the running copy of the program; shared by every process
// started from the same executable file.
extern volatile LONG g_nInstanceFlag;

class CScanWedgeApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
