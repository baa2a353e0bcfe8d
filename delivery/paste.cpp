#include "paste.h"

#include <afxwin.h>
#include <string.h>

#include <vector>

#include "typekeys.h"

namespace {

const DWORD kOpenTimeout = 500;      // ms another program may hold the clipboard before we give up
const DWORD kPutBackTimeout = 2000;  // the same for putting the user's clipboard back
const DWORD kAskTimeout = 2000;      // ms the target has to ask for the text after Ctrl+V
const DWORD kReadTimeout = 2000;     // ms the target may keep the clipboard open to read it
const DWORD kSettle = 150;           // ms after the target's read, for a second look at the text
const DWORD kPoll = 10;

// Answers this thread's messages (the target's request for the text comes as
// one) until fDone says so or dwTimeout ms have passed; false when hCancel
// (if any) was set meanwhile.
template <typename F>
bool PumpUntil(F fDone, DWORD dwTimeout, HANDLE hCancel = NULL)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (fDone() || dwElapsed >= dwTimeout)
            return true;
        DWORD dwWait = dwTimeout - dwElapsed < kPoll ? dwTimeout - dwElapsed : kPoll;
        if (MsgWaitForMultipleObjects(hCancel ? 1 : 0, &hCancel, FALSE, dwWait, QS_ALLINPUT) ==
                WAIT_OBJECT_0 && hCancel)
            return false;
    }
}

HGLOBAL GlobalCopy(const void* pData, SIZE_T cb)
{
    HGLOBAL hCopy = GlobalAlloc(GMEM_MOVEABLE, cb ? cb : 1);
    void* p = hCopy ? GlobalLock(hCopy) : NULL;
    if (!p) {
        if (hCopy)
            GlobalFree(hCopy);
        return NULL;
    }
    memcpy(p, pData, cb);
    GlobalUnlock(hCopy);
    return hCopy;
}

// What a clipboard format's handle is, for copying and freeing it.
enum DataKind { DATA_NONE, DATA_GLOBAL, DATA_BITMAP, DATA_ENHMETAFILE, DATA_METAFILEPICT };

DataKind KindOf(UINT nFormat)
{
    switch (nFormat) {
    case CF_BITMAP:
    case CF_DSPBITMAP:
        return DATA_BITMAP;
    case CF_ENHMETAFILE:
    case CF_DSPENHMETAFILE:
        return DATA_ENHMETAFILE;
    case CF_METAFILEPICT:
    case CF_DSPMETAFILEPICT:
        return DATA_METAFILEPICT;
    case CF_OWNERDISPLAY:   // drawn by its owner, no data at all
    case CF_PALETTE:        // made again from the DIB
        return DATA_NONE;
    }
    // Private and GDI object formats hold handles only their owner knows.
    if (nFormat >= CF_PRIVATEFIRST && nFormat <= CF_GDIOBJLAST)
        return DATA_NONE;
    return DATA_GLOBAL;
}

HANDLE CopyData(UINT nFormat, HANDLE hData)
{
    switch (KindOf(nFormat)) {
    case DATA_GLOBAL: {
        const void* p = GlobalLock(hData);
        if (!p)
            return NULL;
        HGLOBAL hCopy = GlobalCopy(p, GlobalSize(hData));
        GlobalUnlock(hData);
        return hCopy;
    }
    case DATA_BITMAP:
        return CopyImage(hData, IMAGE_BITMAP, 0, 0, 0);
    case DATA_ENHMETAFILE:
        return CopyEnhMetaFileA((HENHMETAFILE)hData, NULL);
    case DATA_METAFILEPICT: {
        const METAFILEPICT* p = (const METAFILEPICT*)GlobalLock(hData);
        if (!p)
            return NULL;
        METAFILEPICT mfp = GlobalSize(hData) >= sizeof(mfp) ? *p : METAFILEPICT();
        GlobalUnlock(hData);
        // The picture holds a metafile handle, which goes with the clipboard's copy.
        if (!mfp.hMF || !(mfp.hMF = CopyMetaFileA(mfp.hMF, NULL)))
            return NULL;
        HGLOBAL hCopy = GlobalCopy(&mfp, sizeof(mfp));
        if (!hCopy)
            DeleteMetaFile(mfp.hMF);
        return hCopy;
    }
    case DATA_NONE:
        break;
    }
    return NULL;
}

void FreeData(UINT nFormat, HANDLE hData)
{
    switch (KindOf(nFormat)) {
    case DATA_GLOBAL:
        GlobalFree(hData);
        break;
    case DATA_BITMAP:
        DeleteObject(hData);
        break;
    case DATA_ENHMETAFILE:
        DeleteEnhMetaFile((HENHMETAFILE)hData);
        break;
    case DATA_METAFILEPICT:
        if (const METAFILEPICT* p = (const METAFILEPICT*)GlobalLock(hData)) {
            DeleteMetaFile(p->hMF);
            GlobalUnlock(hData);
        }
        GlobalFree(hData);
        break;
    case DATA_NONE:
        break;
    }
}

