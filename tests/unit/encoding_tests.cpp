// Reading decoded bytes as UTF-8 or as text in the code page, converting
// them, and typing them in character mode.
#include <afxwin.h>
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "charmode.h"
#include "utf8.h"

namespace {

bool Utf8Under(UINT nCodePage, const std::string& s)
{
    return TakeAsUtf8(s.data(), (int)s.size(), nCodePage);
}

std::string Encode(UINT nCodePage, const std::wstring& w)
{
    std::string s(w.size() * 4, '\0');
    s.resize(WideCharToMultiByte(nCodePage, 0, w.data(), (int)w.size(), &s[0], (int)s.size(),
                                 NULL, NULL));
    return s;
}

std::string ToUtf8(const std::wstring& w)
{
    return Encode(CP_UTF8, w);
}

// The pattern with every # replaced.
std::wstring Fill(const wchar_t* pattern, const std::wstring& with)
{
    std::wstring w(pattern);
    for (size_t p; (p = w.find(L'#')) != std::wstring::npos;)
        w.replace(p, 1, with);
    return w;
}

// Every GB2312 character (symbol rows and both levels of ideographs) as GBK.
std::vector<std::string> Gb2312()
{
    std::vector<std::string> chars;
    for (int lead = 0xA1; lead <= 0xF7; ++lead) {
        if (lead > 0xA9 && lead < 0xB0)
            continue;
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            char b[2] = { (char)lead, (char)trail };
            WCHAR w;
            if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, b, 2, &w, 1) == 1 &&
                !(w >= 0xE000 && w <= 0xF8FF))
                chars.push_back(std::string(b, 2));
        }
    }
    return chars;
}

// Words of n units: each unit once first, with partners from a fixed
// pseudo-random sequence.
template <typename S>
std::vector<S> Words(const std::vector<S>& units, int n, int nPartners)
{
    std::vector<S> words;
    unsigned seed = 12345;
    for (const S& unit : units) {
        for (int k = 0; k < (n == 1 ? 1 : nPartners); ++k) {
            S word = unit;
            for (int i = 1; i < n; ++i) {
                seed = seed * 1103515245u + 12345u;
                word += units[(seed >> 8) % units.size()];
            }
            words.push_back(word);
        }
    }
    return words;
}

struct Count {
    int nWords = 0, nValidBoth = 0, nMisread = 0, nMisreadBefore = 0;
    std::vector<std::string> examples;
};

// Counts the words read the wrong way under code page 936, and how many the
// strict UTF-8 test alone (the reading before this decision) got wrong.
Count Measure(const std::vector<std::string>& words, bool bUtf8)
{
    Count c;
    for (const std::string& w : words) {
        bool bValidUtf8 = IsUtf8(w.data(), (int)w.size());
        bool bValidGbk = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, w.data(), (int)w.size(),
                                             NULL, 0) > 0;
        ++c.nWords;
        c.nValidBoth += bValidUtf8 && bValidGbk;
        c.nMisreadBefore += bValidUtf8 != bUtf8;
        if (Utf8Under(936, w) != bUtf8) {
            ++c.nMisread;
            if (c.examples.size() < 8)
                c.examples.push_back(w);
        }
    }
    return c;
}

void Print(const char* label, const Count& c)
{
    printf("%-34s %7d words, %6d valid both ways, misread %4d (strict UTF-8 test alone: %d)",
           label, c.nWords, c.nValidBoth, c.nMisread, c.nMisreadBefore);
    for (const std::string& w : c.examples) {
        printf(" [");
        for (unsigned char b : w)
            printf("%02X", b);
        printf("]");
    }
    printf("\n");
}

std::vector<std::string> Utf8Of(const std::vector<std::wstring>& texts)
{
    std::vector<std::string> out;
    for (const std::wstring& t : texts)
        out.push_back(ToUtf8(t));
    return out;
}

