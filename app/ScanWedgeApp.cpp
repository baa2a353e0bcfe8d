#include "ScanWedgeApp.h"

#include "ScanWedgeDlg.h"

volatile LONG g_nInstanceFlag __attribute__((section("Shared"), shared)) = 0;

CScanWedgeApp theApp;

BOOL CScanWedgeApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    // Test and set in one step: two copies started at the same instant must
    // not both get through. Values other than 0 and 1 are left as they are.
    if (InterlockedCompareExchange(&g_nInstanceFlag, 1, 0) == 1) {
        MessageBoxA(NULL, "程序已运行!", "注意", MB_OK);
        return FALSE;
    }

    CScanWedgeDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}
