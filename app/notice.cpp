#include "notice.h"

#include "resource.h"

NoticeCause TypingNoticeCause(TargetStatus status, TypingResult result)
{
    switch (status) {
    case TARGET_SELF: return NOTICE_TYPED_SELF;
    case TARGET_NO_FOCUS: return NOTICE_TYPED_NO_FOCUS;
    case TARGET_ELEVATED: return NOTICE_TYPED_ELEVATED;
    default: break;
    }
    switch (result) {
    case TYPING_FAILED: return NOTICE_TYPED_FAILED;
    case TYPING_NOT_TAKEN: return NOTICE_PASTE_NOT_TAKEN;
    case TYPING_CLIPBOARD_NOT_BACK: return NOTICE_CLIPBOARD_NOT_BACK;
    case TYPING_CLIPBOARD_NOT_SAVED: return NOTICE_CLIPBOARD_NOT_SAVED;
    case TYPING_FRONT_CHANGED: return NOTICE_TYPED_FRONT;
    case TYPING_CANCELLED: return NOTICE_TYPED_CANCELLED;
    default: return NOTICE_NONE;
    }
}

bool CountsAsTyped(NoticeCause cause)
{
    return cause == NOTICE_NONE || cause == NOTICE_CLIPBOARD_NOT_BACK;
}

SoundEvent NoticeSoundEvent(NoticeCause cause)
{
    if (CountsAsTyped(cause))
        return SOUND_TYPED;
    switch (cause) {
    case NOTICE_DUPLICATE: return SOUND_DUPLICATE;
    case NOTICE_DEVICE_LOST:
    case NOTICE_DEVICE_BACK:
    case NOTICE_START_FAILED:
    case NOTICE_SHARED_UNREACHABLE:
    case NOTICE_SHARED_TOO_LARGE:
    case NOTICE_SHARED_REFUSED:
    case NOTICE_LINK_INVALID: return SOUND_NONE;   // no decode's end
    default: return SOUND_NOT_TYPED;
    }
}

int NoticeTextId(NoticeCause cause)
{
    switch (cause) {
    case NOTICE_TYPED_SELF: return IDS_NOTICE_SELF;
    case NOTICE_TYPED_NO_FOCUS: return IDS_NOTICE_NO_FOCUS;
    case NOTICE_TYPED_ELEVATED: return IDS_NOTICE_ELEVATED;
    case NOTICE_TYPED_FAILED: return IDS_NOTICE_TYPING_FAILED;
    case NOTICE_PASTE_NOT_TAKEN: return IDS_NOTICE_PASTE_NOT_TAKEN;
    case NOTICE_CLIPBOARD_NOT_BACK: return IDS_NOTICE_CLIPBOARD_NOT_BACK;
    case NOTICE_TYPED_FRONT: return IDS_NOTICE_FRONT_CHANGED;
    case NOTICE_QUEUE_FULL: return IDS_NOTICE_QUEUE_FULL;
    case NOTICE_TYPED_CANCELLED: return IDS_NOTICE_CANCELLED;
    case NOTICE_SHARED_TOO_LARGE: return IDS_NOTICE_SHARED_TOO_LARGE;
    case NOTICE_SHARED_REFUSED: return IDS_NOTICE_SHARED_REFUSED;
    case NOTICE_REJECTED: return IDS_NOTICE_REJECTED;
    case NOTICE_DEVICE_LOST: return IDS_NOTICE_DEVICE_LOST;
    case NOTICE_DEVICE_BACK: return IDS_NOTICE_DEVICE_BACK;
    case NOTICE_START_FAILED: return IDS_NOTICE_START_FAILED;
    case NOTICE_SHARED_UNREACHABLE: return IDS_NOTICE_SHARED_UNREACHABLE;
    case NOTICE_LINK_INVALID: return IDS_NOTICE_LINK_INVALID;
    case NOTICE_DUPLICATE: return IDS_NOTICE_DUPLICATE;
    case NOTICE_CLIPBOARD_NOT_SAVED: return IDS_NOTICE_CLIPBOARD_NOT_SAVED;
    case NOTICE_TARGET_WAITS: return IDS_NOTICE_TARGET_WAITS;
    case NOTICE_TARGET_REFUSED: return IDS_NOTICE_TARGET_REFUSED;
    case NOTICE_TARGET_EXPIRED:
    case NOTICE_TARGET_EXIT: return IDS_NOTICE_TARGET_EXPIRED;
    case NOTICE_TARGET_ELEVATED: return IDS_NOTICE_TARGET_ELEVATED;
    default: return 0;
    }
}

CNoticeGate::CNoticeGate()
{
    for (NoticeCause& cause : m_causes)
        cause = NOTICE_NONE;
}

bool CNoticeGate::Pass(NoticeSubject subject, NoticeCause cause)
{
    bool bChanged = m_causes[subject] != cause;
    m_causes[subject] = cause;
    return bChanged && cause != NOTICE_NONE;
}

bool NoticeTakesTexts(NoticeCause cause)
{
    return cause >= NOTICE_TARGET_WAITS && cause <= NOTICE_TARGET_EXIT;
}
