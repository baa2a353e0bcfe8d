#include <afxwin.h>
#include <gtest/gtest.h>

#include <chrono>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "keystrokes.h"
#include "shape.h"
#include "typekeys.h"
#include "typist.h"
#include "utf8.h"

namespace {

bool Utf8(const std::string& s)
{
    return IsUtf8(s.data(), (int)s.size());
}

// A keyboard layout as its key table records it: per key the virtual key,
// scan code, whether Caps Lock shifts it, and the ASCII characters it types
// (0: none or not ASCII) plain, with Shift, Ctrl, Ctrl+Shift, AltGr and
// Shift+AltGr, in the order VkKeyScanEx searches; plus the layout's dead keys.
struct KeyRow {
    BYTE bVk;
    WORD wScan;
    bool bCaps;
    char ach[6];
};

struct Layout {
    std::vector<KeyRow> rows;
    const char* pszDead;
};

const BYTE kColumnShift[6] = { 0, 1, 2, 3, 6, 7 };

// The letter keys of a layout, with Ctrl giving the control character.
void AddLetters(std::vector<KeyRow>& rows, const char* pszLetters, WORD wFirstScan)
{
    for (const char* p = pszLetters; *p; ++p, ++wFirstScan) {
        rows.push_back({ (BYTE)*p, wFirstScan, true,
                         { (char)(*p + 32), *p, (char)(*p - 0x40), 0, 0, 0 } });
    }
}

// Windows' US layout. Its table has keys for control characters: the
// backspace, tab, Enter and Esc keys, Ctrl with a letter, Ctrl+[ \ ],
// Ctrl+Shift+6 and -, and Ctrl+Backspace for DEL.
Layout UsLayout()
{
    std::vector<KeyRow> rows = {
        { VK_BACK, 0x0E, false, { 0x08, 0x08, 0x7F, 0, 0, 0 } },
        { VK_TAB, 0x0F, false, { 0x09, 0x09, 0, 0, 0, 0 } },
        { VK_RETURN, 0x1C, false, { 0x0D, 0x0D, 0x0A, 0, 0, 0 } },
        { VK_ESCAPE, 0x01, false, { 0x1B, 0x1B, 0x1B, 0, 0, 0 } },
        { VK_CANCEL, 0x46, false, { 0x03, 0x03, 0x03, 0, 0, 0 } },
        { VK_HOME, 0x47, false, { 0, 0, 0, 0, 0, 0 } },
        { VK_SPACE, 0x39, false, { ' ', ' ', ' ', 0, 0, 0 } },
        { VK_OEM_4, 0x1A, false, { '[', '{', 0x1B, 0, 0, 0 } },
        { VK_OEM_6, 0x1B, false, { ']', '}', 0x1D, 0, 0, 0 } },
        { VK_OEM_5, 0x2B, false, { '\\', '|', 0x1C, 0, 0, 0 } },
        { '6', 0x07, false, { '6', '^', 0, 0x1E, 0, 0 } },
        { VK_OEM_MINUS, 0x0C, false, { '-', '_', 0, 0x1F, 0, 0 } },
    };
    const char* pszShifted = ")!@#$%^&*(";
    for (int i = 0; i < 10; ++i) {
        if (i != 6)
            rows.push_back({ (BYTE)('0' + i), (WORD)(i ? i + 1 : 0x0B), false,
                             { (char)('0' + i), pszShifted[i], 0, 0, 0, 0 } });
    }
    rows.insert(rows.end(), {
        { VK_OEM_PLUS, 0x0D, false, { '=', '+', 0, 0, 0, 0 } },
        { VK_OEM_1, 0x27, false, { ';', ':', 0, 0, 0, 0 } },
        { VK_OEM_7, 0x28, false, { '\'', '"', 0, 0, 0, 0 } },
        { VK_OEM_3, 0x29, false, { '`', '~', 0, 0, 0, 0 } },
        { VK_OEM_COMMA, 0x33, false, { ',', '<', 0, 0, 0, 0 } },
        { VK_OEM_PERIOD, 0x34, false, { '.', '>', 0, 0, 0, 0 } },
        { VK_OEM_2, 0x35, false, { '/', '?', 0, 0, 0, 0 } },
    });
    AddLetters(rows, "QWERTYUIOP", 0x10);
    AddLetters(rows, "ASDFGHJKL", 0x1E);
    AddLetters(rows, "ZXCVBNM", 0x2C);
    return { rows, "" };
}

// French AZERTY: ^ (and its Shift, ¨) a dead key of its own, ~ and ` dead
// keys on AltGr+2 and AltGr+7; the digits need Shift, or Caps Lock.
Layout FrenchLayout()
{
    std::vector<KeyRow> rows = {
        { VK_SPACE, 0x39, false, { ' ', ' ', ' ', 0, 0, 0 } },
        { VK_OEM_6, 0x1A, false, { '^', 0, 0x1B, 0, 0, 0 } },
        { '1', 0x02, true, { '&', '1', 0, 0, 0, 0 } },
        { '2', 0x03, true, { 0, '2', 0, 0, '~', 0 } },
        { '3', 0x04, true, { '"', '3', 0, 0, '#', 0 } },
        { '7', 0x08, true, { 0, '7', 0, 0, '`', 0 } },
        { '9', 0x0A, true, { 0, '9', 0, 0, '^', 0 } },
        { '0', 0x0B, true, { 0, '0', 0, 0, '@', 0 } },
        { VK_OEM_COMMA, 0x32, false, { ',', '?', 0, 0, 0, 0 } },
    };
    AddLetters(rows, "AZERTYUIOP", 0x10);
    AddLetters(rows, "QSDFGHJKLM", 0x1E);
    AddLetters(rows, "WXCVBN", 0x2C);
    return { rows, "^~`" };
}

// German QWERTZ: ^ and the ´ key (` with Shift) are dead keys; ~ on AltGr++
// and @ on AltGr+Q are not; y and z trade places.
Layout GermanLayout()
{
    std::vector<KeyRow> rows = {
        { VK_SPACE, 0x39, false, { ' ', ' ', ' ', 0, 0, 0 } },
        { VK_OEM_5, 0x29, false, { '^', 0, 0, 0, 0, 0 } },
        { VK_OEM_6, 0x0D, false, { 0, '`', 0, 0, 0, 0 } },
        { VK_OEM_PLUS, 0x1B, false, { '+', '*', 0x1D, 0, '~', 0 } },
        { '7', 0x08, false, { '7', '/', 0, 0, '{', 0 } },
        { '0', 0x0B, false, { '0', '=', 0, 0, '}', 0 } },
        { VK_OEM_4, 0x0C, false, { 0, '?', 0, 0, '\\', 0 } },
        { '2', 0x03, false, { '2', '"', 0, 0, 0, 0 } },
    };
    AddLetters(rows, "QWERTZUIOP", 0x10);
    rows[8].ach[4] = '@';   // AltGr+Q
    AddLetters(rows, "ASDFGHJKL", 0x1E);
    AddLetters(rows, "YXCVBNM", 0x2C);
    return { rows, "^`" };
}

class CRecordedLayout : public CKeyLayout {
public:
    explicit CRecordedLayout(const Layout& layout) : m_layout(layout) {}
    SHORT KeyScan(unsigned char ch) const override
    {
        for (const KeyRow& row : m_layout.rows) {
            for (int c = 0; c < 6; ++c) {
                if ((unsigned char)row.ach[c] == ch && ch)
                    return (SHORT)(kColumnShift[c] << 8 | row.bVk);
            }
        }
        return -1;
    }
    WORD ScanCode(BYTE bVk) const override
    {
        const KeyRow* row = Row(bVk);
        return row ? row->wScan : 0;
    }
    bool IsDeadKey(unsigned char ch, SHORT) const override
    {
        return strchr(m_layout.pszDead, ch) != nullptr;
    }
    const KeyRow* Row(BYTE bVk) const
    {
        for (const KeyRow& row : m_layout.rows) {
            if (row.bVk == bVk)
                return &row;
        }
        return nullptr;
    }

private:
    const Layout& m_layout;
};

const Layout kUs = UsLayout(), kFrench = FrenchLayout(), kGerman = GermanLayout();

KeyboardSnapshot Clean()
{
    return { false, 0, false, false };
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

KeyPlan Plan(const Layout& layout, const std::string& text, const KeyboardSnapshot& state,
             bool bShiftEnter = false)
{
    return PlanKeys(Wide(text), bShiftEnter, CRecordedLayout(layout), state);
}

// What Windows makes of a plan on the recorded layout, from the given state:
// the characters typed, with "[...]" for whatever else happens: a shortcut
// (C+x, A+x, W+x), a dead key combining with the next character ("[^e]"), a
// menu opened by a lone Alt or Win release. Caps Lock turns the keys the
// layout marks, as Windows does (Wine does not); under the setting "press
// Shift to turn off Caps Lock" a Shift press turns it off and the Caps Lock
// key only turns it on. Also gives the state after.
struct Outcome {
    std::string text;
    bool bCapsLock;
    UINT nHeld;
    UINT nArmed;   // Alt or Win down with no key since: its release opens a menu
};

const UINT kMenuKeys = HELD_LALT | HELD_RALT | HELD_LWIN | HELD_RWIN;

Outcome Type(const Layout& layout, const KeyPlan& plan, KeyboardSnapshot state)
{
    CRecordedLayout keys(layout);
    Outcome out = { "", state.bCapsLock, state.nHeld, state.nHeld & kMenuKeys };
    UINT& held = out.nHeld;
    UINT& nArmed = out.nArmed;
    char chDead = 0;
    for (const INPUT& in : plan.inputs) {
        const KEYBDINPUT& k = in.ki;
        bool bUp = (k.dwFlags & KEYEVENTF_KEYUP) != 0, bExt = (k.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0;
        UINT nBit = 0;
        switch (k.wVk) {
        case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT: nBit = k.wScan == 0x36 ? HELD_RSHIFT : HELD_LSHIFT; break;
        case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL: nBit = bExt ? HELD_RCTRL : HELD_LCTRL; break;
        case VK_MENU: case VK_LMENU: case VK_RMENU: nBit = bExt ? HELD_RALT : HELD_LALT; break;
        case VK_LWIN: nBit = HELD_LWIN; break;
        case VK_RWIN: nBit = HELD_RWIN; break;
        }
        if (nBit) {
            bool bMenuKey = (nBit & kMenuKeys) != 0;
            if (bUp && bMenuKey && (nArmed & nBit))
                out.text += "[menu]";
            if (!bUp && bMenuKey && !(held & nBit))
                nArmed |= nBit;
            else
                nArmed &= ~nBit;
            held = bUp ? held & ~nBit : held | nBit;
            if (!bUp && !bMenuKey)
                nArmed = 0;
            if (!bUp && state.bShiftLock && (nBit & (HELD_LSHIFT | HELD_RSHIFT)))
                out.bCapsLock = false;
            continue;
        }
        if (bUp)
            continue;
        nArmed = 0;
        if (k.dwFlags & KEYEVENTF_UNICODE) {
            out.text += (char)k.wScan;
            continue;
        }
        if (k.wVk == VK_CAPITAL) {
            out.bCapsLock = state.bShiftLock || !out.bCapsLock;
            continue;
        }
        bool bShift = held & (HELD_LSHIFT | HELD_RSHIFT), bCtrl = held & (HELD_LCTRL | HELD_RCTRL);
        bool bAlt = held & (HELD_LALT | HELD_RALT), bWin = held & (HELD_LWIN | HELD_RWIN);
        const KeyRow* row = keys.Row((BYTE)k.wVk);
        EXPECT_TRUE(row) << "key " << k.wVk << " is not on the layout";
        EXPECT_EQ(row ? row->wScan : 0, k.wScan) << "scan code of key " << k.wVk;
        if (!row)
            continue;
        char ch = row->ach[bShift];
        if (bWin || bCtrl != bAlt) {
            out.text += std::string("[") + (bWin ? "W+" : bCtrl ? "C+" : "A+") + row->ach[0] + "]";
            continue;
        }
        if (bCtrl && bAlt)
            ch = row->ach[4 + bShift];
        else if (row->bCaps && out.bCapsLock)
            ch = row->ach[!bShift];
        if (k.wVk == VK_RETURN)
            ch = '\n';
        if (chDead) {
            out.text += std::string("[") + chDead + ch + "]";
            chDead = 0;
        } else if (strchr(layout.pszDead, ch) && ch) {
            chDead = ch;
        } else {
            out.text += ch;
        }
    }
    return out;
}

std::string Typed(const Layout& layout, const std::string& text, KeyboardSnapshot state = Clean(),
                  bool bShiftEnter = false)
{
    KeyPlan plan = Plan(layout, text, state, bShiftEnter);
    for (const INPUT& in : plan.inputs)
        EXPECT_NE(0, in.ki.wScan) << "a key event without a scan code, typing " << text;
    Outcome out = Type(layout, plan, state);
    EXPECT_EQ(0u, out.nArmed) << "a release of Alt or Win afterwards would open a menu";
    EXPECT_EQ(state.bCapsLock, out.bCapsLock) << "Caps Lock afterwards, typing " << text;
    EXPECT_EQ(state.nHeld, out.nHeld) << "keys held afterwards, typing " << text;
    return out.text;
}

// The plan as text: "+X"/"-X" key down/up with the scan code after a colon,
// "u+X"/"u-X" Unicode input; S, C, A, R, T for Shift, Ctrl, Alt, Return, Tab.
std::string Events(const std::vector<INPUT>& inputs)
{
    std::string out;
    char buf[32];
    for (const INPUT& in : inputs) {
        const KEYBDINPUT& k = in.ki;
        if (!out.empty())
            out += ' ';
        bool bUp = (k.dwFlags & KEYEVENTF_KEYUP) != 0;
        if (k.dwFlags & KEYEVENTF_UNICODE) {
            sprintf(buf, "u%c%02X", bUp ? '-' : '+', k.wScan);
            out += buf;
            continue;
        }
        const char* name = nullptr;
        switch (k.wVk) {
        case VK_SHIFT: name = "S"; break;
        case VK_CONTROL: name = "C"; break;
        case VK_MENU: name = "A"; break;
        case VK_RETURN: name = "R"; break;
        case VK_TAB: name = "T"; break;
        }
        if (name)
            sprintf(buf, "%c%s", bUp ? '-' : '+', name);
        else
            sprintf(buf, "%c%02X:%02X", bUp ? '-' : '+', k.wVk, k.wScan);
        out += buf;
    }
    return out;
}

std::string Events(const KeyPlan& plan)
{
    return Events(plan.inputs);
}

std::vector<std::vector<INPUT>> g_batches;

UINT WINAPI RecordBatch(UINT cInputs, LPINPUT pInputs, int)
{
    g_batches.emplace_back(pInputs, pInputs + cInputs);
    return cInputs;
}

std::string Joined()
{
    KeyPlan all;
    for (const auto& b : g_batches)
        all.inputs.insert(all.inputs.end(), b.begin(), b.end());
    return Events(all);
}

// A target's input-method window as WM_IME_CONTROL finds it, recording what
// it is asked; a stubborn one will not close.
struct RecordedIme {
    bool bOpen, bStubborn;
    LPARAM lConversion;
    std::vector<std::string> log;
} g_ime;

LRESULT CALLBACK RecordedImeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_IME_CONTROL)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (wParam) {
    case 1: g_ime.log.push_back("mode?"); return g_ime.lConversion;
    case 2: g_ime.log.push_back("mode=" + std::to_string(lParam)); g_ime.lConversion = lParam; return 0;
    case 5: g_ime.log.push_back("open?"); return g_ime.bOpen;
    case 6:
        g_ime.log.push_back("open=" + std::to_string(lParam));
        if (!g_ime.bStubborn)
            g_ime.bOpen = lParam != 0;
        return 0;
    }
    return 0;
}

HWND RecordedImeWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordedImeProc;
    wc.lpszClassName = "NorzaRecordedIme";
    RegisterClassA(&wc);
    return CreateWindowA("NorzaRecordedIme", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
}

}  // namespace

