// What the pieces of one decode's handling cost on their own, in this
// process: shaping (encoding decision, conversion, control characters), the
// layout lookups and the key
// plan with its keyboard snapshot, the log entry,
// posting the bytes as characters, one engine journal line as the stand-in
// engine writes it for each of the eight symbology switches, and how long
// Sleep(50) really sleeps. Shaping is timed with no rules, through twenty
// rules of which the last matches, and through a pathological pattern
// (nested repetition), which is cut off. A GS1 Digital Link URI of 100
// bytes is split into its fields alone, and one of 4 KB whose path is all
// keys.
//
//   handlerparts <log path> <text file>...
//
// Prints median and 90th percentile microseconds of each piece per file.
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>

#include "charmode.h"
#include "typekeys.h"
#include "gs1.h"
#include "logfile.h"
#include "shape.h"

namespace {

double Now()
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return (double)now.QuadPart * 1e6 / (double)freq.QuadPart;
}

struct Figures {
    double median, p90;
};

template <typename F>
Figures Time(int nReps, F f)
{
    std::vector<double> t;
    for (int i = 0; i < nReps; ++i) {
        double t0 = Now();
        f();
        t.push_back(Now() - t0);
    }
    std::sort(t.begin(), t.end());
    return { t[t.size() / 2], t[(t.size() * 9) / 10] };
}

void Print(const char* pszWhat, const char* pszText, Figures f)
{
    printf("%-28s %-14s %10.1f %10.1f\n", pszWhat, pszText, f.median, f.p90);
}

bool ReadWholeFile(const char* pszPath, std::string* data)
{
    FILE* f = fopen(pszPath, "rb");
    if (!f)
        return false;
    char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0)
        data->append(buf, got);
    fclose(f);
    return true;
}

const char* BaseName(const char* pszPath)
{
    const char* p = pszPath + strlen(pszPath);
    while (p > pszPath && p[-1] != '\\' && p[-1] != '/')
        --p;
    return p;
}

void Drain(HWND hwnd)
{
    MSG msg;
    while (PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: handlerparts <log path> <text file>...\n");
        return 2;
    }
    SetLogFile(argv[1]);
    HWND hwnd = CreateWindowExA(0, "STATIC", "handlerparts", WS_POPUP, 0, 0, 1, 1, NULL, NULL,
                                NULL, NULL);
    printf("%-28s %-14s %10s %10s\n", "piece (microseconds)", "text", "median", "p90");

    // Nineteen rules a code of this kind passes by, in the ways they can:
    // another program, a literal start, a pattern, GS1; the last one matches.
    std::vector<CRuleSetting> settings;
    for (int n = 1; n <= 20; ++n) {
        static const char* const kMatches[] = { "ID=(\\d+);LOT=(\\w+)", "GS1", "[A-Z]{3}-\\d{4}", "(.*)#END" };
        CRuleSetting rule;
        rule.nNumber = n;
        rule.strMatch = n == 20 ? "(.{10})(.*)" : kMatches[n % 4];
        rule.strProgram = n % 5 == 0 && n < 20 ? "other.exe" : "";
        rule.bOutput = true;
        rule.strOutput = "$2{TAB}$1";
        settings.push_back(rule);
    }
    CRules twenty;
    twenty.Load(settings);
    settings.assign(1, settings[0]);
    settings[0].strMatch = "(\\w*)*#";
    CRules pathological;
    pathological.Load(settings);

    for (int i = 2; i < argc; ++i) {
        std::string text;
        if (!ReadWholeFile(argv[i], &text)) {
            fprintf(stderr, "handlerparts: cannot read %s\n", argv[i]);
            return 1;
        }
        const char* pszName = BaseName(argv[i]);
        int nReps = text.size() > 1000 ? 60 : 300;
        COutputOptions options;
        ShapedDecode shaped;

        Print("shaping", pszName, Time(nReps, [&] {
            shaped = ShapeDecode(text.c_str(), options, false);
        }));
        Print("shaping, 20 rules", pszName, Time(nReps, [&] {
            ShapeDecode(text.c_str(), options, false, CP_ACP, &twenty, L"target.exe");
        }));
        Print("shaping, (\\w*)*# rule", pszName, Time(5, [&] {
            ShapeDecode(text.c_str(), options, false, CP_ACP, &pathological, L"target.exe");
        }));
        const std::wstring& typed = shaped.strTyped;
        if (!NeedsCharacterMode(typed)) {
            size_t nStrokes = 0;
            // The program looks a layout up once a run, as here: the first
            // decode costs the lookups as well.
            CThreadLayout layout(GetKeyboardLayout(0));
            Print("layout lookups", pszName, Time(1, [&] {
                PlanKeys(typed, false, layout, KeyboardSnapshot());
            }));
            Print("key snapshot + plan", pszName, Time(nReps, [&] {
                nStrokes = PlanKeys(typed, false, layout, TakeKeyboardSnapshot()).inputs.size();
            }));
            printf("  (%u key events)\n", (unsigned)nStrokes);
        } else {
            std::vector<double> t;
            for (int k = 0; k < nReps; ++k) {
                double t0 = Now();
                CTypingGuard guard(NULL, GetForegroundWindow());   // looks at the front as typing does
                PlayCharacterMode(hwnd, PlanCharacterMode(typed, false), 0, guard);
                t.push_back(Now() - t0);
                Drain(hwnd);
            }
            std::sort(t.begin(), t.end());
            Print("posting the characters", pszName, { t[t.size() / 2], t[(t.size() * 9) / 10] });
        }
        Print("log entry", pszName, Time(nReps, [&] {
            LogWrite("Decode", "Decode:%s", (LPCSTR)shaped.strLogged);
        }));
    }

    char szJournal[MAX_PATH + 16];
    lstrcpynA(szJournal, argv[1], MAX_PATH);
    lstrcatA(szJournal, ".journal");
    Print("one journal line", "-", Time(300, [&] {
        DWORD dwWritten;
        HANDLE h = CreateFileA(szJournal, FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        WriteFile(h, "setQRable 1\n", 12, &dwWritten, NULL);
        CloseHandle(h);
    }));
    // Key, two qualifiers (one escaped) and four attributes, one not GS1's.
    const std::wstring strLink = L"https://id.gs1.org/01/09506000134352/10/ABC%2D1/21/12345"
                                 L"?17=290630&3103=000195&linkType=all&99=XYZ78";
    std::vector<Gs1Element> elements;
    Print("Digital Link, split", "100 bytes", Time(300, [&] { ParseGs1(strLink, &elements, NULL); }));
    if (strLink.size() != 100 || elements.size() != 6)
        fprintf(stderr, "handlerparts: the Digital Link is not what it should be\n");
    // A path of 1,364 segments, each one a key: the split stays linear.
    std::wstring strLongLink = L"https://a";
    while (strLongLink.size() < 4096 - 15)
        strLongLink += L"/01";
    strLongLink += L"/09506000134352";
    Print("Digital Link, split", "4 KB path", Time(50, [&] { ParseGs1(strLongLink, &elements, NULL); }));
    if (elements.size() != 1)
        fprintf(stderr, "handlerparts: the long Digital Link is not what it should be\n");
    Print("Sleep(50), the whole call", "-", Time(40, [] { Sleep(50); }));
    DestroyWindow(hwnd);
    return 0;
}
