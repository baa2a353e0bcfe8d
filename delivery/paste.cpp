#include "paste.h"

#include <memory>
#include <utility>

#include "clipsave.h"
#include "keeper.h"
#include "typekeys.h"

namespace {

const int kOfferTries = 4;   // a save, and again each time someone copied meanwhile

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

std::unique_ptr<PasteRequest> Request(PasteAsk ask)
{
    std::unique_ptr<PasteRequest> pRequest(new PasteRequest());
    pRequest->ask = ask;
    return pRequest;
}

}  // namespace

CPasteJob::CPasteJob(HANDLE hCancel, int nRestoreDelay)
    : m_hCancel(hCancel), m_nRestoreDelay(nRestoreDelay), m_bOffered(false)
{
}

TypingResult CPasteJob::Paste(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys, HWND hFront)
{
    if (strText.empty())
        return TYPING_DONE;
    if (m_hCancel && WaitForSingleObject(m_hCancel, 0) == WAIT_OBJECT_0)
        return TYPING_CANCELLED;
    CPasteKeeper& keeper = Keeper();
    if (!keeper.Start())
        return TYPING_FAILED;
    // The keeper says when it holds no copy of the user's clipboard.
    PasteAnswer answer = ANSWER_NEED_SAVE;
    for (int nTry = 0; nTry < kOfferTries && answer == ANSWER_NEED_SAVE; ++nTry) {
        std::unique_ptr<PasteRequest> pOffer = Request(ASK_OFFER);
        pOffer->strText = ClipboardText(strText);
        pOffer->hTarget = hFocus;
        pOffer->nRestoreDelay = m_nRestoreDelay;
        if (nTry > 0) {
            SaveResult saved = SaveClipboard(&pOffer->saved, &pOffer->dwSeq, m_hCancel);
            if (saved != SAVE_DONE)
                return saved == SAVE_CANCELLED     ? TYPING_CANCELLED
                     : saved == SAVE_INCOMPLETE ? TYPING_CLIPBOARD_NOT_SAVED
                                                : TYPING_FAILED;
            pOffer->bSaved = true;
        }
        answer = keeper.Ask(std::move(pOffer), m_hCancel);
    }
    if (answer != ANSWER_DONE)
        return answer == ANSWER_CANCELLED ? TYPING_CANCELLED : TYPING_FAILED;
    m_bOffered = true;

    DWORD dwThread = GetWindowThreadProcessId(hFocus, NULL);
    CThreadLayout layout(GetKeyboardLayout(dwThread));
    if (keeper.Ask(Request(ASK_KEY_GOING), NULL) != ANSWER_DONE)
        return TYPING_FAILED;
    // The guard looks at the front just before the Ctrl+V.
    CTypingGuard guard(m_hCancel, hFront);
    TypingResult result = SendPlan(PlanShortcut('V', layout, keys), 0, guard, hFocus);
    if (result != TYPING_DONE) {
        // Stopped by the guard nothing went; a failed SendInput may have sent a part.
        std::unique_ptr<PasteRequest> pFailed = Request(ASK_KEY_FAILED);
        pFailed->bPartly = result == TYPING_FAILED;
        keeper.Ask(std::move(pFailed), NULL);
        return result;
    }
    switch (keeper.Ask(Request(ASK_KEY_SENT), m_hCancel)) {
    case ANSWER_DONE: return TYPING_DONE;
    case ANSWER_NOT_TAKEN: return TYPING_NOT_TAKEN;
    case ANSWER_CANCELLED: return TYPING_CANCELLED;
    default: return TYPING_FAILED;
    }
}

TypingResult CPasteJob::End()
{
    if (!m_bOffered)
        return TYPING_DONE;
    m_bOffered = false;
    // Cancelled, the put-back still goes on without us.
    return Keeper().Ask(Request(ASK_END_JOB), m_hCancel) == ANSWER_NOT_BACK ? TYPING_CLIPBOARD_NOT_BACK
                                                                           : TYPING_DONE;
}

TypingResult PasteText(const std::wstring& strText, HWND hFocus, const KeyboardSnapshot& keys,
                       HANDLE hCancel, int nRestoreDelay, HWND hFront)
{
    CPasteJob job(hCancel, nRestoreDelay);
    TypingResult result = job.Paste(strText, hFocus, keys, hFront);
    TypingResult end = job.End();
    return result == TYPING_DONE ? end : result;
}

bool GiveClipboardBack()
{
    return Keeper().End();
}
