#include "afximpl.h"

#include <commctrl.h>

static CWinApp* g_pApp = nullptr;

CWinThread::CWinThread()
    : m_pMainWnd(nullptr)
{
}

int CWinThread::Run()
{
    MSG msg;
    while (AfxGetMessage(&msg)) {
        if (!AfxPreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            AfxDispatchMessage(&msg);
        }
        if (!PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE))
            CWnd::DeleteTempMap();
    }
    ExitInstance();
    return (int)msg.wParam;
}

BOOL AfxGetMessage(MSG* pMsg)
{
    for (;;) {
        // The message is looked at first, then taken by its number: the
        // first one of that number is the one looked at.
        MSG next;
        if (!PeekMessageW(&next, NULL, 0, 0, PM_NOREMOVE)) {
            WaitMessage();
            continue;
        }
        BOOL bTaken = next.hwnd && IsWindowUnicode(next.hwnd)
            ? PeekMessageW(pMsg, NULL, next.message, next.message, PM_REMOVE)
            : PeekMessageA(pMsg, NULL, next.message, next.message, PM_REMOVE);
        if (bTaken)
            return pMsg->message != WM_QUIT;
    }
}

void AfxDispatchMessage(const MSG* pMsg)
{
    if (pMsg->hwnd && IsWindowUnicode(pMsg->hwnd))
        DispatchMessageW(pMsg);
    else
        DispatchMessageA(pMsg);
}

BOOL AfxPumpMessage()
{
    MSG msg;
    if (!AfxGetMessage(&msg)) {
        PostQuitMessage((int)msg.wParam);
        return FALSE;
    }
    if (!AfxPreTranslateMessage(&msg)) {
        TranslateMessage(&msg);
        AfxDispatchMessage(&msg);
    }
    return TRUE;
}

BOOL CWinThread::PreTranslateMessage(MSG*)
{
    return FALSE;
}

// The application object is made during static construction, on the thread
// that becomes the program's main thread.
CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_hInstance(NULL), m_lpCmdLine(NULL), m_nCmdShow(SW_SHOWNORMAL),
      m_pszAppName(lpszAppName)
{
    g_pApp = this;
    AfxGetThreadState().pCurrentThread = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinThread* AfxGetThread()
{
    return AfxGetThreadState().pCurrentThread;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWnd* AfxGetMainWnd()
{
    CWinThread* pThread = AfxGetThread();
    return pThread ? pThread->GetMainWnd() : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_pApp && g_pApp->m_hInstance ? g_pApp->m_hInstance : GetModuleHandleA(NULL);
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

int AfxWinMain(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;
    AfxGetThreadState().pCurrentThread = pApp;

    // A program whose manifest asks for common controls 6 gets their window
    // classes, the dialogs' buttons and texts among them, only once it has
    // called into comctl32: on Windows XP its dialogs would not open otherwise.
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&icc);

    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