TEST(IsUtf8, AcceptsWellFormedText)
{
    EXPECT_TRUE(Utf8(""));
    EXPECT_TRUE(Utf8("ABC123"));
    EXPECT_TRUE(Utf8("\xE4\xB8\xAD\xE6\x96\x87"));          // 中文
    EXPECT_TRUE(Utf8("\xC3\xA9t\xC3\xA9"));                   // été
    EXPECT_TRUE(Utf8("\xF0\x9F\x98\x80"));                   // U+1F600
    EXPECT_TRUE(Utf8("\xF4\x8F\xBF\xBF"));                   // U+10FFFF
    EXPECT_TRUE(Utf8("\xEF\xBB\xBFx"));                      // byte-order mark
}

TEST(IsUtf8, RejectsWhatIsNotUtf8)
{
    EXPECT_FALSE(Utf8("\xB3\xCC\xB0\xA1"));       // GBK that a loose test would take
    EXPECT_FALSE(Utf8("\xB3\xCC\xD0\xF2"));       // GBK
    EXPECT_FALSE(Utf8("a\x80"));                  // stray continuation byte
    EXPECT_FALSE(Utf8("\xE4\xB8"));               // truncated at the end
    EXPECT_FALSE(Utf8("\xE4\xB8x"));              // missing continuation byte
    EXPECT_FALSE(Utf8("\xC0\xAF"));               // overlong '/'
    EXPECT_FALSE(Utf8("\xE0\x80\xAF"));           // overlong, three bytes
    EXPECT_FALSE(Utf8("\xF0\x80\x80\xAF"));       // overlong, four bytes
    EXPECT_FALSE(Utf8("\xED\xA0\x80"));           // surrogate U+D800
    EXPECT_FALSE(Utf8("\xF4\x90\x80\x80"));       // above U+10FFFF
    EXPECT_FALSE(Utf8("\xFE\xFF"));
}

