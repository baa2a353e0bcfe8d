#include "keystrokes.h"

namespace {

// Scan codes of the keys every layout has in the same place.
const WORD kScanShift = 0x2A, kScanCtrl = 0x1D, kScanAlt = 0x38, kScanReturn = 0x1C,
           kScanTab = 0x0F, kScanCaps = 0x3A;

// The modifier keys the user may hold, in the order they are pressed again:
// Win and Alt first, so that a Ctrl or Shift pressed after them, or the mask
// tap, keeps the user's own later release of Alt or Win from opening a menu.
const struct {
    UINT nBit;
    BYTE bVk;
    WORD wScan;
    DWORD dwExtended;
} kHeldKeys[] = {
    { HELD_LWIN, VK_LWIN, 0x5B, KEYEVENTF_EXTENDEDKEY },
    { HELD_RWIN, VK_RWIN, 0x5C, KEYEVENTF_EXTENDEDKEY },
    { HELD_LALT, VK_LMENU, kScanAlt, 0 },
    { HELD_RALT, VK_RMENU, kScanAlt, KEYEVENTF_EXTENDEDKEY },
    { HELD_LSHIFT, VK_LSHIFT, kScanShift, 0 },
    { HELD_RSHIFT, VK_RSHIFT, 0x36, 0 },
    { HELD_LCTRL, VK_LCONTROL, kScanCtrl, 0 },
    { HELD_RCTRL, VK_RCONTROL, kScanCtrl, KEYEVENTF_EXTENDEDKEY },
};

const UINT kMenuKeys = HELD_LWIN | HELD_RWIN | HELD_LALT | HELD_RALT;

class CPlanner {
public:
    CPlanner(const CKeyLayout& layout, const KeyboardSnapshot& state, KeyPlan& plan)
        : m_layout(layout), m_state(state), m_plan(plan), m_bCharKeys(false), m_bShift(false),
          m_nTyped(0)
    {
    }

    void TypeText(const std::wstring& text)
    {
        CTypedWalk walk(text);
        for (TypedItem item; walk.Next(&item);) {
            if (item.kind == TypedItem::kPause) {
                Pause(item.dwMs);
                continue;
            }
            ++m_nTyped;
            if (item.kind == TypedItem::kKey) {
                Combination(item.bVk, item.bMods);
            } else if (item.Char() >= 0x80) {
                // A surrogate pair is one character: no pause between its halves.
                for (int i = 0; i < item.nUnits; ++i)
                    Unicode(item.awch[i]);
                Break();
            } else {
                TypeChar((unsigned char)item.Char());
            }
        }
    }

    void Combination(BYTE bVk, BYTE bMods)
    {
        static const struct {
            BYTE bMod, bVk;
            WORD wScan;
        } kMods[] = { { KEYMOD_CTRL, VK_CONTROL, kScanCtrl }, { KEYMOD_ALT, VK_MENU, kScanAlt },
                      { KEYMOD_SHIFT, VK_SHIFT, kScanShift } };
        for (const auto& m : kMods) {
            if (bMods & m.bMod)
                Key(m.bVk, m.wScan, 0);
        }
        m_bShift = m_bShift || (bMods & KEYMOD_SHIFT);
        DWORD dwExtended = IsExtendedKey(bVk) ? KEYEVENTF_EXTENDEDKEY : 0;
        WORD wScan = m_layout.ScanCode(bVk);
        Key(bVk, wScan, dwExtended);
        Key(bVk, wScan, dwExtended | KEYEVENTF_KEYUP);
        for (size_t i = ARRAYSIZE(kMods); i-- > 0;) {
            if (bMods & kMods[i].bMod)
                Key(kMods[i].bVk, kMods[i].wScan, KEYEVENTF_KEYUP);
        }
        // Caps Lock would turn Shift+letter around; shortcuts it leaves alone.
        m_bCharKeys = m_bCharKeys || (bMods == KEYMOD_SHIFT && bVk >= 'A' && bVk <= 'Z');
        Break();
    }

    void Pause(DWORD dwMs)
    {
        if (m_plan.breaks.empty())
            Break();
        m_plan.pauses.back() += dwMs;
    }

    void ShiftEnter()
    {
        m_bShift = true;
        Key(VK_SHIFT, kScanShift, 0);
        Tap(VK_RETURN, kScanReturn);
        Key(VK_SHIFT, kScanShift, KEYEVENTF_KEYUP);
        Break();
    }

