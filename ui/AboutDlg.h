#pragma once

#include <afxwin.h>

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