TEST(Utf8ToAnsi, ConvertsIntoTheAnsiCodePage)
{
    CString ascii("ABC 123");
    Utf8ToAnsi(ascii);
    EXPECT_STREQ("ABC 123", ascii);

    CString chinese("\xE4\xB8\xAD\xE6\x96\x87");
    Utf8ToAnsi(chinese);
    if (GetACP() == 936)
        EXPECT_STREQ("\xD6\xD0\xCE\xC4", chinese);
    else
        EXPECT_STREQ("??", chinese);

    CString accented("\xC3\xA9");
    Utf8ToAnsi(accented);
    EXPECT_STREQ(GetACP() == 936 ? "\xA8\xA6" : "\xE9", accented);

    CString empty;
    Utf8ToAnsi(empty);
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(KeyPlan, ModeFollowsTheCharacters)
{
    EXPECT_FALSE(NeedsCharacterMode(L""));
    EXPECT_FALSE(NeedsCharacterMode(L"ABC\t1\r\x1D"));
    EXPECT_TRUE(NeedsCharacterMode(L"A\x4E2D"));
    EXPECT_TRUE(NeedsCharacterMode(L"\xE9"));
}

TEST(KeyPlan, TypesTheTextOnTheLayoutWithScanCodes)
{
    std::string all;
    for (int ch = 0x20; ch < 0x7F; ++ch)
        all += (char)ch;
    EXPECT_EQ(all, Typed(kUs, all.c_str()));
    // Shift only where the layout needs it, every key with its scan code.
    EXPECT_EQ("+S +41:1E -41:1E -S +42:30 -42:30 +31:02 -31:02", Events(Plan(kUs, "Ab1", Clean())));
    EXPECT_EQ("+S +32:03 -32:03 -S", Events(Plan(kUs, "@", Clean())));
}

TEST(KeyPlan, AltGrCharactersGetCtrlAndAlt)
{
    EXPECT_EQ("+C +A +51:10 -51:10 -A -C", Events(Plan(kGerman, "@", Clean())));
    EXPECT_EQ("@{}\\~zy", Typed(kGerman, "@{}\\~zy"));
    EXPECT_EQ("+5A:15 -5A:15 +59:2C -59:2C", Events(Plan(kGerman, "zy", Clean())));
}

TEST(KeyPlan, TabsAndLineBreaksAreKeys)
{
    EXPECT_EQ("+31:02 -31:02 +T -T +32:03 -32:03", Events(Plan(kUs, "1\t2", Clean())));
    EXPECT_EQ("1\n2\n\n", Typed(kUs, "1\r\n2\n\r"));
    EXPECT_EQ("+R -R +R -R", Events(Plan(kUs, "\n\n", Clean())));
}

TEST(KeyPlan, CharactersWithoutAKeyGoAsUnicode)
{
    // Nothing on this French table types '{' or 'q' with Shift only.
    EXPECT_EQ("u+7B u-7B", Events(Plan(kFrench, "{", Clean())));
    EXPECT_EQ("x{q", Typed(kFrench, "x{q"));
}

TEST(KeyPlan, EnterSuffixIsShiftEnter)
{
    EXPECT_EQ("+31:02 -31:02 +S +R -R -S", Events(Plan(kUs, "1", Clean(), true)));
    EXPECT_EQ("+S +R -R -S", Events(Plan(kUs, "", Clean(), true)));
    EXPECT_EQ("", Events(Plan(kUs, "", { true, HELD_LALT, false, false })));
}

TEST(KeyPlan, PausesFallBetweenCharactersAndTheStateComesBackLast)
{
    KeyPlan plan = Plan(kUs, "#\tab\r", { true, HELD_LCTRL, false, false });
    // Five characters; the first carries the releases and Caps Lock off, the
    // last the state put back, so pauses never split a key from its Shift.
    ASSERT_EQ(5u, plan.breaks.size());
    EXPECT_EQ(plan.inputs.size(), plan.breaks.back());
    EXPECT_EQ("-A2:1D +14:3A -14:3A +S +33:04 -33:04 -S", Events(std::vector<INPUT>(
        plan.inputs.begin(), plan.inputs.begin() + plan.breaks[0])));
    EXPECT_EQ("+R -R +14:3A -14:3A +A2:1D", Events(std::vector<INPUT>(
        plan.inputs.begin() + plan.breaks[3], plan.inputs.end())));
    EXPECT_EQ("+14:3A -14:3A +A2:1D", Events(std::vector<INPUT>(
        plan.inputs.begin() + plan.nTail, plan.inputs.end())));
    // Characters outside ASCII go as Unicode input, a surrogate pair whole.
    KeyPlan wide = PlanKeys(L"\x4E2D\xD83D\xDE00", false, CRecordedLayout(kUs), Clean());
    EXPECT_EQ("u+4E2D u-4E2D u+D83D u-D83D u+DE00 u-DE00", Events(wide));
    EXPECT_EQ(2u, wide.breaks.size());
}

TEST(KeyPlan, CapsLockOnStillTypesTheDecodedCase)
{
    // Windows turns letter keys under Caps Lock: typed as they come, the case
    // would arrive inverted.
    KeyboardSnapshot caps = { true, 0, false, false };
    EXPECT_EQ("aBc-XYZ", Type(kUs, Plan(kUs, "AbC-xyz", Clean()), caps).text);
    EXPECT_EQ("AbC-xyz", Typed(kUs, "AbC-xyz", caps));
    // On French the digits too.
    EXPECT_EQ("&1", Type(kFrench, Plan(kFrench, "1&", Clean()), caps).text);
    EXPECT_EQ("1&", Typed(kFrench, "1&", caps));
    // Nothing to turn: Caps Lock stays untouched.
    EXPECT_EQ("u+1B u-1B +R -R", Events(Plan(kUs, "\x1b\n", caps)));
}

TEST(KeyPlan, WhereShiftTurnsCapsLockOffShiftDoes)
{
    // Under that setting the Caps Lock key does not turn it off: a plan
    // made for the usual setting inverts the case and leaves it on.
    KeyboardSnapshot caps = { true, 0, false, false }, shiftLock = { true, 0, false, true };
    EXPECT_EQ("AB", Type(kUs, Plan(kUs, "ab", caps), shiftLock).text);
    for (UINT n : { 0u, (UINT)HELD_LSHIFT, (UINT)HELD_RSHIFT, (UINT)(HELD_LALT | HELD_RSHIFT) }) {
        shiftLock.nHeld = n;
        EXPECT_EQ("AbC-xyz", Typed(kUs, "AbC-xyz", shiftLock)) << "held " << n;
    }
    EXPECT_EQ("+A0:2A -A0:2A +S +41:1E -41:1E -S +14:3A -14:3A",
              Events(Plan(kUs, "A", { true, 0, false, true })));
    // Whatever presses the Shift, Caps Lock is on again afterwards: the
    // Enter suffix (the paste's too), {SHIFT+TAB}, {CTRL+SHIFT+HOME}.
    std::wstring shiftTab, ctrlShiftHome;
    AppendKey(shiftTab, VK_TAB, KEYMOD_SHIFT);
    AppendKey(ctrlShiftHome, VK_HOME, KEYMOD_CTRL | KEYMOD_SHIFT);
    const struct {
        std::wstring text;
        bool bShiftEnter;
    } kShifts[] = { { L"", true }, { L"12", true }, { shiftTab, false }, { L"1" + ctrlShiftHome, false } };
    for (UINT n : { 0u, (UINT)HELD_LCTRL }) {
        for (const auto& c : kShifts) {
            KeyboardSnapshot state = { true, n, false, true };
            Outcome out = Type(kUs, PlanKeys(c.text, c.bShiftEnter, CRecordedLayout(kUs), state), state);
            EXPECT_TRUE(out.bCapsLock) << c.text.size() << " units, held " << n;
            EXPECT_EQ(n, out.nHeld);
        }
    }
}

TEST(KeyPlan, HeldModifiersAreReleasedAndPressedAgain)
{
    // Typed as they come, held keys make shortcuts of the text.
    EXPECT_EQ("[C+c][C+v]", Type(kUs, Plan(kUs, "cv", Clean()), { false, HELD_LCTRL, false, false }).text);
    EXPECT_EQ("[A+f]", Type(kUs, Plan(kUs, "f", Clean()), { false, HELD_LALT, false, false }).text);
    EXPECT_EQ("AB", Type(kUs, Plan(kUs, "ab", Clean()), { false, HELD_RSHIFT, false, false }).text);
    const UINT held[] = { HELD_LSHIFT, HELD_RSHIFT, HELD_LCTRL, HELD_RCTRL, HELD_LALT, HELD_RALT,
                          HELD_LWIN, HELD_RWIN, HELD_LALT | HELD_LSHIFT, HELD_LCTRL | HELD_LALT,
                          HELD_RCTRL | HELD_LWIN | HELD_RSHIFT };
    for (UINT n : held) {
        // Typed() also checks that the same keys are down afterwards and that
        // letting go of Alt or Win then opens no menu.
        EXPECT_EQ("cV@1\n", Typed(kUs, "cV@1", { false, n, false, false }, true))
            << "held " << n;
        EXPECT_EQ("x~n", Typed(kGerman, "x~n", { true, n, false, false })) << "held " << n;
    }
    // A lone Alt release is masked by a Ctrl tap, before and after.
    EXPECT_EQ("+A2:1D -A2:1D -A4:38 +31:02 -31:02 +A4:38 +A2:1D -A2:1D",
              Events(Plan(kUs, "1", { false, HELD_LALT, false, false })));
}

TEST(KeyPlan, PasteShortcutIsCtrlVWhateverTheKeyboardState)
{
    const KeyboardSnapshot states[] = {
        Clean(), { true, 0, false, false }, { true, HELD_LSHIFT, false, true },
        { false, HELD_LALT | HELD_RCTRL, false, false },
        { true, HELD_LWIN | HELD_RSHIFT, true, false },
    };
    for (const KeyboardSnapshot& state : states) {
        KeyPlan plan = PlanShortcut('V', CRecordedLayout(kFrench), state);
        Outcome out = Type(kFrench, plan, state);
        EXPECT_EQ("[C+v]", out.text) << "held " << state.nHeld;
        EXPECT_EQ(state.bCapsLock, out.bCapsLock) << "held " << state.nHeld;
        EXPECT_EQ(state.nHeld, out.nHeld);
        EXPECT_EQ(0u, out.nArmed);
    }
    // With nothing held and no Shift to undo, Caps Lock is left alone.
    EXPECT_EQ("+C +56:2F -56:2F -C", Events(PlanShortcut('V', CRecordedLayout(kFrench), states[1])));
}

TEST(KeyPlan, DeadKeysGoAsUnicodeInput)
{
    const char* text = "x^e ~n `a";
    // Typed as keys, each dead key would combine with the next character.
    Layout blind = kFrench;
    blind.pszDead = "";
    EXPECT_EQ("x[^e] [~n] [`a]", Type(kFrench, Plan(blind, text, Clean()), Clean()).text);
    EXPECT_EQ(text, Typed(kFrench, text));
    EXPECT_EQ(text, Typed(kGerman, text));
    EXPECT_EQ(text, Typed(kUs, text));
    EXPECT_EQ("u+5E u-5E", Events(Plan(kFrench, "^", Clean())));
    // The layout looked up is the one given: z is another key on German.
    EXPECT_NE(Events(Plan(kUs, "z", Clean())), Events(Plan(kGerman, "z", Clean())));
}

TEST(KeyPlan, ControlBytesAreNeverKeys)
{
    // Windows' US layout has keys for all of them.
    CRecordedLayout us(kUs);
    EXPECT_EQ(0x0008, us.KeyScan(0x08));
    EXPECT_EQ(0x001B, us.KeyScan(0x1B));
    EXPECT_EQ(0x02DD, us.KeyScan(0x1D));
    EXPECT_EQ(0x0336, us.KeyScan(0x1E));
    EXPECT_EQ(0x0208, us.KeyScan(0x7F));
    EXPECT_EQ(0x0003, us.KeyScan(0x03));
    // A GS1 code's separators arrive as characters; backspace and DEL are
    // dropped, which edit controls would act on even as characters.
    EXPECT_EQ("ab\x1b" "cd\x1d" "e\x1e" "f\x01", Typed(kUs, "ab\x1b" "c\x08" "d\x1d" "e\x1e" "f\x7f\x01"));
    EXPECT_EQ("u+1D u-1D", Events(Plan(kUs, "\x1d", Clean())));
    EXPECT_EQ("", Events(Plan(kUs, "\x08\x7f", { true, HELD_LCTRL, false, false })));
}

TEST(KeyPlan, AnInputMethodLeftOpenGetsUnicodeInput)
{
    EXPECT_EQ("u+61 u-61 +R -R u+7E u-7E", Events(Plan(kUs, "a\n~", { false, 0, true, false })));
}

namespace {

// The window the code is meant for stays in front for the first g_nInFront
// looks of the guard, another comes after.
const HWND kFront = (HWND)(UINT_PTR)0x1010;
int g_nLooks, g_nInFront;

HWND WINAPI FakeForeground()
{
    return ++g_nLooks <= g_nInFront ? kFront : (HWND)(UINT_PTR)0x2020;
}

CTypingGuard FrontFor(int nLooks, HANDLE hCancel = NULL)
{
    g_nLooks = 0;
    g_nInFront = nLooks;
    return CTypingGuard(hCancel, kFront, FakeForeground);
}

}  // namespace

TEST(SendPlan, OneBatchPerDecodeUnlessPacedOrVeryLong)
{
    KeyPlan plan = Plan(kUs, "AbC-xyz", { true, HELD_LALT, false, false }, true);
    g_batches.clear();
    CTypingGuard once = FrontFor(1);
    EXPECT_EQ(TYPING_DONE, SendPlan(plan, 0, once, NULL, RecordBatch));
    ASSERT_EQ(1u, g_batches.size());
    EXPECT_EQ(Events(plan), Joined());
    EXPECT_EQ(7u, once.Typed());   // the Enter suffix is no character of the text

    // Paced: one batch a character, the state changes going with the first
    // and the last, the front looked at before each.
    g_batches.clear();
    CTypingGuard paced = FrontFor(100);
    EXPECT_EQ(TYPING_DONE, SendPlan(plan, 1, paced, NULL, RecordBatch));
    EXPECT_EQ(8u, g_batches.size());
    EXPECT_GE(g_nLooks, 8);
    EXPECT_EQ(Events(plan), Joined());
    EXPECT_EQ("+S +R -R -S +14:3A -14:3A +A4:38 +A2:1D -A2:1D", Events(g_batches.back()));

    // Very long: batches of whole characters.
    std::string text(20000, 'a');
    KeyPlan big = Plan(kUs, text, Clean());
    g_batches.clear();
    CTypingGuard any;
    SendPlan(big, 0, any, NULL, RecordBatch);
    EXPECT_EQ(3u, g_batches.size());
    for (const auto& b : g_batches) {
        EXPECT_LE(b.size(), 16384u);
        EXPECT_EQ(0u, b.size() % 2);
    }
    EXPECT_EQ(Events(big), Joined());
    EXPECT_EQ(20000u, any.Typed());
}

UINT WINAPI RefuseAfterTwo(UINT cInputs, LPINPUT pInputs, int cb)
{
    RecordBatch(cInputs, pInputs, cb);
    return g_batches.size() == 3 ? cInputs - 1 : cInputs;
}

TEST(SendPlan, CombinationsAndPausesFromSettingsTexts)
{
    std::wstring text;
    AppendKey(text, 'A', KEYMOD_CTRL);
    text += L"b";
    AppendPause(text, 300);
    text += L"c";
    AppendKey(text, VK_TAB, KEYMOD_SHIFT);
    const KeyboardSnapshot state = { true, HELD_LSHIFT, false, false };   // Caps Lock on, Shift held
    KeyPlan plan = PlanKeys(text, false, CRecordedLayout(kUs), state);
    Outcome out = Type(kUs, plan, state);
    // Ctrl+A is a shortcut, without the held Shift; the letters keep their case.
    EXPECT_EQ("[C+a]bc", out.text.substr(0, 7));
    EXPECT_EQ(state.nHeld, out.nHeld);
    EXPECT_TRUE(out.bCapsLock);
    EXPECT_NE(std::string::npos, Events(plan).find("+S +T -T -S"));

    // The pause splits the events there and only there, and waits.
    g_batches.clear();
    CTypingGuard any;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TYPING_DONE, SendPlan(plan, 0, any, NULL, RecordBatch));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(ms.count(), 295);
    ASSERT_EQ(2u, g_batches.size());
    EXPECT_EQ(Events(plan), Joined());
    EXPECT_EQ(4u, any.Typed());
    // Another window in front at the pause: the typing stops there, at once,
    // and the keyboard state is put back.
    g_batches.clear();
    CTypingGuard front = FrontFor(1);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(TYPING_FRONT_CHANGED, SendPlan(plan, 0, front, NULL, RecordBatch));
    ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(ms.count(), 295);
    EXPECT_EQ(2u, front.Typed());
    ASSERT_EQ(2u, g_batches.size());
    KeyPlan sent;
    for (const auto& b : g_batches)
        sent.inputs.insert(sent.inputs.end(), b.begin(), b.end());
    Outcome stopped = Type(kUs, sent, state);
    EXPECT_EQ("[C+a]b", stopped.text);
    EXPECT_EQ(state.nHeld, stopped.nHeld);
    EXPECT_TRUE(stopped.bCapsLock);
}

