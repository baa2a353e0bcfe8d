#include "keystrokes.h"

namespace {

const DWORD kNoKey = 0xFFFFFFFF;

// Modifier bits of OemKeyScan's high word, in the order they are pressed.
const struct {
    DWORD dwBit;
    BYTE bVk;
} kModifiers[] = {
    { 1, VK_SHIFT },
    { 2, VK_CONTROL },
    { 4, VK_MENU },
};

void Press(std::vector<KeyStroke>& plan, BYTE bVk)
{
    plan.push_back({ bVk, 0, false });
    plan.push_back({ bVk, 0, true });
}

void PressWithModifiers(std::vector<KeyStroke>& plan, BYTE bVk, DWORD dwShiftState)
{
    for (const auto& m : kModifiers) {
        if (dwShiftState & m.dwBit)
            plan.push_back({ m.bVk, 0, false });
    }
    Press(plan, bVk);
    for (int i = 2; i >= 0; --i) {
        if (dwShiftState & kModifiers[i].dwBit)
            plan.push_back({ kModifiers[i].bVk, 0, true });
    }
}

void TypeUnicode(std::vector<KeyStroke>& plan, unsigned char ch)
{
    plan.push_back({ 0, (WCHAR)ch, false });
    plan.push_back({ 0, (WCHAR)ch, true });
}

}  // namespace

bool NeedsCharacterMode(const char* pszText)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszText); *p; ++p) {
        if (*p > 0x7F)
            return true;
    }
    return false;
}

std::vector<KeyStroke> PlanKeyStrokes(const char* pszText, bool bAppendEnter,
                                      PFN_OEMKEYSCAN pfnScan, PFN_MAPVIRTUALKEY pfnMap)
{
    std::vector<KeyStroke> plan;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszText); *p; ++p) {
        if (*p == '\t') {
            Press(plan, VK_TAB);
            continue;
        }
        if (*p == '\r' || *p == '\n') {
            if (p[0] == '\r' && p[1] == '\n')
                ++p;
            Press(plan, VK_RETURN);
            continue;
        }
        DWORD r = pfnScan(*p);
        BYTE bVk = r == kNoKey ? 0 : (BYTE)pfnMap(LOWORD(r), 1);
        if (bVk == 0)
            TypeUnicode(plan, *p);
        else
            PressWithModifiers(plan, bVk, HIWORD(r));
    }
    if (bAppendEnter)
        PressWithModifiers(plan, VK_RETURN, 1);
    return plan;
}

void PlayKeyStrokes(const std::vector<KeyStroke>& strokes)
{
    for (const KeyStroke& k : strokes) {
        if (k.bVk) {
            keybd_event(k.bVk, 0, k.bUp ? KEYEVENTF_KEYUP : 0, 0);
            continue;
        }
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = k.wch;
        input.ki.dwFlags = KEYEVENTF_UNICODE | (k.bUp ? KEYEVENTF_KEYUP : 0);
        SendInput(1, &input, sizeof(input));
    }
}
