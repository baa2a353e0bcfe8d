// The one walk over a typed text, and its readers agreeing with it: what the
// text holds, what key mode plans, what character mode posts and what a
// rule's output becomes, for texts with surrogates cut in half and markers
// right after them.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "charmode.h"
#include "keystrokes.h"
#include "shape.h"
#include "typedtext.h"

namespace {

std::wstring Key(BYTE bVk, BYTE bMods)
{
    std::wstring text;
    AppendKey(text, bVk, bMods);
    return text;
}

std::wstring Pause(DWORD dwMs)
{
    std::wstring text;
    AppendPause(text, dwMs);
    return text;
}

void Add(std::string& out, const char* pszFormat, unsigned n)
{
    char buf[32];
    snprintf(buf, sizeof(buf), pszFormat, n);
    out += (out.empty() ? "" : " ") + std::string(buf);
}

// The items: "c41" a character by its code point, "k2:41" a key combination
// (modifiers:virtual key), "p13" a pause.
std::string Items(const std::wstring& text)
{
    std::string out;
    CTypedWalk walk(text);
    for (TypedItem item; walk.Next(&item);) {
        if (item.kind == TypedItem::kKey) {
            Add(out, "k%X", item.bMods << 8 | item.bVk);
        } else if (item.kind == TypedItem::kPause) {
            Add(out, "p%u", item.dwMs);
        } else {
            unsigned cp = item.awch[0];
            if (item.nUnits == 2)
                cp = 0x10000 + ((cp - 0xD800) << 10) + (item.awch[1] - 0xDC00);
            Add(out, "c%X", cp);
        }
    }
    return out;
}

// Every character a key of its own, with nothing else on the layout.
class CPlainLayout : public CKeyLayout {
public:
    SHORT KeyScan(unsigned char ch) const override { return ch >= 'a' && ch <= 'z' ? ch - 32 : -1; }
    WORD ScanCode(BYTE) const override { return 1; }
    bool IsDeadKey(unsigned char, SHORT) const override { return false; }
};

// Key mode in the same terms: "u" and the units of Unicode input, "k" and
// the virtual key of a key press (modifiers left out), "p" a pause.
std::string Keys(const std::wstring& text)
{
    KeyPlan plan = PlanKeys(text, false, CPlainLayout(), KeyboardSnapshot());
    std::string out;
    size_t nBreak = 0;
    for (size_t i = 0; i < plan.inputs.size(); ++i) {
        const KEYBDINPUT& k = plan.inputs[i].ki;
        bool bModifier = k.wVk == VK_SHIFT || k.wVk == VK_CONTROL || k.wVk == VK_MENU;
        if (!(k.dwFlags & KEYEVENTF_KEYUP) && !bModifier)
            Add(out, k.dwFlags & KEYEVENTF_UNICODE ? "u%X" : "k%X", k.dwFlags & KEYEVENTF_UNICODE ? k.wScan : k.wVk);
        if (nBreak < plan.breaks.size() && i + 1 == plan.breaks[nBreak]) {
            if (plan.pauses[nBreak])
                Add(out, "p%u", plan.pauses[nBreak]);
            ++nBreak;
        }
    }
    return out;
}

// Character mode in the same terms: "b" and a posted byte, "u" and a
// posted UTF-16 unit, "k" and a posted key, "p" a pause.
std::string Posts(const std::wstring& text)
{
    std::string out;
    for (const CharStep& step : PlanCharacterMode(text, false, 1252)) {
        if (step.kind == CharStep::kPause)
            Add(out, "p%u", step.dwMs);
        else if (step.kind == CharStep::kKey)
            Add(out, "k%X", step.bVk);
        for (char b : step.strBytes)
            Add(out, "b%X", (unsigned char)b);
        for (wchar_t w : step.strWide)
            Add(out, "u%X", w);
    }
    return out;
}

}  // namespace

TEST(TypedWalk, EveryReaderSeesTheSameItems)
{
    const std::wstring kHigh(1, (wchar_t)0xD83D), kLow(1, (wchar_t)0xDE00);
    const struct {
        std::wstring text;
        const char* pszItems;
        const char* pszKeys;
        const char* pszPosts;
    } kCases[] = {
        // A surrogate pair is one character.
        { L"a" + kHigh + kLow, "c61 c1F600", "k41 uD83D uDE00", "b61 uD83D uDE00" },
        // A half without the other is U+FFFD, alone or at the end.
        { kLow + L"a" + kHigh, "cFFFD c61 cFFFD", "uFFFD k41 uFFFD", "uFFFD b61 uFFFD" },
        // A marker right after a lone half keeps its argument: 13 ms is no
        // Enter (13 is CR), 9 ms no Tab, a key combination is no character.
        { kHigh + Pause(13) + L"a", "cFFFD p13 c61", "uFFFD p13 k41", "uFFFD p13 b61" },
        { kHigh + Pause(9) + kLow, "cFFFD p9 cFFFD", "uFFFD p9 uFFFD", "uFFFD p9 uFFFD" },
        { kHigh + Key(VK_TAB, KEYMOD_SHIFT) + L"a", "cFFFD k109 c61", "uFFFD k9 k41", "uFFFD b61" },
        // CR, LF and CR LF are one Enter each; a marker cut off at the end is nothing.
        { L"a\r\nb\nc\r" + std::wstring(1, kPauseMarker), "c61 cD c62 cD c63 cD",
          "k41 kD k42 kD k43 kD", "b61 kD b62 kD b63 kD" },
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(c.pszItems, Items(c.text)) << c.pszItems;
        EXPECT_EQ(c.pszKeys, Keys(c.text)) << c.pszItems;
        EXPECT_EQ(c.pszPosts, Posts(c.text)) << c.pszItems;
    }
    EXPECT_EQ(3u, CountTyped(kHigh + Pause(13) + L"a" + Key('A', KEYMOD_CTRL)));
    EXPECT_TRUE(HasKeyCombination(kHigh + Key('A', KEYMOD_CTRL)));
    EXPECT_FALSE(HasKeyCombination(kHigh + Pause(VK_TAB)));
    EXPECT_FALSE(NeedsCharacterMode(Pause(0x4E2D) + L"a"));
}

// A rule's group may cut an emoji in half: what is typed holds U+FFFD for
// each half, and the pause between them stays a pause.
TEST(TypedWalk, AnEmojiSplitByARuleIsTypedAsTwoReplacementCharacters)
{
    CRuleSetting rule;
    rule.nNumber = 1;
    rule.strMatch = "(.)(.*)";
    rule.bOutput = true;
    rule.strOutput = "$1{DELAY 13}$2";
    CRules rules;
    rules.Load({ rule });
    ShapedDecode shaped = ShapeDecode("\xF0\x9F\x98\x80x", COutputOptions(), false, 1252, &rules);
    EXPECT_EQ(1, shaped.nRule);
    EXPECT_EQ(L"\xFFFD" + Pause(13) + L"\xFFFDx", shaped.strTyped);
    EXPECT_EQ("uFFFD p13 uFFFD k58", Keys(shaped.strTyped));
}