TEST(SendPlan, AStoppedTypingStillPutsTheKeyboardBack)
{
    KeyPlan plan = Plan(kUs, "abcd", { true, HELD_LSHIFT, false, false });
    const std::string tail = "+14:3A -14:3A +A0:2A";
    // Another window in front before the second character: the first, then
    // the tail, and no key of the code after.
    g_batches.clear();
    CTypingGuard front = FrontFor(1);
    EXPECT_EQ(TYPING_FRONT_CHANGED, SendPlan(plan, 50, front, NULL, RecordBatch));
    ASSERT_EQ(2u, g_batches.size());
    EXPECT_EQ(tail, Events(g_batches[1]));
    EXPECT_EQ(1u, front.Typed());
    // Cancelled, or another window in front, before anything went: nothing
    // goes, nothing to put back.
    HANDLE hCancel = CreateEventA(NULL, TRUE, TRUE, NULL);
    for (int nInFront : { 0, 100 }) {
        g_batches.clear();
        CTypingGuard stop = FrontFor(nInFront, nInFront ? hCancel : NULL);
        EXPECT_EQ(nInFront ? TYPING_CANCELLED : TYPING_FRONT_CHANGED, SendPlan(plan, 50, stop, NULL, RecordBatch));
        EXPECT_TRUE(g_batches.empty());
    }
    CloseHandle(hCancel);
    // Events not all taken: a failure, and the tail goes after it.
    g_batches.clear();
    CTypingGuard any;
    EXPECT_EQ(TYPING_FAILED, SendPlan(plan, 1, any, NULL, RefuseAfterTwo));
    ASSERT_EQ(4u, g_batches.size());
    EXPECT_EQ(tail, Events(g_batches[3]));
    // The target window gone before anything went: nothing to put back.
    g_batches.clear();
    EXPECT_EQ(TYPING_FAILED, SendPlan(plan, 0, any, (HWND)(UINT_PTR)0x7FFFFFF0, RecordBatch));
    EXPECT_TRUE(g_batches.empty());
}

