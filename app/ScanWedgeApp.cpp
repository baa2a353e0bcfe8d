#include "ScanWedgeApp.h"

#include "ScanWedgeDlg.h"
#include "logfile.h"
#include "paste.h"
#include "resource.h"
#include "uitext.h"

volatile LONG g_nInstanceFlag __attribute__((section("Shared"), shared)) = 0;

CScanWedgeApp theApp;

BOOL CScanWedgeApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();
    UiSelectLanguage(ReadUiLanguage(ProgramSettings()));

    // Test and set in one step: two copies started at the same instant must
    // not both get through. Values other than 0 and 1 are left as they are.
    if (InterlockedCompareExchange(&g_nInstanceFlag, 1, 0) == 1) {
        WCHAR szText[128], szTitle[64];
        UiLoadString(IDS_RUNNING_TEXT, szText, ARRAYSIZE(szText));
        UiLoadString(IDS_RUNNING_TITLE, szTitle, ARRAYSIZE(szTitle));
        MessageBoxW(NULL, szText, szTitle, MB_OK);
        return FALSE;
    }

    CScanWedgeDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The icon is gone; a paste's target may still be handling its Ctrl+V.
    if (!GiveClipboardBack())
        LogWrite("Paste", "the program ended before your clipboard could be put back: it holds nothing now");
    return FALSE;
}
