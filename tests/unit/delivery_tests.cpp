#include <afxwin.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "keystrokes.h"
#include "output.h"
#include "utf8.h"

namespace {

bool Utf8(const std::string& s)
{
    return IsUtf8(s.data(), (int)s.size());
}

// Keyboard layouts as OemKeyScan and MapVirtualKey(scan, 1) describe them:
// character -> (shift state << 16 | scan code), scan code -> virtual key.
struct Layout {
    std::map<WORD, DWORD> scan;
    std::map<UINT, UINT> vk;
};

// Recorded under Wine with the US layout; tab, CR, LF and Esc have no key.
const Layout kUs = {
    { { 'A', 0x0001001E }, { 'b', 0x00000030 }, { '1', 0x00000002 }, { '2', 0x00000003 }, { '@', 0x00010003 },
      { ' ', 0x00000039 } },
    { { 0x1E, 'A' }, { 0x30, 'B' }, { 0x02, '1' }, { 0x03, '2' }, { 0x39, VK_SPACE } },
};

// German: '@' is AltGr+Q (as measured under Wine), the braces AltGr+7 and
// AltGr+0, the backslash AltGr+sharp s; y and z trade places.
const Layout kGerman = {
    { { '@', 0x00060010 }, { '{', 0x00060008 }, { '}', 0x0006000B }, { '\\', 0x0006000C },
      { 'y', 0x0000002C }, { 'z', 0x00000015 } },
    { { 0x10, 'Q' }, { 0x08, '7' }, { 0x0B, '0' }, { 0x0C, VK_OEM_4 }, { 0x2C, 'Y' },
      { 0x15, 'Z' } },
};

const Layout* g_pLayout;

DWORD WINAPI RecordedScan(WORD ch)
{
    auto it = g_pLayout->scan.find(ch);
    return it == g_pLayout->scan.end() ? 0xFFFFFFFF : it->second;
}

UINT WINAPI RecordedMap(UINT code, UINT type)
{
    auto it = g_pLayout->vk.find(code);
    return type == 1 && it != g_pLayout->vk.end() ? it->second : 0;
}

// The plan as text: "+X" key down, "-X" key up, "u+X"/"u-X" Unicode input,
// with S, C, A for Shift, Ctrl and Alt, R for Return, T for Tab.
std::string Plan(const Layout& layout, const char* text, bool bEnter = false)
{
    g_pLayout = &layout;
    std::string out;
    for (const KeyStroke& k : PlanKeyStrokes(text, bEnter, RecordedScan, RecordedMap)) {
        if (!out.empty())
            out += ' ';
        if (k.bVk == 0) {
            out += k.bUp ? "u-" : "u+";
            out += (char)k.wch;
            continue;
        }
        out += k.bUp ? '-' : '+';
        switch (k.bVk) {
        case VK_SHIFT:   out += 'S'; break;
        case VK_CONTROL: out += 'C'; break;
        case VK_MENU:    out += 'A'; break;
        case VK_RETURN:  out += 'R'; break;
        case VK_TAB:     out += 'T'; break;
        case VK_OEM_4:   out += "OEM4"; break;
        default:         out += (char)k.bVk; break;
        }
    }
    return out;
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

TEST(KeyPlan, ModeFollowsTheBytes)
{
    EXPECT_FALSE(NeedsCharacterMode(""));
    EXPECT_FALSE(NeedsCharacterMode("ABC\t1\r\n"));
    EXPECT_TRUE(NeedsCharacterMode("A\xD6\xD0"));
}

TEST(KeyPlan, ShiftOnlyWhereTheLayoutNeedsIt)
{
    EXPECT_EQ("+S +A -A -S +B -B +1 -1", Plan(kUs, "Ab1"));
    EXPECT_EQ("+S +2 -2 -S", Plan(kUs, "@"));
}

TEST(KeyPlan, AltGrCharactersGetCtrlAndAlt)
{
    EXPECT_EQ("+C +A +Q -Q -A -C", Plan(kGerman, "@"));
    EXPECT_EQ("+C +A +7 -7 -A -C +C +A +0 -0 -A -C +C +A +OEM4 -OEM4 -A -C",
              Plan(kGerman, "{}\\"));
    EXPECT_EQ("+Z -Z +Y -Y", Plan(kGerman, "zy"));
}

TEST(KeyPlan, TabsAndLineBreaksAreKeys)
{
    EXPECT_EQ("+1 -1 +T -T +2 -2", Plan(kUs, "1\t2"));
    EXPECT_EQ("+1 -1 +R -R +2 -2 +R -R +R -R", Plan(kUs, "1\r\n2\n\r"));
    EXPECT_EQ("+R -R +R -R", Plan(kUs, "\n\n"));
}

TEST(KeyPlan, CharactersWithoutAKeyGoAsUnicode)
{
    EXPECT_EQ("+1 -1 u+\x1b u-\x1b +2 -2", Plan(kUs, "1\x1b" "2"));
    EXPECT_EQ("u+~ u-~", Plan(kUs, "~"));   // no key in this recorded table
}

TEST(KeyPlan, EnterSuffixIsShiftEnter)
{
    EXPECT_EQ("+1 -1 +S +R -R -S", Plan(kUs, "1", true));
    EXPECT_EQ("+S +R -R -S", Plan(kUs, "", true));
    EXPECT_EQ("", Plan(kUs, "", false));
}

TEST(ControlChars, KeptDroppedOrReplaced)
{
    CControlOutput controls[kControlCount] = {
        { '\x1D', false, "|" }, { '\x1E', false, "" }, { '\x04', true, "x" } };
    EXPECT_STREQ("01|10\x04", ReplaceControlChars("01\x1D" "1\x1E" "0\x04", controls, 3));
    EXPECT_STREQ("\xD6\xD0|", ReplaceControlChars("\xD6\xD0\x1D", controls, 3));
    EXPECT_STREQ("a\x1D", ReplaceControlChars("a\x1D", controls, 0));
}

namespace {

DWORD g_dwNow;
DWORD WINAPI FakeClock() { return g_dwNow; }

}  // namespace

TEST(RepeatFilter, SameCodeWithinTheWindowAfterItWasTyped)
{
    CRepeatFilter filter(FakeClock);
    g_dwNow = 0xFFFFFF00;   // the tick count wraps inside the window
    EXPECT_FALSE(filter.IsRepeat("A", 2000));
    filter.NoteTyped();
    g_dwNow += 300;
    EXPECT_TRUE(filter.IsRepeat("A", 2000));
    g_dwNow += 1699;
    EXPECT_TRUE(filter.IsRepeat("A", 2000));   // repeats do not move the window
    g_dwNow += 1;
    EXPECT_FALSE(filter.IsRepeat("A", 2000));
    filter.NoteTyped();
    g_dwNow += 10;
    EXPECT_FALSE(filter.IsRepeat("A", 0));      // 0: off
    EXPECT_FALSE(filter.IsRepeat("B", 2000));   // a different code in between
    filter.NoteTyped();
    EXPECT_FALSE(filter.IsRepeat("A", 2000));
}

TEST(RepeatFilter, ACodeThatWasNotTypedIsNoRepeat)
{
    CRepeatFilter filter(FakeClock);
    g_dwNow = 5000;
    EXPECT_FALSE(filter.IsRepeat("A", 2000));
    g_dwNow += 300;
    EXPECT_FALSE(filter.IsRepeat("A", 2000));
    filter.NoteTyped();
    EXPECT_TRUE(filter.IsRepeat("A", 2000));
    EXPECT_FALSE(filter.IsRepeat("", 2000));
}