// The user's clipboard, copied format by format in its order.
class CSavedClipboard {
public:
    CSavedClipboard() {}
    ~CSavedClipboard();
    // Copies every format that can be copied from the open clipboard.
    void Save();
    // Hands the copies to the open, emptied clipboard.
    void Restore();
    bool Empty() const { return m_formats.empty(); }

private:
    CSavedClipboard(const CSavedClipboard&) = delete;
    CSavedClipboard& operator=(const CSavedClipboard&) = delete;

    struct Format {
        UINT nFormat;
        HANDLE hData;
    };
    std::vector<Format> m_formats;
};

CSavedClipboard::~CSavedClipboard()
{
    for (const Format& f : m_formats)
        FreeData(f.nFormat, f.hData);
}

void CSavedClipboard::Save()
{
    // A bitmap comes back from its DIB, which the system turns into one again.
    bool bDib = IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_DIBV5);
    for (UINT nFormat = EnumClipboardFormats(0); nFormat; nFormat = EnumClipboardFormats(nFormat)) {
        if (nFormat == CF_BITMAP && bDib)
            continue;
        HANDLE hData = KindOf(nFormat) != DATA_NONE ? GetClipboardData(nFormat) : NULL;
        HANDLE hCopy = hData ? CopyData(nFormat, hData) : NULL;
        if (hCopy)
            m_formats.push_back({ nFormat, hCopy });
    }
}

void CSavedClipboard::Restore()
{
    for (const Format& f : m_formats) {
        if (!SetClipboardData(f.nFormat, f.hData))
            FreeData(f.nFormat, f.hData);
    }
    m_formats.clear();
}

// Marks the open clipboard's content as one that clipboard history and cloud
// clipboard do not record.
void MarkUnrecorded()
{
    static const struct {
        const char* pszFormat;
        DWORD dwValue;
    } kMarks[] = {
        { "ExcludeClipboardContentFromMonitorProcessing", 0 },
        { "CanIncludeInClipboardHistory", 0 },
        { "CanUploadToCloudClipboard", 0 },
    };
    for (const auto& mark : kMarks) {
        HGLOBAL h = GlobalCopy(&mark.dwValue, sizeof(mark.dwValue));
        if (h && !SetClipboardData(RegisterClipboardFormatA(mark.pszFormat), h))
            GlobalFree(h);
    }
}

// Clipboard text ends its lines with CR LF.
std::wstring ClipboardText(const std::wstring& strText)
{
    std::wstring out;
    out.reserve(strText.size() + 16);
    CTypedWalk walk(strText);
    for (TypedItem item; walk.Next(&item);) {
        if (item.kind != TypedItem::kChar)
            continue;
        if (item.Char() == L'\r')
            out += L"\r\n";
        else
            out.append(item.awch, item.nUnits);
    }
    return out;
}

// Owns the clipboard while the text is offered, and answers the target's
// request for it: that request is how we know the target took the text.
class CPasteOwner : public CWnd {
public:
    explicit CPasteOwner(const std::wstring& strText);
    ~CPasteOwner();

    bool Create();
    // Saves the user's clipboard and offers the text in its place; false,
    // nothing changed, when the clipboard cannot be had.
    bool Offer();
    // Waits for the target to ask for the text and to read it.
    TypingResult WaitForTarget(HANDLE hCancel);
    // Puts the user's clipboard back unless someone changed it since.
    void PutBack();

protected:
    LRESULT OnRenderFormat(WPARAM wFormat, LPARAM lParam);
    void OnRenderAllFormats();
    void OnDestroyClipboard();

    DECLARE_MESSAGE_MAP()

private:
    bool OpenWithin(DWORD dwTimeout);
    bool StillOurs() const;
    bool RenderText();

    std::wstring m_strText;
    CSavedClipboard m_saved;
    DWORD m_dwSeq;       // the clipboard's sequence number while it holds our text
    bool m_bPending;     // the text is offered and nobody asked for it yet
    bool m_bRendered;    // the target asked for the text
    bool m_bReplaced;    // someone emptied the clipboard since our offer
};

BEGIN_MESSAGE_MAP(CPasteOwner, CWnd)
    ON_MESSAGE(WM_RENDERFORMAT, OnRenderFormat)
    ON_MESSAGE(WM_RENDERALLFORMATS, OnRenderAllFormats)
    ON_MESSAGE(WM_DESTROYCLIPBOARD, OnDestroyClipboard)
END_MESSAGE_MAP()

CPasteOwner::CPasteOwner(const std::wstring& strText)
    : m_strText(ClipboardText(strText)), m_dwSeq(0), m_bPending(false), m_bRendered(false),
      m_bReplaced(false)
{
}

