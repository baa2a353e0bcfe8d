// A small program on the framework that hosts the engine the way the tray
// program does and records every decode it receives, as hex, one per line.
//
//   enginehost <record-path> [switches]
//
// switches: four 0/1 digits for QR, DM, Barcode and PDF417 (default 1111).
#include <afxwin.h>
#include <stdio.h>
#include <string.h>

#include "vistrel.h"

#define IDD_ENGINE_HOST 100

class CHostDlg : public CDialog {
public:
    CHostDlg(LPCSTR pszRecord, LPCSTR pszSwitches)
        : CDialog(IDD_ENGINE_HOST), m_strRecord(pszRecord), m_strSwitches(pszSwitches) {}

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        GetAppHandle(m_hWnd);
        StartDevice();
        setQRable(Switch(0));
        setDMable(Switch(1));
        setBarcode(Switch(2));
        setPDF417(Switch(3));
        return TRUE;
    }

    afx_msg LRESULT OnScanDecoded(WPARAM wParam, LPARAM)
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(wParam);
        CString line;
        for (size_t i = 0; p && p[i]; ++i) {
            char hex[3];
            sprintf(hex, "%02x", p[i]);
            line += hex;
        }
        Record(p ? line + "\n" : CString("null\n"));
        return 0;
    }

    afx_msg LRESULT OnScanQuit(WPARAM, LPARAM)
    {
        Record("quit\n");
        EndDialog(IDOK);
        return 0;
    }

    DECLARE_MESSAGE_MAP()

private:
    int Switch(int i) const
    {
        return m_strSwitches.GetLength() > i ? m_strSwitches[i] == '1' : 1;
    }

    void Record(const CString& text)
    {
        CStdioFile f;
        if (!f.Open(m_strRecord, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite |
                                 CFile::typeBinary))
            return;
        f.SeekToEnd();
        f.WriteString(text);
        f.Close();
    }

    CString m_strRecord;
    CString m_strSwitches;
};

BEGIN_MESSAGE_MAP(CHostDlg, CDialog)
    ON_MESSAGE(WM_SCAN_DECODED, OnScanDecoded)
    ON_MESSAGE(WM_SCAN_QUIT, OnScanQuit)
END_MESSAGE_MAP()

class CHostApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        if (__argc < 2)
            return FALSE;
        CHostDlg dlg(__argv[1], __argc > 2 ? __argv[2] : "1111");
        m_pMainWnd = &dlg;
        dlg.DoModal();
        return FALSE;
    }
};

CHostApp theApp;
