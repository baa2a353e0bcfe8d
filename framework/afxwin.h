// The window classes of the application framework: message tables, windows,
// dialogs, menus, paint contexts and the application object.
#pragma once

#include "afx.h"

#include <map>
#include <vector>

#define afx_msg

class CCmdTarget;
class CWnd;
class CMenu;
class CWinThread;
class CWinApp;

// ---- Message tables -------------------------------------------------------
// An entry names a message (WM_COMMAND for a command), the command id, and a
// handler stub that calls the member function with the right signature.

typedef LRESULT (*AFX_PINVOKE)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;               // 0 ends a table
    UINT nID;                    // command id, for WM_COMMAND
    const UINT* pnRegistered;    // message id known only at run time
    AFX_PINVOKE pfnInvoke;
    UINT nCode;                  // WM_NOTIFY: the notification code; with nID, the control
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

const UINT AFX_REGISTERED_MESSAGE = 0xFFFFFFFF;

template <class T>
LRESULT AfxCall(void (T::*pmf)(), CCmdTarget* p, WPARAM, LPARAM)
{
    (static_cast<T*>(p)->*pmf)();
    return 0;
}

template <class T>
LRESULT AfxCall(LRESULT (T::*pmf)(WPARAM, LPARAM), CCmdTarget* p, WPARAM w, LPARAM l)
{
    return (static_cast<T*>(p)->*pmf)(w, l);
}

template <class T>
LRESULT AfxCall(void (T::*pmf)(UINT, LPARAM), CCmdTarget* p, WPARAM w, LPARAM l)
{
    (static_cast<T*>(p)->*pmf)((UINT)w, l);
    return 0;
}

template <class T>
LRESULT AfxCall(void (T::*pmf)(UINT_PTR), CCmdTarget* p, WPARAM w, LPARAM)
{
    (static_cast<T*>(p)->*pmf)((UINT_PTR)w);
    return 0;
}

template <class T>
LRESULT AfxCall(void (T::*pmf)(NMHDR*, LRESULT*), CCmdTarget* p, WPARAM, LPARAM l)
{
    LRESULT lResult = 0;
    (static_cast<T*>(p)->*pmf)(reinterpret_cast<NMHDR*>(l), &lResult);
    return lResult;
}

template <class T>
LRESULT AfxCall(HCURSOR (T::*pmf)(), CCmdTarget* p, WPARAM, LPARAM)
{
    return (LRESULT)(static_cast<T*>(p)->*pmf)();
}

template <auto pmf>
LRESULT AfxInvoke(CCmdTarget* p, WPARAM w, LPARAM l)
{
    return AfxCall(pmf, p, w, l);
}

#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    virtual const AFX_MSGMAP* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() \
    { \
        typedef theClass ThisClass; \
        typedef baseClass TheBaseClass; \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP() \
            { 0, 0, nullptr, nullptr, 0 } \
        }; \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, &_messageEntries[0] }; \
        return &messageMap; \
    }

#define ON_COMMAND(id, memberFxn) { WM_COMMAND, (UINT)(id), nullptr, &AfxInvoke<&ThisClass::memberFxn>, 0 },
// A control's notification other than a click: the code rides in the id's high word.
#define ON_CONTROL(wNotifyCode, id, memberFxn) \
    { WM_COMMAND, (UINT)MAKELONG(id, wNotifyCode), nullptr, &AfxInvoke<&ThisClass::memberFxn>, 0 },
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
// One notification of one control by WM_NOTIFY: the handler gets the header
// and sets the result.
#define ON_NOTIFY(wNotifyCode, id, memberFxn) \
    { WM_NOTIFY, (UINT)(id), nullptr, &AfxInvoke<&ThisClass::memberFxn>, (UINT)(wNotifyCode) },
#define ON_MESSAGE(message, memberFxn) { (UINT)(message), 0, nullptr, &AfxInvoke<&ThisClass::memberFxn>, 0 },
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) \
    { AFX_REGISTERED_MESSAGE, 0, &nMessageVariable, &AfxInvoke<&ThisClass::memberFxn>, 0 },
#define ON_WM_SYSCOMMAND()    { WM_SYSCOMMAND, 0, nullptr, &AfxInvoke<&ThisClass::OnSysCommand>, 0 },
#define ON_WM_PAINT()         { WM_PAINT, 0, nullptr, &AfxInvoke<&ThisClass::OnPaint>, 0 },
#define ON_WM_QUERYDRAGICON() { WM_QUERYDRAGICON, 0, nullptr, &AfxInvoke<&ThisClass::OnQueryDragIcon>, 0 },
#define ON_WM_TIMER()         { WM_TIMER, 0, nullptr, &AfxInvoke<&ThisClass::OnTimer>, 0 },
#define ON_WM_CLOSE()         { WM_CLOSE, 0, nullptr, &AfxInvoke<&ThisClass::OnClose>, 0 },