TEST(ImeSwitch, AnOpenInputMethodIsClosedForTheTypingAndPutBack)
{
    HWND hwnd = RecordedImeWindow();
    ASSERT_TRUE(hwnd);
    g_ime = { true, false, 0x0009, {} };   // native (Chinese) mode, full shape
    CImeSwitch ime;
    EXPECT_TRUE(ime.Begin(hwnd));
    EXPECT_FALSE(g_ime.bOpen);
    ime.End();
    EXPECT_EQ(std::vector<std::string>({ "open?", "mode?", "open=0", "open?", "open=1", "mode=9" }),
              g_ime.log);
    EXPECT_TRUE(g_ime.bOpen);

    // Closed already, or none at all: nothing changes.
    g_ime = { false, false, 0x0009, {} };
    CImeSwitch closed;
    EXPECT_TRUE(closed.Begin(hwnd));
    closed.End();
    EXPECT_EQ(std::vector<std::string>({ "open?" }), g_ime.log);
    CImeSwitch none;
    EXPECT_TRUE(none.Begin(NULL));
    none.End();

    // One that stays open is reported, so the text goes as Unicode input.
    g_ime = { true, true, 0x0001, {} };
    CImeSwitch stubborn;
    EXPECT_FALSE(stubborn.Begin(hwnd));
    stubborn.End();
    EXPECT_TRUE(g_ime.bOpen);
    EXPECT_EQ(1, g_ime.lConversion);
    DestroyWindow(hwnd);
}