CPasteOwner::~CPasteOwner()
{
    // Here, not in CWnd's destructor: the text may still be asked for on the way.
    if (m_hWnd)
        DestroyWindow();
}

bool CPasteOwner::Create()
{
    HWND hWnd = CreateWindowExA(0, "Message", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    if (!hWnd)
        return false;
    Attach(hWnd);
    m_pfnSuper = (WNDPROC)SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
    return true;
}

bool CPasteOwner::OpenWithin(DWORD dwTimeout)
{
    bool bOpen = false;
    PumpUntil([&] { return bOpen = OpenClipboard(m_hWnd) != FALSE; }, dwTimeout);
    return bOpen;
}

bool CPasteOwner::Offer()
{
    if (!OpenWithin(kOpenTimeout))
        return false;
    m_saved.Save();
    bool bOffered = EmptyClipboard() != FALSE;
    if (bOffered) {
        // Delayed: the data is asked of us when the target reads it.
        SetClipboardData(CF_UNICODETEXT, NULL);
        bOffered = IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
        if (bOffered) {
            MarkUnrecorded();
            m_bPending = true;
        } else {
            EmptyClipboard();
            m_saved.Restore();
        }
    }
    m_bReplaced = false;
    CloseClipboard();
    m_dwSeq = GetClipboardSequenceNumber();
    return bOffered;
}

bool CPasteOwner::RenderText()
{
    HGLOBAL h = GlobalCopy(m_strText.c_str(), (m_strText.size() + 1) * sizeof(wchar_t));
    if (h && SetClipboardData(CF_UNICODETEXT, h))
        return true;
    if (h)
        GlobalFree(h);
    return false;
}

LRESULT CPasteOwner::OnRenderFormat(WPARAM wFormat, LPARAM)
{
    if (wFormat != CF_UNICODETEXT)
        return 0;
    DWORD dwBefore = GetClipboardSequenceNumber();
    m_bRendered = RenderText();
    m_bPending = false;
    // Our own render is no change by someone else.
    if (m_bRendered && dwBefore == m_dwSeq)
        m_dwSeq = GetClipboardSequenceNumber();
    return 0;
}

void CPasteOwner::OnRenderAllFormats()
{
    // Going away still offering the text: it stays on the clipboard as data.
    if (!OpenClipboard(m_hWnd))
        return;
    if (m_bPending && GetClipboardOwner() == m_hWnd)
        RenderText();
    m_bPending = false;
    CloseClipboard();
}

void CPasteOwner::OnDestroyClipboard()
{
    m_bReplaced = true;
    m_bPending = false;
}

bool CPasteOwner::StillOurs() const
{
    return !m_bReplaced && GetClipboardOwner() == m_hWnd && GetClipboardSequenceNumber() == m_dwSeq;
}

TypingResult CPasteOwner::WaitForTarget(HANDLE hCancel)
{
    if (!PumpUntil([this] { return m_bRendered || m_bReplaced; }, kAskTimeout, hCancel))
        return TYPING_CANCELLED;
    if (!m_bRendered)
        return TYPING_FAILED;
    PumpUntil([] { return GetOpenClipboardWindow() == NULL; }, kReadTimeout);
    // Closing the clipboard after a render may count as a change of its own;
    // nobody else can have changed it while the target held it open.
    if (!m_bReplaced && GetClipboardOwner() == m_hWnd)
        m_dwSeq = GetClipboardSequenceNumber();
    PumpUntil([] { return false; }, kSettle);
    return TYPING_DONE;
}

void CPasteOwner::PutBack()
{
    if (!StillOurs() || !OpenWithin(kPutBackTimeout))
        return;
    if (StillOurs()) {
        EmptyClipboard();
        m_bPending = false;
        bool bEmpty = m_saved.Empty();
        m_saved.Restore();
        // The user's copy is in the clipboard history already.
        if (!bEmpty)
            MarkUnrecorded();
    }
    CloseClipboard();
}

}  // namespace

TypingResult PasteText(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys,
                       HANDLE hCancel, HWND hFront)
{
    if (strText.empty())
        return TYPING_DONE;
    if (hCancel && WaitForSingleObject(hCancel, 0) == WAIT_OBJECT_0)
        return TYPING_CANCELLED;
    CPasteOwner owner(strText);
    if (!owner.Create() || !owner.Offer())
        return TYPING_FAILED;
    CThreadLayout layout(GetKeyboardLayout(GetWindowThreadProcessId(hFocus, NULL)));
    // The guard looks at the front just before the Ctrl+V.
    CTypingGuard guard(hCancel, hFront);
    TypingResult result = SendPlan(PlanShortcut('V', layout, keys), 0, guard, hFocus);
    if (result == TYPING_DONE)
        result = owner.WaitForTarget(hCancel);
    owner.PutBack();
    return result;
}
