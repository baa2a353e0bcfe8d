#include "AboutDlg.h"

#include "resource.h"
#include "uitext.h"

CAboutDlg::CAboutDlg()
    : CDialog(IDD_ABOUTBOX)
{
    InitModalIndirect(UiLoadDialog(IDD_ABOUTBOX));
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}