std::vector<std::wstring> Range(WCHAR first, WCHAR last, bool (*keep)(WCHAR) = NULL)
{
    std::vector<std::wstring> out;
    for (UINT c = first; c <= last; ++c) {
        if (!keep || keep((WCHAR)c))
            out.push_back(std::wstring(1, (WCHAR)c));
    }
    return out;
}

bool IsHanzi(WCHAR w)
{
    char b[4];
    BOOL bLost = FALSE;
    return w >= 0x4E00 && WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &w, 1, b, 4, NULL,
                                              &bLost) == 2 &&
           !bLost && (unsigned char)b[0] >= 0xB0 && (unsigned char)b[1] >= 0xA1;
}

bool IsCommonHangul(WCHAR w)
{
    char b[4];
    BOOL bLost = FALSE;
    return WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, &w, 1, b, 4, NULL, &bLost) == 2 &&
           !bLost && (unsigned char)b[0] >= 0xA1 && (unsigned char)b[1] >= 0xA1;
}

bool IsLatinLetter(WCHAR w)
{
    return IsCharAlphaW(w) && w != 0xD7 && w != 0xF7;
}

}  // namespace

TEST(TakeAsUtf8, ShortGbkStaysGbkUnderADoubleByteCodePage)
{
    EXPECT_FALSE(Utf8Under(936, "\xCD\xAC\xD1\xA7"));          // 同学
    EXPECT_FALSE(Utf8Under(936, "\xD2\xBB"));                  // 一
    EXPECT_FALSE(Utf8Under(936, "\xCA\xB1\xBC\xE4"));          // 时间
    EXPECT_FALSE(Utf8Under(936, "\xD0\xA1"));                  // 小, Cyrillic С as UTF-8
    EXPECT_FALSE(Utf8Under(936, "ABC"));                       // ASCII: nothing to convert
    EXPECT_FALSE(Utf8Under(936, "1\xC2\xA5"));                 // 1楼, not 1¥
    EXPECT_FALSE(Utf8Under(936, "5\xC2\xB7"));                 // 5路, not 5·
}

TEST(TakeAsUtf8, Utf8StaysUtf8UnderADoubleByteCodePage)
{
    EXPECT_TRUE(Utf8Under(936, "\xE5\x90\x8C\xE5\xAD\xA6"));                     // 同学
    EXPECT_TRUE(Utf8Under(936, "Stra\xC3\x9F" "e"));                            // Straße
    EXPECT_TRUE(Utf8Under(936, "caf\xC3\xA9"));                                 // café
    EXPECT_TRUE(Utf8Under(936, "\xC2\xB0" "C \xC2\xB1" "0.5"));                 // °C ±0.5
    EXPECT_TRUE(Utf8Under(936, "\xEF\xBB\xBF\xC3\xA8"));                        // BOM è
    EXPECT_TRUE(Utf8Under(936, ToUtf8(L"\xD55C\xAD6D\xC5B4 \xD83D\xDE00")));   // 한국어 😀
}

TEST(TakeAsUtf8, SingleByteCodePagesTakeAnyWellFormedUtf8)
{
    EXPECT_TRUE(Utf8Under(1252, "\xCD\xAC\xD1\xA7"));
    EXPECT_TRUE(Utf8Under(1252, "caf\xC3\xA9"));
    EXPECT_FALSE(Utf8Under(1252, "\xB3\xCC\xD0\xF2"));
    EXPECT_FALSE(Utf8Under(1252, "caf\xE9"));
}