TEST(ShapeDecode, NoControlCharacterActsOnTheForm)
{
    COutputOptions options;
    options.controls[0].bKeep = false;   // GS={TAB}
    options.controls[0].strWith = L"\t";
    options.controls[1].bKeep = false;   // RS=
    const struct {
        const char* pszDecode;
        const wchar_t* pszTyped;
    } kCases[] = {
        // Paste, undo, copy, cut, backspace, DEL, Esc and the rest: left out.
        { "a\x16" "b\x1A\x03\x18\x08" "c\x7F\x01\x1B" "d", L"abcd" },
        // Line breaks one Enter each, tabs kept, GS and RS as configured,
        // EOT kept.
        { "1\r\n2\n3\r4\t5", L"1\r2\r3\r4\t5" },
        { "01\x1D" "17\x1E" "x\x04", L"01\t17x\x04" },
        { "", L"" },
    };
    for (const auto& c : kCases) {
        ShapedDecode shaped = ShapeDecode(c.pszDecode, options, true);
        EXPECT_EQ(c.pszTyped, shaped.strTyped) << c.pszDecode;
        EXPECT_STREQ(c.pszDecode, shaped.strLogged);   // the log keeps the decode as it came
        EXPECT_TRUE(shaped.bShiftEnter);
    }
    EXPECT_EQ(L"", ShapeDecode(NULL, options, false).strTyped);
    // A noncharacter in a code would stand for a key: left out.
    EXPECT_EQ(L"ab", ShapeDecode("a\xEF\xB7\x90" "b", options, false).strTyped);
}