class CCmdTarget {
public:
    virtual ~CCmdTarget() {}

    // Looks the message up in this object's table chain, most derived table
    // first; calls the handler and returns TRUE when an entry matches.
    BOOL OnMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    static const AFX_MSGMAP* GetThisMessageMap();

protected:
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// ---- Windows ---------------------------------------------------------------

class CWnd : public CCmdTarget {
public:
    CWnd();
    virtual ~CWnd();

    HWND m_hWnd;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object attached to a window, or a temporary one that lives until
    // the message loop next goes idle.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    static void DeleteTempMap();
    BOOL Attach(HWND hWnd);
    HWND Detach();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Every message the tables leave unhandled ends here.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual void PostNcDestroy() {}

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    BOOL IsIconic() const;
    CMenu* GetSystemMenu(BOOL bRevert);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL SetForegroundWindow();
    BOOL ShowWindow(int nCmdShow);
    BOOL DestroyWindow();
    DWORD GetStyle() const;

protected:
    // Passes the message being handled on to DefWindowProc unchanged.
    LRESULT Default();

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg void OnClose();
    afx_msg void OnTimer(UINT_PTR nIDEvent);

    WNDPROC m_pfnSuper;   // the window procedure this object subclassed

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK AfxCbtFilterHook(int, WPARAM, LPARAM);

private:
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    CMenu* m_pSysMenu;
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Menus and paint contexts ----------------------------------------------

class CMenu {
public:
    CMenu();
    ~CMenu();   // destroys the attached menu

    HMENU m_hMenu;
    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const { return m_hMenu; }

    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    BOOL DestroyMenu();

    // The returned object belongs to this menu and stays valid as long as it.
    CMenu* GetSubMenu(int nPos);
    UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck);
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = NULL);
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = NULL);

private:
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    void DeleteSubMenus();

    std::vector<CMenu*> m_subMenus;
};

class CDC {
public:
    CDC() : m_hDC(NULL) {}
    HDC m_hDC;
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

// ---- Dialogs ---------------------------------------------------------------

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

class CDialog : public CWnd {
public:
    CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);

    // Takes the template from memory instead of the resource named by the
    // id. The dialog is then made a Unicode window, so that its texts reach
    // the screen without passing through the ANSI code page.
    void InitModalIndirect(LPCDLGTEMPLATEW lpDialogTemplate) { m_lpDialogTemplate = lpDialogTemplate; }

    // Creates the dialog from its template resource and runs its message
    // loop until EndDialog; returns the result given to EndDialog, or -1.
    virtual INT_PTR DoModal();
    // A modeless dialog, a Unicode window like InitModalIndirect's: it lives
    // on the thread's message loop until DestroyWindow, which its OnOK and
    // OnCancel must call instead of EndDialog.
    BOOL CreateIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd = NULL);
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    // After the dialog has taken a new screen's DPI (moved to a monitor of
    // another scale, or the scale changed): what the template does not place
    // (list columns, pages in tabs) is laid out again.
    virtual void OnDpiChanged() {}
    afx_msg LRESULT OnDpiChangedMessage(WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    LPCDLGTEMPLATEW m_lpDialogTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    int RunModalLoop();

    BOOL m_bContinueModal;
    int m_nModalResult;

    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

// ---- Threads and the application -------------------------------------------

class CWinThread : public CCmdTarget {
public:
    CWinThread();

    CWnd* m_pMainWnd;
    virtual CWnd* GetMainWnd() { return m_pMainWnd; }

    virtual BOOL InitInstance() { return FALSE; }
    virtual int Run();
    virtual int ExitInstance() { return 0; }
    virtual BOOL PreTranslateMessage(MSG* pMsg);
};

class CWinApp : public CWinThread {
public:
    explicit CWinApp(LPCSTR lpszAppName = NULL);
    ~CWinApp();

    HINSTANCE m_hInstance;
    LPSTR m_lpCmdLine;
    int m_nCmdShow;
    LPCSTR m_pszAppName;

    // Three-dimensional controls are the platform's own look since 1996;
    // kept so that older start-up code reads as it always did.
    BOOL Enable3dControls() { return TRUE; }
};

CWinThread* AfxGetThread();
CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// Takes one message off the thread's queue and routes it as the message
// loops do; FALSE on WM_QUIT, which it leaves in the queue for the loop
// that runs around the caller.
BOOL AfxPumpMessage();
// GetMessage in the character set of the window the message is for: a
// Unicode window's typed characters would otherwise pass through the ANSI
// code page, which turns those it lacks into "?".
BOOL AfxGetMessage(MSG* pMsg);
void AfxDispatchMessage(const MSG* pMsg);
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// This framework hosts no ActiveX controls; the call is accepted and does nothing.
inline void AfxEnableControlContainer() {}

// The process entry: sets up the application object made at static
// construction time, calls InitInstance, and runs the thread when it agrees.
int AfxWinMain(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow);
