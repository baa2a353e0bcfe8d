// State the framework keeps per thread: windows are bound to the thread that
// created them, and so are their handle maps.
#pragma once

#include "afxwin.h"

struct AFX_THREAD_STATE {
    std::map<HWND, CWnd*> permanentMap;   // objects attached to windows
    std::map<HWND, CWnd*> temporaryMap;   // wrappers made by FromHandle
    MSG lastSentMsg = {};                 // the message being handled, for Default()
    CWnd* pWndInit = nullptr;             // object waiting for its window to be created
    HHOOK hHookCbt = nullptr;
    CWinThread* pCurrentThread = nullptr;
};

AFX_THREAD_STATE& AfxGetThreadState();

// Attach the next window this thread creates to pWnd, subclassing it so its
// messages go through pWnd's message tables from the very first one.
void AfxHookWindowCreate(CWnd* pWnd);
void AfxUnhookWindowCreate();

// Offers the message to PreTranslateMessage of the window it is for and of
// each of its parents, innermost first.
BOOL AfxPreTranslateMessage(MSG* pMsg);
