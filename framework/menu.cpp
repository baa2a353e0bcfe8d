#include "afxwin.h"

CMenu::CMenu()
    : m_hMenu(NULL)
{
}

CMenu::~CMenu()
{
    DestroyMenu();
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (!hMenu || m_hMenu)
        return FALSE;
    m_hMenu = hMenu;
    return TRUE;
}

HMENU CMenu::Detach()
{
    DeleteSubMenus();
    HMENU hMenu = m_hMenu;
    m_hMenu = NULL;
    return hMenu;
}

BOOL CMenu::DestroyMenu()
{
    DeleteSubMenus();
    if (!m_hMenu)
        return FALSE;
    BOOL bOk = ::DestroyMenu(m_hMenu);   // destroys the sub-menus too
    m_hMenu = NULL;
    return bOk;
}

void CMenu::DeleteSubMenus()
{
    for (CMenu* pSub : m_subMenus) {
        pSub->Detach();
        delete pSub;
    }
    m_subMenus.clear();
}

CMenu* CMenu::GetSubMenu(int nPos)
{
    HMENU hSub = ::GetSubMenu(m_hMenu, nPos);
    if (!hSub)
        return nullptr;
    for (CMenu* pSub : m_subMenus) {
        if (pSub->m_hMenu == hSub)
            return pSub;
    }
    CMenu* pSub = new CMenu;
    pSub->Attach(hSub);
    m_subMenus.push_back(pSub);
    return pSub;
}

UINT CMenu::CheckMenuItem(UINT nIDCheckItem, UINT nCheck)
{
    return (UINT)::CheckMenuItem(m_hMenu, nIDCheckItem, nCheck);
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect)
{
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd ? pWnd->m_hWnd : NULL, lpRect);
}

CPaintDC::CPaintDC(CWnd* pWnd)
    : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    EndPaint(m_hWnd, &m_ps);
}