TEST(ShapeDecode, PrefixAndSuffixGoAroundTheCodeInOneText)
{
    COutputOptions options;
    options.strPrefix = L"\x7F16\x53F7:";   // 编号: (a Chinese prefix around an ASCII code)
    options.strSuffix = L"\x16\t";          // a control character in a setting is left out too
    options.bSuffix = true;
    ShapedDecode shaped = ShapeDecode("A-1", options, true);
    EXPECT_EQ(L"\x7F16\x53F7:A-1\t", shaped.strTyped);
    EXPECT_TRUE(NeedsCharacterMode(shaped.strTyped));   // one mode for the whole text
    EXPECT_FALSE(shaped.bShiftEnter);                   // the suffix takes the Enter's place
    EXPECT_EQ(L"A-1", shaped.strCode);
}

TEST(ShapeDecode, ReadsUtf8OrTheCodePage)
{
    COutputOptions options;
    // UTF-8, with its byte-order mark dropped.
    EXPECT_EQ(L"\x4E2D\xE9", ShapeDecode("\xEF\xBB\xBF\xE4\xB8\xAD\xC3\xA9", options, false).strCode);
    // GBK: in the code page where it is the code page.
    if (GetACP() == 936)
        EXPECT_EQ(L"\x4E2D", ShapeDecode("\xD6\xD0", options, false).strCode);
    else
        EXPECT_EQ(L"\xD6\xD0", ShapeDecode("\xD6\xD0", options, false).strCode);
    // Under a UTF-8 code page, bytes that are not UTF-8 are read in the code
    // page of the user's language (the tests' locale gives 936 or 1252).
    EXPECT_EQ(ShapeDecode("\xD6\xD0", options, false).strCode,
              ShapeDecode("\xD6\xD0", options, false, CP_UTF8).strCode);
}