// Prints how many GBK words are taken for UTF-8 and how many UTF-8 texts for
// GBK under code page 936; the target is none.
TEST(TakeAsUtf8, MeasuredOverGb2312WordsAndUtf8Texts)
{
    std::vector<std::string> gb = Gb2312();
    printf("GB2312: %d characters\n", (int)gb.size());
    Count g1 = Measure(Words(gb, 1, 0), false);
    Count g2 = Measure(Words(gb, 2, 32), false);
    Count g3 = Measure(Words(gb, 3, 32), false);
    Print("GBK, one character", g1);
    Print("GBK, two characters", g2);
    Print("GBK, three characters", g3);

    std::vector<std::string> hanzi = Utf8Of(Range(0x4E00, 0x9FA5, IsHanzi));
    std::vector<std::string> hangul = Utf8Of(Range(0xAC00, 0xD7A3, IsCommonHangul));
    std::vector<std::string> kana = Utf8Of(Range(0x3041, 0x30FA, [](WCHAR w) { return w != 0x30A0; }));
    std::vector<std::wstring> latin = Range(0xC0, 0x24F, IsLatinLetter);
    std::vector<std::string> latinWords;
    for (const std::wstring& l : latin) {
        for (const wchar_t* pattern : { L"#e", L"Ab#", L"#cd ef", L"x#y#z" })
            latinWords.push_back(ToUtf8(Fill(pattern, l)));
    }
    std::vector<std::string> emoji;
    for (UINT c = 0x1F300; c <= 0x1F64F; ++c) {
        WCHAR pair[2] = { (WCHAR)(0xD800 + ((c - 0x10000) >> 10)), (WCHAR)(0xDC00 + (c & 0x3FF)) };
        emoji.push_back(ToUtf8(std::wstring(pair, 2)));
    }
    std::vector<std::string> texts = Utf8Of({
        L"\x4E2D\x6587 Stra\xDF" L"e \x20AC", L"\xD55C\xAD6D\xC5B4 \xD83D\xDE00",
        L"\x65E5\x672C\x8A9E\x306E\x30C6\x30AD\x30B9\x30C8", L"\xC548\xB155\xD558\xC138\xC694",
        L"Cr\xE8me br\xFBl\xE9" L"e", L"S\xE3o Paulo", L"\x141\xF3" L"d\x17A",
        L"P\x159\xED" L"li\x161 \x17El" L"u\x165ou\x10Dk\xFD k\x16F\x148",
        L"Ti\x1EBFng Vi\x1EC7t", L"\xC6r\xF8sk\xF8" L"bing", L"na\xEFve", L"se\xF1or",
        L"M\xFCller Gr\xF6\xDF" L"e", L"\xE0 la carte", L"\xC0 bient\xF4t",
        L"\x5317\x4EAC\x5E02\x6D77\x6DC0\x533A", L"\x8BA2\x5355\x53F7 12345",
        L"\x7E41\x9AD4\x4E2D\x6587", L"\xD83D\xDC4D\xD83C\xDFFD ok" });
    Count u1 = Measure(hanzi, true);
    Count u2 = Measure(Words(hanzi, 2, 32), true);
    Count u3 = Measure(Words(hanzi, 3, 8), true);
    Count uk = Measure(Words(hangul, 2, 32), true);
    Count uj = Measure(Words(kana, 2, 8), true);
    Count ul = Measure(latinWords, true);
    Count ue = Measure(Words(emoji, 2, 4), true);
    Count ut = Measure(texts, true);
    Print("UTF-8 Chinese, one character", u1);
    Print("UTF-8 Chinese, two characters", u2);
    Print("UTF-8 Chinese, three characters", u3);
    Print("UTF-8 Korean, two syllables", uk);
    Print("UTF-8 Japanese kana, two", uj);
    Print("UTF-8 accented Latin in words", ul);
    Print("UTF-8 emoji, two", ue);
    Print("UTF-8 sample texts", ut);

    // What stays ambiguous: an accented letter on its own reads as a GB2312
    // character and is left as such.
    Count alone = Measure(Utf8Of(latin), true);
    Print("UTF-8 accented letter alone", alone);

    for (const Count* c : { &g1, &g2, &u1, &u2, &u3, &uk, &uj, &ul, &ue, &ut })
        EXPECT_EQ(0, c->nMisread);
    // Three GBK characters can be two everyday ideographs in UTF-8 (E7BBB4
    // E8BAAC is 维躬): two such words stay ambiguous.
    EXPECT_LE(g3.nMisread, 2);
}

