// What the typing thread asks of the clipboard's keeper (keeper.h), and how
// it gets that request's own answer: each request has an id, and an answer
// counts only for the id it names. A request given up (cancelled) is
// forgotten, so a late answer satisfies nothing.
#pragma once

#include <windows.h>

#include <string>

#include "savedclip.h"

enum PasteAsk {
    ASK_OFFER,        // put the text on the clipboard, the user's content kept
    ASK_KEY_GOING,    // the Ctrl+V goes now: requests from here on may be the target's paste
    ASK_KEY_SENT,     // every event of the Ctrl+V went: answer once the target has pasted
    ASK_KEY_FAILED,   // the Ctrl+V did not go (bPartly: some of it may have)
    ASK_END_JOB,      // the job is over: the user's content back once the target is done
};

enum PasteAnswer {
    ANSWER_DONE,
    ANSWER_NEED_SAVE,     // the keeper holds no copy of the user's clipboard: save it and offer again
    ANSWER_FAILED,        // the clipboard could not be had, or the target went away
    ANSWER_NOT_TAKEN,     // the target did not paste in time: the text lingers
    ANSWER_NOT_BACK,      // the user's content is not back yet: tried again every second
    ANSWER_CANCELLED      // given up by the asker (never sent by the keeper)
};

struct PasteRequest {
    PasteAsk ask;
    ULONG nId;
    // ASK_OFFER:
    std::wstring strText;
    HWND hTarget;
    int nRestoreDelay;
    bool bSaved;             // saved holds the user's clipboard as of dwSeq
    CSavedClipboard saved;
    DWORD dwSeq;
    // ASK_KEY_FAILED:
    bool bPartly;
};

// The one answer the typing thread waits for.
class CAnswerSlot {
public:
    CAnswerSlot();
    ~CAnswerSlot();
    // A new id, the one awaited from now on.
    ULONG Expect();
    // From the keeper: kept only when nId is the one awaited.
    void Answer(ULONG nId, PasteAnswer answer);
    // Waits for nId's answer, or hCancel; on cancel the id is forgotten.
    PasteAnswer Wait(ULONG nId, HANDLE hCancel);

private:
    CAnswerSlot(const CAnswerSlot&) = delete;
    CAnswerSlot& operator=(const CAnswerSlot&) = delete;

    CRITICAL_SECTION m_cs;
    HANDLE m_hAnswered;
    ULONG m_nLast;
    ULONG m_nAwaited;
    bool m_bAnswered;
    PasteAnswer m_answer;
};