namespace {

DWORD g_dwNow;
DWORD WINAPI FakeClock() { return g_dwNow; }

}  // namespace

TEST(RepeatFilter, SameCodeWithinTheWindowAfterItWasTyped)
{
    CRepeatFilter filter(FakeClock);
    g_dwNow = 0xFFFFFF00;   // the tick count wraps inside the window
    EXPECT_FALSE(filter.IsRepeat(L"A", 2000));
    filter.NoteTyped();
    g_dwNow += 300;
    EXPECT_TRUE(filter.IsRepeat(L"A", 2000));
    g_dwNow += 1699;
    EXPECT_TRUE(filter.IsRepeat(L"A", 2000));   // repeats do not move the window
    g_dwNow += 1;
    EXPECT_FALSE(filter.IsRepeat(L"A", 2000));
    filter.NoteTyped();
    g_dwNow += 10;
    EXPECT_FALSE(filter.IsRepeat(L"A", 0));      // 0: off
    EXPECT_FALSE(filter.IsRepeat(L"B", 2000));   // a different code in between
    filter.NoteTyped();
    EXPECT_FALSE(filter.IsRepeat(L"A", 2000));
}

TEST(RepeatFilter, ACodeThatWasNotTypedIsNoRepeat)
{
    CRepeatFilter filter(FakeClock);
    g_dwNow = 5000;
    EXPECT_FALSE(filter.IsRepeat(L"A", 2000));
    g_dwNow += 300;
    EXPECT_FALSE(filter.IsRepeat(L"A", 2000));
    filter.NoteTyped();
    EXPECT_TRUE(filter.IsRepeat(L"A", 2000));
    EXPECT_FALSE(filter.IsRepeat(L"", 2000));
}

// Each job's end goes to the target it was started with, even when the next
// job, for another target, is handed over the moment the last one is done.
TEST(Typist, EachJobsEndGoesToItsOwnTarget)
{
    HWND ahTarget[2];
    for (HWND& hTarget : ahTarget)
        hTarget = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    const int kJobs = 2000;
    {
        CTypist typist;
        for (int i = 0; i < kJobs; ++i) {
            while (!typist.Done())
                Sleep(0);
            ASSERT_TRUE(typist.Start(TypingJob(), ahTarget[i % 2], WM_APP + i % 2));
        }
    }   // the thread has ended: every end is posted
    for (int n = 0; n < 2; ++n) {
        int anGot[2] = {};
        for (MSG msg; PeekMessageA(&msg, ahTarget[n], WM_APP, WM_APP + 1, PM_REMOVE);)
            ++anGot[msg.message - WM_APP];
        EXPECT_EQ(kJobs / 2, anGot[n]) << n;
        EXPECT_EQ(0, anGot[1 - n]) << n;
        DestroyWindow(ahTarget[n]);
    }
}
