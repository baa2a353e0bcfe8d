#include "afximpl.h"

AFX_THREAD_STATE& AfxGetThreadState()
{
    static thread_local AFX_THREAD_STATE state;
    return state;
}

// ---- CCmdTarget ------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, nullptr, nullptr, 0 } };
    static const AFX_MSGMAP map = { nullptr, &entries[0] };
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

static bool EntryMatches(const AFX_MSGMAP_ENTRY& e, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (e.nMessage == AFX_REGISTERED_MESSAGE)
        return *e.pnRegistered != 0 && *e.pnRegistered == message;
    if (e.nMessage != message)
        return false;
    if (message == WM_NOTIFY && (e.nID || e.nCode)) {
        const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
        return pHeader && pHeader->idFrom == e.nID && pHeader->code == e.nCode;
    }
    if (message != WM_COMMAND)
        return true;
    // Menu items and clicked buttons send code 0, accelerators code 1.
    UINT nCode = HIWORD(wParam);
    if (HIWORD(e.nID))
        return e.nID == (UINT)wParam && lParam != 0;
    return e.nID == LOWORD(wParam) && (nCode == 0 || (nCode == 1 && lParam == 0));
}

BOOL CCmdTarget::OnMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nMessage != 0; ++e) {
            if (EntryMatches(*e, message, wParam, lParam)) {
                *pResult = e->pfnInvoke(this, wParam, lParam);
                return TRUE;
            }
        }
    }
    return FALSE;
}

// ---- Window creation hook and procedure --------------------------------------

LRESULT CALLBACK AfxCbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    AFX_THREAD_STATE& state = AfxGetThreadState();
    if (nCode == HCBT_CREATEWND && state.pWndInit) {
        CWnd* pWnd = state.pWndInit;
        state.pWndInit = nullptr;
        HWND hWnd = (HWND)wParam;
        pWnd->Attach(hWnd);
        // A Unicode window stays one: subclassed through the ANSI function,
        // its texts would be converted through the code page on every call.
        pWnd->m_pfnSuper = (WNDPROC)(IsWindowUnicode(hWnd) ? SetWindowLongPtrW : SetWindowLongPtrA)(
            hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
    }
    return CallNextHookEx(state.hHookCbt, nCode, wParam, lParam);
}

void AfxHookWindowCreate(CWnd* pWnd)
{
    AFX_THREAD_STATE& state = AfxGetThreadState();
    if (!state.hHookCbt)
        state.hHookCbt = SetWindowsHookExA(WH_CBT, AfxCbtFilterHook, NULL, GetCurrentThreadId());
    state.pWndInit = pWnd;
}

void AfxUnhookWindowCreate()
{
    AFX_THREAD_STATE& state = AfxGetThreadState();
    if (state.hHookCbt) {
        UnhookWindowsHookEx(state.hHookCbt);
        state.hHookCbt = nullptr;
    }
    state.pWndInit = nullptr;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd)
        return DefWindowProcA(hWnd, message, wParam, lParam);

    AFX_THREAD_STATE& state = AfxGetThreadState();
    MSG saved = state.lastSentMsg;
    state.lastSentMsg.hwnd = hWnd;
    state.lastSentMsg.message = message;
    state.lastSentMsg.wParam = wParam;
    state.lastSentMsg.lParam = lParam;

    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);

    if (message == WM_NCDESTROY) {
        WNDPROC pfnSuper = pWnd->m_pfnSuper;
        if (pfnSuper)
            (IsWindowUnicode(hWnd) ? SetWindowLongPtrW : SetWindowLongPtrA)(
                hWnd, GWLP_WNDPROC, (LONG_PTR)pfnSuper);
        pWnd->Detach();
        CWinThread* pThread = AfxGetThread();
        if (pThread && pThread->m_pMainWnd == pWnd)
            pThread->m_pMainWnd = nullptr;
        pWnd->PostNcDestroy();
    }
    state.lastSentMsg = saved;
    return lResult;
}

BOOL AfxPreTranslateMessage(MSG* pMsg)
{
    for (HWND h = pMsg->hwnd; h; h = GetParent(h)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(h);
        if (pWnd && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
    }
    CWinThread* pThread = AfxGetThread();
    return pThread && pThread->PreTranslateMessage(pMsg);
}

// ---- CWnd --------------------------------------------------------------------

CWnd::CWnd()
    : m_hWnd(NULL), m_pfnSuper(NULL), m_pSysMenu(NULL)
{
}

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        DestroyWindow();
    if (m_pSysMenu) {
        m_pSysMenu->Detach();
        delete m_pSysMenu;
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    std::map<HWND, CWnd*>& map = AfxGetThreadState().permanentMap;
    auto it = map.find(hWnd);
    return it == map.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    std::map<HWND, CWnd*>& temp = AfxGetThreadState().temporaryMap;
    CWnd*& pTemp = temp[hWnd];
    if (!pTemp) {
        pTemp = new CWnd;
        pTemp->m_hWnd = hWnd;
    }
    return pTemp;
}

void CWnd::DeleteTempMap()
{
    std::map<HWND, CWnd*>& temp = AfxGetThreadState().temporaryMap;
    for (auto& entry : temp) {
        entry.second->m_hWnd = NULL;
        delete entry.second;
    }
    temp.clear();
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (!hWnd || m_hWnd)
        return FALSE;
    m_hWnd = hWnd;
    AfxGetThreadState().permanentMap[hWnd] = this;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd)
        AfxGetThreadState().permanentMap.erase(hWnd);
    m_hWnd = NULL;
    m_pfnSuper = NULL;
    return hWnd;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The message arrived in the window's own character set; so it goes on.
    if (IsWindowUnicode(m_hWnd)) {
        return m_pfnSuper ? CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam)
                          : ::DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
    if (m_pfnSuper)
        return CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& msg = AfxGetThreadState().lastSentMsg;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const
{
    ::ClientToScreen(m_hWnd, lpPoint);
}

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&lpRect->left));
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&lpRect->right));
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert)
{
    HMENU hMenu = ::GetSystemMenu(m_hWnd, bRevert);
    if (!hMenu)
        return nullptr;
    if (!m_pSysMenu)
        m_pSysMenu = new CMenu;
    if (m_pSysMenu->m_hMenu != hMenu) {
        m_pSysMenu->Detach();
        m_pSysMenu->Attach(hMenu);
    }
    return m_pSysMenu;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::SetForegroundWindow()
{
    return ::SetForegroundWindow(m_hWnd);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

DWORD CWnd::GetStyle() const
{
    return (DWORD)GetWindowLongA(m_hWnd, GWL_STYLE);
}

void CWnd::OnSysCommand(UINT, LPARAM)
{
    Default();
}

void CWnd::OnPaint()
{
    Default();
}

void CWnd::OnClose()
{
    Default();
}

void CWnd::OnTimer(UINT_PTR)
{
    Default();
}