// Where the readings overlap on a Chinese system: licence plates in GBK (鲁 is
// C2 B3, ³ in UTF-8), and in UTF-8 Latin-1 signs by digits and words, words of
// European languages, Greek and Cyrillic. The target is no misread.
TEST(TakeAsUtf8, MeasuredOverPlatesSignsAndWords)
{
    std::vector<std::string> plates;
    for (wchar_t province : std::wstring(L"京津沪渝冀豫云辽黑湘皖鲁新苏浙赣鄂桂甘晋蒙陕吉闽贵粤青藏川宁琼")) {
        for (wchar_t letter : std::wstring(L"ABCDEFGHJKLMNPQRSTUVWXYZ")) {
            for (const wchar_t* tail : { L"12345", L"8F3K2", L"D0001", L"7Q9Z6" })
                plates.push_back(Encode(936, std::wstring(1, province) + letter + tail));
        }
    }
    std::vector<std::wstring> signs;
    for (const wchar_t* pattern : { L"¥#", L"¥ #", L"£#", L"#¢", L"#°", L"#°C", L"# °C", L"-#°F",
                                    L"#°N", L"±#", L"# ± #", L"±# mm", L"#×#", L"© # ACME",
                                    L"©#", L"ACME®", L"Norza® #", L"#µm", L"# µs", L"#m²",
                                    L"# cm²", L"x²", L"E=mc²", L"#m³", L"#½" }) {
        for (const wchar_t* number : { L"0", L"5", L"25", L"100", L"2.50", L"2024" })
            signs.push_back(Fill(pattern, number));
    }
    Count plate = Measure(plates, false);
    Count sign = Measure(Utf8Of(signs), true);
    Count european = Measure(Utf8Of({
        L"café", L"crème", L"été", L"où", L"ça", L"Noël", L"français", L"garçon", L"élève",
        L"für", L"Straße", L"Ärger", L"schön", L"Grüße", L"Mädchen", L"Öl",
        L"niño", L"año", L"mañana", L"canción", L"él", L"qué", L"pingüino", L"¿Qué?", L"¡Hola!",
        L"ação", L"coração", L"pão", L"você", L"avó",
        L"łódź", L"źdźbło", L"żółć", L"gęś", L"Kraków", L"zażółć", L"są",
        L"čaj", L"řeka", L"ďábel", L"příliš", L"kůň", L"úl",
        L"şeker", L"ığdır", L"çiğ", L"öğün", L"İstanbul", L"Türkçe",
        L"Åsa", L"smørrebrød", L"fjörður", L"þakka", L"árvíztűrő", L"tükörfúrógép",
        L"București", L"știință", L"perché", L"città", L"Tiếng Việt", L"Đà Nẵng" }), true);
    Count scripts = Measure(Utf8Of({
        L"Αθήνα", L"καλημέρα", L"ευχαριστώ", L"και", L"Ελλάδα", L"λόγος", L"Ωμέγα", L"φως",
        L"μια", L"Москва", L"привет", L"спасибо", L"она", L"два", L"мир", L"Київ", L"Беларусь",
        L"България", L"Србија", L"добро", L"нет", L"Санкт-Петербург", L"«Россия»" }), true);
    Print("GBK licence plates", plate);
    Print("UTF-8 signs by digits and words", sign);
    Print("UTF-8 European words", european);
    Print("UTF-8 Greek and Cyrillic words", scripts);
    for (const Count* c : { &plate, &sign, &european, &scripts })
        EXPECT_EQ(0, c->nMisread);
}

// A long text that reads both ways is read to its end (the time it takes is
// in the shaping figures of bench/handlerparts).
TEST(TakeAsUtf8, FourKilobytesThatReadBothWays)
{
    std::string text;
    while (text.size() < 4096)
        text += ToUtf8(L"Crème brûlée 25°C ±0.5 中文 ");
    EXPECT_TRUE(Utf8Under(936, text));
}