    // Puts the keyboard state changes around the planned characters.
    void Wrap()
    {
        m_plan.nTail = m_plan.inputs.size();
        if (m_plan.inputs.empty())
            return;
        std::vector<INPUT> body;
        body.swap(m_plan.inputs);
        UINT nHeld = m_state.nHeld;
        // Caps Lock matters to character keys, and where Shift turns it off,
        // to every Shift pressed: the plan's own and a held one pressed again.
        bool bShiftAgain = m_state.bShiftLock && (m_bShift || (nHeld & (HELD_LSHIFT | HELD_RSHIFT)));
        bool bCaps = m_state.bCapsLock && (m_bCharKeys || bShiftAgain);
        UINT nRelease = nHeld;

        if (nHeld & kMenuKeys) {
            // Alt or Win let go with no key between would open the menu bar or
            // the Start menu: a Ctrl tap in between masks it.
            Tap(VK_LCONTROL, kScanCtrl);
            nRelease &= ~HELD_LCTRL;
        }
        for (const auto& k : kHeldKeys) {
            if (nRelease & k.nBit)
                Key(k.bVk, k.wScan, k.dwExtended | KEYEVENTF_KEYUP);
        }
        if (bCaps && m_state.bShiftLock)
            Tap(VK_LSHIFT, kScanShift);
        else if (bCaps)
            Tap(VK_CAPITAL, kScanCaps);
        size_t nLead = m_plan.inputs.size();
        m_plan.inputs.insert(m_plan.inputs.end(), body.begin(), body.end());
        for (size_t& b : m_plan.breaks)
            b += nLead;
        m_plan.nTail = m_plan.inputs.size();
        // Where Shift turns Caps Lock off, a Shift held again would turn it
        // off once more: Caps Lock goes on after the held keys then.
        if (bCaps && !m_state.bShiftLock)
            Tap(VK_CAPITAL, kScanCaps);
        for (const auto& k : kHeldKeys) {
            if (nHeld & k.nBit)
                Key(k.bVk, k.wScan, k.dwExtended);
        }
        if (bCaps && m_state.bShiftLock)
            Tap(VK_CAPITAL, kScanCaps);
        // The user's own release of the Alt or Win pressed again must not
        // open a menu either; a Ctrl pressed again after it does the same.
        if ((nHeld & kMenuKeys) && !(nHeld & HELD_LCTRL))
            Tap(VK_LCONTROL, kScanCtrl);
        m_plan.breaks.back() = m_plan.inputs.size();
    }

private:
    void Break()
    {
        m_plan.breaks.push_back(m_plan.inputs.size());
        m_plan.pauses.push_back(0);
        m_plan.typed.push_back(m_nTyped);
    }

    // The navigation keys share their scan codes with the number pad's.
    static bool IsExtendedKey(BYTE bVk)
    {
        return (bVk >= VK_PRIOR && bVk <= VK_DOWN) || bVk == VK_INSERT || bVk == VK_DELETE;
    }

    void Key(BYTE bVk, WORD wScan, DWORD dwFlags)
    {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = bVk;
        in.ki.wScan = wScan;
        in.ki.dwFlags = dwFlags;
        m_plan.inputs.push_back(in);
    }

    void Tap(BYTE bVk, WORD wScan)
    {
        Key(bVk, wScan, 0);
        Key(bVk, wScan, KEYEVENTF_KEYUP);
    }

    void Unicode(WCHAR wch)
    {
        Key(0, wch, KEYEVENTF_UNICODE);
        Key(0, wch, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
    }

    // A key found by the layout types the character by itself only with no
    // modifier, Shift, AltGr (Ctrl+Alt) or Shift+AltGr; Ctrl or Alt alone
    // would make it a shortcut, and the higher bits are input-method keys.
    static bool PlainShiftState(BYTE bShift) { return bShift <= 1 || bShift == 6 || bShift == 7; }

    void TypeChar(unsigned char ch)
    {
        if (ch == '\t') {
            Tap(VK_TAB, kScanTab);
        } else if (ch == '\r' || ch == '\n') {
            Tap(VK_RETURN, kScanReturn);
        } else if (ch == 0x08 || ch == 0x7F) {
            // Edit controls act on these even as characters: dropped.
            return;
        } else if (ch < 0x20 || (m_state.bImeOpen && ch < 0x80)) {
            Unicode(ch);
        } else {
            SHORT r = m_layout.KeyScan(ch);
            BYTE bVk = LOBYTE(r), bShift = HIBYTE(r);
            if (r == -1 || bVk == 0 || !PlainShiftState(bShift) || m_layout.IsDeadKey(ch, r)) {
                Unicode(ch);
            } else {
                if (bShift & 1) {
                    Key(VK_SHIFT, kScanShift, 0);
                    m_bShift = true;
                }
                if (bShift & 2)
                    Key(VK_CONTROL, kScanCtrl, 0);
                if (bShift & 4)
                    Key(VK_MENU, kScanAlt, 0);
                WORD wScan = m_layout.ScanCode(bVk);
                Tap(bVk, wScan);
                if (bShift & 4)
                    Key(VK_MENU, kScanAlt, KEYEVENTF_KEYUP);
                if (bShift & 2)
                    Key(VK_CONTROL, kScanCtrl, KEYEVENTF_KEYUP);
                if (bShift & 1)
                    Key(VK_SHIFT, kScanShift, KEYEVENTF_KEYUP);
                m_bCharKeys = true;
            }
        }
        Break();
    }

    const CKeyLayout& m_layout;
    const KeyboardSnapshot& m_state;
    KeyPlan& m_plan;
    // A character key is pressed, which Caps Lock would turn: letters, and
    // on layouts such as French the digit row too.
    bool m_bCharKeys;
    bool m_bShift;      // a Shift is pressed, which may turn Caps Lock off
    size_t m_nTyped;    // the text's characters and keys planned so far
};

}  // namespace

bool NeedsCharacterMode(const std::wstring& text)
{
    CTypedWalk walk(text);
    for (TypedItem item; walk.Next(&item);) {
        if (item.kind == TypedItem::kChar && item.Char() > 0x7F)
            return true;
    }
    return false;
}

KeyPlan PlanKeys(const std::wstring& text, bool bShiftEnter, const CKeyLayout& layout,
                 const KeyboardSnapshot& state)
{
    KeyPlan plan;
    CPlanner planner(layout, state, plan);
    planner.TypeText(text);
    if (bShiftEnter)
        planner.ShiftEnter();
    planner.Wrap();
    return plan;
}

KeyPlan PlanShortcut(BYTE bVk, const CKeyLayout& layout, const KeyboardSnapshot& state)
{
    std::wstring text;
    AppendKey(text, bVk, KEYMOD_CTRL);
    return PlanKeys(text, false, layout, state);
}
