// Which tray notices to show: each at most once for a cause, until the cause
// changes.
#pragma once

#include "keystrokes.h"
#include "sound.h"
#include "target.h"

// Independent subjects, each with one current cause.
// NOTICE_CODE: what the code holds, apart from where it is typed.
enum NoticeSubject { NOTICE_TYPING, NOTICE_DEVICE, NOTICE_SETTINGS, NOTICE_CODE, NOTICE_SUBJECTS };

// New causes go last.
enum NoticeCause {
    NOTICE_NONE,            // all well: nothing to tell
    NOTICE_TYPED_SELF,
    NOTICE_TYPED_NO_FOCUS,
    NOTICE_TYPED_ELEVATED,
    NOTICE_TYPED_FAILED,
    NOTICE_PASTE_NOT_TAKEN,     // the clipboard holds the code the target did not take
    NOTICE_CLIPBOARD_NOT_BACK,  // pasted; the user's clipboard could not be put back yet
    NOTICE_TYPED_FRONT,     // another window came to the front: how much went is told
    NOTICE_QUEUE_FULL,      // too many decodes waited to be typed
    NOTICE_REJECTED,        // a rule refuses the code
    NOTICE_DEVICE_LOST,
    NOTICE_DEVICE_BACK,
    NOTICE_START_FAILED,
    NOTICE_SHARED_UNREACHABLE,  // the organisation's shared settings file
    NOTICE_TYPED_CANCELLED,     // the typing was stopped: how much went is told
    NOTICE_SHARED_TOO_LARGE,    // the shared settings file, refused unread
    NOTICE_SHARED_REFUSED,      // the shared settings file, not the content pinned
    NOTICE_DUPLICATE,           // scanned before: not typed, or typed anyway (argument 1)
    NOTICE_LINK_INVALID,        // a Digital Link to convert is not valid: typed as scanned
    NOTICE_CLIPBOARD_NOT_SAVED, // not pasted: the user's clipboard could not be saved whole
    NOTICE_TARGET_WAITS,        // the target program has no window: the code waits
    NOTICE_TARGET_REFUSED,      // Windows did not bring the target forward: the code waits
    NOTICE_TARGET_EXPIRED,      // the code waited for its target in vain
    NOTICE_TARGET_ELEVATED,     // the target runs with higher rights
    NOTICE_TARGET_EXIT,         // the program closed while the code waited
    NOTICE_CAUSES               // how many there are
};

// The notice's text takes two texts (the code, the program), not numbers.
bool NoticeTakesTexts(NoticeCause cause);

// The cause a typing attempt's outcome stands for: where it would go, then
// how the typing there ended.
NoticeCause TypingNoticeCause(TargetStatus status, TypingResult result = TYPING_DONE);

// The code went whole to the target: all well, or pasted with the user's
// clipboard not back yet.
bool CountsAsTyped(NoticeCause cause);

// The sound a decode that ended with the cause plays: typed (the pasted
// code whose clipboard is not back yet included), scanned before, or not
// typed for any other cause; none for a cause that ends no decode.
SoundEvent NoticeSoundEvent(NoticeCause cause);

// The string resource of a cause's text; 0 for NOTICE_NONE.
int NoticeTextId(NoticeCause cause);

class CNoticeGate {
public:
    CNoticeGate();
    // Records the subject's cause; true when a notice is due: the cause is
    // not NOTICE_NONE and differs from the one recorded before.
    bool Pass(NoticeSubject subject, NoticeCause cause);

private:
    NoticeCause m_causes[NOTICE_SUBJECTS];
};