TEST(Utf8ToAnsi, PutsTheDefaultCharacterForWhatTheCodePageLacks)
{
    CString text(ToUtf8(L"\xFEFF\x4E2D\x6587 Stra\xDF" L"e \x20AC \xD55C\xAD6D\xC5B4 \xD83D\xDE00x \x3A9\x221E").c_str());
    Utf8ToAnsi(text);
    // The byte-order mark is gone; one default character a UTF-16 unit; Ω
    // and ∞ never become look-alikes.
    if (GetACP() == 936)
        EXPECT_STREQ("\xD6\xD0\xCE\xC4 Stra?e \x80 ??? ??x \xA6\xB8\xA1\xDE", text);
    else
        EXPECT_STREQ("?? Stra\xDF" "e \x80 ??? ??x ??", text);
}

namespace {

// The plan as text: chars "c:..." (bytes as they are), keys "k:T"/"k:R", the
// Enter suffix "e:R", Unicode "u:" with UTF-16 units in hex.
std::string PlanText(const std::wstring& text, bool bEnter, UINT nCodePage = CP_ACP)
{
    std::string out;
    for (const CharStep& s : PlanCharacterMode(text, bEnter, nCodePage)) {
        out += out.empty() ? "" : " ";
        if (s.kind == CharStep::kChars) {
            out += "c:" + s.strBytes;
        } else if (s.kind == CharStep::kKey || s.kind == CharStep::kEnterSuffix) {
            out += s.kind == CharStep::kKey ? "k:" : "e:";
            out += s.bVk == VK_TAB ? "T" : s.bVk == VK_RETURN || s.kind == CharStep::kEnterSuffix ? "R" : "?";
        } else {
            out += "u:";
            for (WCHAR w : s.strWide) {
                char hex[8];
                sprintf(hex, "%04X", w);
                out += hex;
            }
        }
    }
    return out;
}

struct Posted {
    HWND hWnd;
    bool bWide;
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Posted> g_posted;
int g_nRefusals;       // posts refused as over quota before the next succeeds
DWORD g_dwRefusal;

BOOL Record(HWND hWnd, bool bWide, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (g_nRefusals > 0) {
        --g_nRefusals;
        SetLastError(g_dwRefusal);
        return FALSE;
    }
    g_posted.push_back({ hWnd, bWide, uMsg, wParam, lParam });
    return TRUE;
}

BOOL WINAPI RecordA(HWND h, UINT m, WPARAM w, LPARAM l) { return Record(h, false, m, w, l); }
BOOL WINAPI RecordW(HWND h, UINT m, WPARAM w, LPARAM l) { return Record(h, true, m, w, l); }

// The posts as text: "A41" ANSI WM_CHAR, "WD83D" Unicode WM_CHAR, "K0D"
// key down, "U0D" key up.
std::string PostedText()
{
    std::string out;
    for (const Posted& p : g_posted) {
        char item[16];
        sprintf(item, "%s%s%02X", out.empty() ? "" : " ",
                p.uMsg == WM_KEYDOWN ? "K" : p.uMsg == WM_KEYUP ? "U" : p.bWide ? "W" : "A",
                (unsigned)p.wParam);
        out += item;
    }
    return out;
}

}  // namespace

TEST(CharacterMode, CodePageCharactersAsBytesTheOthersAsUtf16TabAndEnterAsKeys)
{
    // 中 is in 936, é in both, 한 in neither: bytes where the code page has
    // them, UTF-16 where it does not; under UTF-8 everything outside ASCII.
    const std::wstring text = L"A\x4E2D\xE9\xD55C\t\xD83D\xDE00\r";
    EXPECT_EQ("c:A\xD6\xD0\xA8\xA6 u:D55C k:T u:D83DDE00 k:R e:R", PlanText(text, true, 936));
    EXPECT_EQ("c:A u:4E2D c:\xE9 u:D55C k:T u:D83DDE00 k:R", PlanText(text, false, 1252));
    EXPECT_EQ("c:A u:4E2D00E9D55C k:T u:D83DDE00 k:R", PlanText(text, false, CP_UTF8));
    EXPECT_EQ("e:R", PlanText(L"", true));
}

namespace {

// The window the code is meant for stays in front for the first g_nInFront
// looks, another comes after.
const HWND kFront = (HWND)(UINT_PTR)0x1010;
int g_nLooks, g_nInFront;

HWND WINAPI FakeForeground()
{
    return ++g_nLooks <= g_nInFront ? kFront : (HWND)(UINT_PTR)0x2020;
}

}  // namespace

TEST(CharacterMode, EveryPostIsCheckedAndAFullQueueWaitedOut)
{
    HWND hTarget = (HWND)(ULONG_PTR)0x1234;
    std::vector<CharStep> steps = PlanCharacterMode(L"A\x4E2D\r\xD83D\xDE00", true, 936);

    g_posted.clear();
    g_nRefusals = 0;
    CTypingGuard any;
    EXPECT_EQ(TYPING_DONE, PlayCharacterMode(hTarget, steps, 0, any, RecordA, RecordW));
    const char* kAll = "A41 AD6 AD0 K0D U0D WD83D WDE00 K0D";
    EXPECT_EQ(kAll, PostedText());
    EXPECT_EQ(4u, any.Typed());
    EXPECT_EQ(hTarget, g_posted[0].hWnd);
    // Enter as a key press would post it, scan code and all; the Enter
    // suffix a bare key-down.
    EXPECT_EQ(0x001C0001, g_posted[3].lParam);
    EXPECT_EQ((LPARAM)0xC01C0001, g_posted[4].lParam);
    EXPECT_EQ(0, g_posted[7].lParam);

    // A queue that is full for a while loses nothing.
    g_posted.clear();
    g_nRefusals = 5;
    g_dwRefusal = ERROR_NOT_ENOUGH_QUOTA;
    CTypingGuard full;
    EXPECT_EQ(TYPING_DONE, PlayCharacterMode(hTarget, steps, 0, full, RecordA, RecordW));
    EXPECT_EQ(kAll, PostedText());

    // A window that is gone ends the typing at once, as a failure.
    g_posted.clear();
    g_nRefusals = 1;
    g_dwRefusal = ERROR_INVALID_WINDOW_HANDLE;
    CTypingGuard gone;
    EXPECT_EQ(TYPING_FAILED, PlayCharacterMode(hTarget, steps, 0, gone, RecordA, RecordW));
    EXPECT_EQ("", PostedText());

    // Another window in front: stopped there, what went before stays. With
    // a key delay the front is looked at before every character.
    g_posted.clear();
    g_nLooks = 0;
    g_nInFront = 2;   // the first character's look, the one before the delay
    CTypingGuard front(NULL, kFront, FakeForeground);
    EXPECT_EQ(TYPING_FRONT_CHANGED, PlayCharacterMode(hTarget, steps, 1, front, RecordA, RecordW));
    EXPECT_EQ("A41", PostedText());
    EXPECT_EQ(1u, front.Typed());
}

TEST(CharacterMode, ATabThatLeavesTheFocusWhereItWasStopsTheTyping)
{
    // The target never takes the Tab (a window of nobody's): what follows
    // it would go to the field it was to leave.
    HWND hTarget = (HWND)(ULONG_PTR)0x1234;
    g_posted.clear();
    g_nRefusals = 0;
    CTypingGuard stuck;
    EXPECT_EQ(TYPING_FAILED, PlayCharacterMode(hTarget, PlanCharacterMode(L"\x4E2D\tb", false, 936), 0,
                                               stuck, RecordA, RecordW));
    EXPECT_EQ("AD6 AD0 K09 U09", PostedText());
    EXPECT_EQ(2u, stuck.Typed());
    // A Tab at the end loses nothing.
    g_posted.clear();
    CTypingGuard last;
    EXPECT_EQ(TYPING_DONE, PlayCharacterMode(hTarget, PlanCharacterMode(L"\x4E2D\t", false, 936), 0,
                                             last, RecordA, RecordW));
    EXPECT_EQ("AD6 AD0 K09 U09", PostedText());
}
