#include "afximpl.h"

// Messages reach a dialog through AfxWndProc; the dialog procedure sees only
// what DefDlgProc passes down, and of that it needs only WM_INITDIALOG.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(hWnd));
    return pDlg ? pDlg->OnInitDialog() : TRUE;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
    ON_MESSAGE(WM_DPICHANGED, OnDpiChangedMessage)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_lpDialogTemplate(NULL), m_pParentWnd(pParentWnd),
      m_bContinueModal(FALSE), m_nModalResult(-1)
{
}

// A modal dialog without a parent is owned by the application's main window,
// which stays disabled while the dialog runs.
static HWND ModalOwner(CWnd* pParentWnd)
{
    CWnd* pOwner = pParentWnd ? pParentWnd : AfxGetMainWnd();
    HWND hOwner = pOwner ? pOwner->m_hWnd : NULL;
    while (hOwner && (GetWindowLongA(hOwner, GWL_STYLE) & WS_CHILD))
        hOwner = GetParent(hOwner);
    return hOwner;
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst = AfxGetResourceHandle();
    LPCDLGTEMPLATEA pTemplate = NULL;
    if (!m_lpDialogTemplate) {
        HRSRC hRes = FindResourceA(hInst, MAKEINTRESOURCEA(m_nIDTemplate), (LPCSTR)RT_DIALOG);
        HGLOBAL hTemplate = hRes ? LoadResource(hInst, hRes) : NULL;
        pTemplate = hTemplate ? (LPCDLGTEMPLATEA)LockResource(hTemplate) : NULL;
        if (!pTemplate)
            return -1;
    }

    HWND hOwner = ModalOwner(m_pParentWnd);
    BOOL bEnableOwner = hOwner && IsWindowEnabled(hOwner);
    if (bEnableOwner)
        EnableWindow(hOwner, FALSE);

    // Set before creation: EndDialog may already be called in OnInitDialog.
    m_bContinueModal = TRUE;
    m_nModalResult = -1;
    AfxHookWindowCreate(this);
    HWND hWnd = m_lpDialogTemplate
        ? CreateDialogIndirectParamW(hInst, m_lpDialogTemplate, hOwner, AfxDlgProc, 0)
        : CreateDialogIndirectParamA(hInst, pTemplate, hOwner, AfxDlgProc, 0);
    AfxUnhookWindowCreate();

    if (hWnd && m_bContinueModal)
        RunModalLoop();

    if (bEnableOwner)
        EnableWindow(hOwner, TRUE);
    if (hOwner && GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hOwner);
    DestroyWindow();
    return m_nModalResult;
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd)
{
    if (!lpDialogTemplate || m_hWnd)
        return FALSE;
    m_lpDialogTemplate = lpDialogTemplate;
    m_pParentWnd = pParentWnd;
    AfxHookWindowCreate(this);
    HWND hWnd = CreateDialogIndirectParamW(AfxGetResourceHandle(), lpDialogTemplate,
                                           pParentWnd ? pParentWnd->m_hWnd : NULL, AfxDlgProc, 0);
    AfxUnhookWindowCreate();
    return hWnd != NULL;
}

int CDialog::RunModalLoop()
{
    BOOL bShowIdle = !(GetStyle() & WS_VISIBLE);
    MSG msg;
    while (m_bContinueModal) {
        if (bShowIdle && !PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
            ShowWindow(SW_SHOWNORMAL);
            UpdateWindow(m_hWnd);
            bShowIdle = FALSE;
        }
        if (!AfxGetMessage(&msg)) {
            // Leave WM_QUIT for the loop that runs around this one.
            PostQuitMessage((int)msg.wParam);
            m_nModalResult = -1;
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            AfxDispatchMessage(&msg);
        }
        if (!PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE))
            CWnd::DeleteTempMap();
    }
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    if (m_bContinueModal) {
        m_bContinueModal = FALSE;
        PostMessage(WM_NULL);   // wakes the loop if it is waiting in GetMessage
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*)
{
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    // Keyboard and mouse input for the dialog or its controls gets the
    // dialog keys: Tab, arrows, Enter for OK, Esc for Cancel.
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_MOUSELAST)
        return FALSE;
    if (pMsg->hwnd != m_hWnd && !IsChild(m_hWnd, pMsg->hwnd))
        return FALSE;
    return IsWindowUnicode(m_hWnd) ? IsDialogMessageW(m_hWnd, pMsg) : IsDialogMessageA(m_hWnd, pMsg);
}

// The dialog manager scales the template's controls and fonts; the window
// takes the size the system suggests for the new scale.
LRESULT CDialog::OnDpiChangedMessage(WPARAM, LPARAM lParam)
{
    LRESULT lResult = Default();
    const RECT* pSuggested = reinterpret_cast<const RECT*>(lParam);
    if (pSuggested && !(GetStyle() & WS_CHILD))
        ::SetWindowPos(m_hWnd, NULL, pSuggested->left, pSuggested->top, pSuggested->right - pSuggested->left,
                       pSuggested->bottom - pSuggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    OnDpiChanged();
    return lResult;
}
