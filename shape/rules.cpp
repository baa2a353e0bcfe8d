#include "rules.h"

#include <ctype.h>
#include <stdlib.h>

#include <regex>

#include "gs1.h"
#include "typedtext.h"

namespace {

// libstdc++ matches by backtracking, with a recursion for each step: a
// pattern with nested repetition takes exponential time on a long code, and
// a long code takes a deep stack. Every character comparison goes through
// the traits' translate (the collate flag asks for it), which gives up when
// the match has taken too long or gone too deep.
struct CMatchGaveUp {};

struct CMatchLimits {
    const char* pStackTop;    // where the match began
    LONGLONG llDeadline;      // performance counter
    int nUntilClock;          // comparisons until the clock is read again
};

thread_local CMatchLimits t_limits;

const LONGLONG kMaxMatchMs = 30;
// The executable reserves 64 MB of stack for its main thread.
const ptrdiff_t kMaxMatchStack = 32 << 20;

void StartMatch(const char* pStackTop)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    t_limits.pStackTop = pStackTop;
    t_limits.llDeadline = now.QuadPart + frequency.QuadPart * kMaxMatchMs / 1000;
    t_limits.nUntilClock = 1024;
}

class CCountingTraits : public std::regex_traits<wchar_t> {
public:
    wchar_t translate(wchar_t ch) const
    {
        char probe;
        if (t_limits.pStackTop - &probe > kMaxMatchStack)
            throw CMatchGaveUp();
        if (--t_limits.nUntilClock <= 0) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            if (now.QuadPart > t_limits.llDeadline)
                throw CMatchGaveUp();
            t_limits.nUntilClock = 1024;
        }
        return ch;
    }
    // Ranges compare code points, whatever the locale's collation.
    template <typename It> std::wstring transform(It first, It last) const
    {
        return std::wstring(first, last);
    }
};

typedef std::basic_regex<wchar_t, CCountingTraits> CPattern;

std::wstring Lowered(std::wstring str)
{
    if (!str.empty())
        CharLowerBuffW(&str[0], (DWORD)str.size());
    return str;
}

std::wstring RuleName(int nNumber)
{
    return L"RULE" + std::to_wstring(nNumber);
}

bool HasKeyOrPause(const std::wstring& str)
{
    return str.find_first_of(std::wstring{ kKeyMarker, kPauseMarker }) != std::wstring::npos;
}

// Where a character of a pattern stands: as itself, inside [...], or after
// the backslash that escapes it.
enum PatternPlace { PLACE_OUTSIDE, PLACE_CLASS, PLACE_ESCAPED };

class CPatternWalk {
public:
    CPatternWalk() : m_bClass(false), m_bEscaped(false), m_nNameEnd(0) {}

    // The place of s[i], the characters before it walked already.
    PatternPlace Step(const std::wstring& s, size_t i)
    {
        PatternPlace place = m_bEscaped ? PLACE_ESCAPED : m_bClass ? PLACE_CLASS : PLACE_OUTSIDE;
        wchar_t ch = s[i];
        if (m_bEscaped) {
            m_bEscaped = false;
        } else if (i < m_nNameEnd) {
            // inside [:alpha:], [.x.] or [=x=], whose ']' does not end the class
        } else if (ch == L'\\') {
            m_bEscaped = true;
        } else if (m_bClass && ch == L'[' && i + 1 < s.size() && s[i + 1] != 0 && wcschr(L":.=", s[i + 1])) {
            size_t nEnd = s.find(std::wstring{ s[i + 1], L']' }, i + 2);
            m_nNameEnd = nEnd == std::wstring::npos ? 0 : nEnd + 2;
        } else if (ch == L'[' || ch == L']') {
            m_bClass = ch == L'[';
        }
        return place;
    }

private:
    bool m_bClass;
    bool m_bEscaped;
    size_t m_nNameEnd;   // past the end of a [:name:] inside a class
};

// {2}, {2,} and {2,5}: a repetition, never an escape.
bool IsRepetition(const std::wstring& strBraces)
{
    size_t nDigits = wcsspn(strBraces.c_str() + 1, L"0123456789");
    if (nDigits == 0)
        return false;
    const wchar_t* p = strBraces.c_str() + 1 + nDigits;
    if (*p == L',')
        p += 1 + wcsspn(p + 1, L"0123456789");
    return p[0] == L'}' && !p[1];
}

// The settings escape in strBraces ("{U+0E01}"): 1 and its characters in
// strChars, -1 for a key or pause, 0 when it is none.
int CharacterEscape(const std::wstring& strBraces, std::wstring& strChars)
{
    if (strBraces.size() < 3 || strBraces[1] == L'{' || IsRepetition(strBraces))
        return 0;
    std::string strAscii;
    for (wchar_t ch : strBraces) {
        if (ch >= 0x80)
            return 0;
        strAscii += (char)ch;
    }
    if (!ExpandEscapes(strAscii.c_str(), strChars, 1252))
        return 0;
    return HasKeyOrPause(strChars) ? -1 : 1;
}

}  // namespace

bool ExpandMatchEscapes(LPCSTR pszMatch, std::wstring& strOut, UINT nCodePage)
{
    std::wstring s = AfxWiden(pszMatch, -1, nCodePage), out;
    CPatternWalk walk;
    for (size_t i = 0; i < s.size(); ++i) {
        bool bOutside = walk.Step(s, i) == PLACE_OUTSIDE;
        size_t nClose = bOutside && s[i] == L'{' ? s.find(L'}', i) : std::wstring::npos;
        std::wstring strChars;
        int nEscape = nClose == std::wstring::npos ? 0 : CharacterEscape(s.substr(i, nClose + 1 - i), strChars);
        if (nEscape < 0)
            return false;
        if (nEscape == 0) {
            out += s[i];
            continue;
        }
        // The character itself, whatever it means to a pattern.
        if (strChars.size() == 1 && wcschr(L"\\^$.|?*+()[]{}", strChars[0]))
            out += L'\\';
        out += strChars;
        i = nClose;
    }
    strOut = out;
    return true;
}

std::string EncodeMatchValue(const std::wstring& strMatch, UINT nCodePage)
{
    std::string out;
    CPatternWalk walk;
    for (size_t i = 0; i < strMatch.size();) {
        size_t n = IS_HIGH_SURROGATE(strMatch[i]) && i + 1 < strMatch.size() && IS_LOW_SURROGATE(strMatch[i + 1]) ? 2 : 1;
        PatternPlace place = walk.Step(strMatch, i);
        std::string strChar = EncodeSettingValue(strMatch.substr(i, n), nCodePage);
        if (place != PLACE_OUTSIDE && strChar.compare(0, 3, "{U+") == 0) {
            // The pattern's own escape, one for each UTF-16 unit; after a
            // backslash, that backslash begins the first.
            for (size_t k = 0; k < n; ++k) {
                char szUnit[16];
                snprintf(szUnit, sizeof(szUnit), "%su%04X", place == PLACE_ESCAPED && k == 0 ? "" : "\\",
                         (unsigned)strMatch[i + k]);
                out += szUnit;
            }
        } else {
            out += strChar;
        }
        i += n;
    }
    return out;
}

namespace {

// A part of a rule's output template.
struct TemplatePart {
    enum Kind { kText, kGroup, kAi } kind;
    std::wstring strText;   // kText: expanded
    int nGroup;             // kGroup: $0..$9
    std::string strAi;      // kAi
};

// The template: $0..$9 a group of the match ($0 the whole code), $$ a
// dollar sign, {AI:nn} a GS1 element's value; the rest are settings texts
// with their escapes. Read character by character in the code page, as
// settings texts are. False on a bad escape.
bool ParseTemplate(const CString& strTemplate, UINT nCodePage, std::vector<TemplatePart>* pParts,
                   bool* pbUsesAi)
{
    typedef TemplatePart Part;
    std::string strRun;
    auto flush = [&]() {
        if (strRun.empty())
            return true;
        Part part = { Part::kText, std::wstring(), 0, std::string() };
        if (!ExpandEscapes(strRun.c_str(), part.strText, nCodePage))
            return false;
        pParts->push_back(part);
        strRun.clear();
        return true;
    };
    const char* p = strTemplate;
    while (*p) {
        if (p[0] == '$' && isdigit((unsigned char)p[1])) {
            if (!flush())
                return false;
            pParts->push_back(Part{ Part::kGroup, std::wstring(), p[1] - '0', std::string() });
            p += 2;
        } else if (p[0] == '$' && p[1] == '$') {
            strRun += '$';
            p += 2;
        } else if (_strnicmp(p, "{AI:", 4) == 0) {
            size_t nDigits = strspn(p + 4, "0123456789");
            if (nDigits < 2 || nDigits > 4 || p[4 + nDigits] != '}' || !flush())
                return false;
            pParts->push_back(Part{ Part::kAi, std::wstring(), 0, std::string(p + 4, nDigits) });
            *pbUsesAi = true;
            p += 5 + nDigits;
        } else if (p[0] == '{' && p[1] == '{') {
            strRun.append(p, 2);
            p += 2;
        } else if (p[0] == '{') {
            // A whole escape goes to the run, so that nothing in it is a $.
            const char* pEnd = strchr(p, '}');
            if (!pEnd)
                return false;
            strRun.append(p, pEnd + 1);
            p = pEnd + 1;
        } else {
            int n = IsDBCSLeadByteEx(nCodePage, (BYTE)*p) && p[1] ? 2 : 1;
            strRun.append(p, n);
            p += n;
        }
    }
    return flush();
}

// The output's pieces for a code the rule matched; false, with the part
// named in strMissing, when the code lacks one: a group that took no part in
// the match, any group but $0 of a GS1 rule, an AI the code does not hold.
bool FillPieces(const std::vector<TemplatePart>& output, bool bGs1Rule, const std::wstring& strCode,
                const std::wsmatch& groups, const std::vector<Gs1Element>* pElements,
                std::vector<RulePiece>& pieces, std::wstring& strMissing)
{
    for (const TemplatePart& part : output) {
        if (part.kind == TemplatePart::kText) {
            pieces.push_back(RulePiece{ false, part.strText });
        } else if (part.kind == TemplatePart::kGroup) {
            bool bThere = bGs1Rule ? part.nGroup == 0
                                   : (size_t)part.nGroup < groups.size() && groups[part.nGroup].matched;
            if (!bThere) {
                strMissing = L"$" + std::to_wstring(part.nGroup);
                return false;
            }
            pieces.push_back(RulePiece{ true, bGs1Rule ? strCode : groups.str(part.nGroup) });
        } else {
            const Gs1Element* pFound = NULL;
            for (size_t i = 0; pElements && !pFound && i < pElements->size(); ++i)
                pFound = (*pElements)[i].strAi == part.strAi ? &(*pElements)[i] : NULL;
            if (!pFound) {
                strMissing = L"{AI:" + std::wstring(part.strAi.begin(), part.strAi.end()) + L"}";
                return false;
            }
            pieces.push_back(RulePiece{ true, std::wstring(pFound->strValue.begin(), pFound->strValue.end()) });
        }
    }
    return true;
}

}  // namespace

struct CRules::CRule {
    int nNumber;
    bool bGs1;
    CPattern pattern;
    std::vector<std::wstring> programs;   // lower case; none: every program
    bool bOutput;
    std::vector<TemplatePart> output;
    bool bReject;
    bool bUsesAi;

    bool AppliesTo(const std::wstring& strProgram) const
    {
        if (programs.empty())
            return true;
        std::wstring strLower = Lowered(strProgram);
        for (const auto& program : programs) {
            if (program == strLower)
                return true;
        }
        return false;
    }
};

CRules::CRules() {}

CRules::~CRules() {}

void CRules::Load(const std::vector<CRuleSetting>& settings, UINT nCodePage)
{
    m_rules.clear();
    m_errors.clear();
    for (const CRuleSetting& setting : settings) {
        std::unique_ptr<CRule> rule(new CRule());
        rule->nNumber = setting.nNumber;
        rule->bGs1 = lstrcmpiA(setting.strMatch, "GS1") == 0;
        rule->bOutput = setting.bOutput;
        rule->bUsesAi = false;
        const wchar_t* pszError = NULL;
        if (lstrcmpiA(setting.strAction, "reject") == 0)
            rule->bReject = true;
        else if (setting.strAction.IsEmpty() || lstrcmpiA(setting.strAction, "type") == 0)
            rule->bReject = false;
        else
            pszError = L"Action is neither type nor reject";
        if (!pszError && setting.strMatch.IsEmpty())
            pszError = L"no Match";
        std::wstring strPattern;
        if (!pszError && !rule->bGs1 && !ExpandMatchEscapes(setting.strMatch, strPattern, nCodePage))
            pszError = L"Match names a key or pause, which no code holds";
        if (!pszError && !rule->bGs1) {
            try {
                char top;
                StartMatch(&top);
                rule->pattern.assign(strPattern, std::regex_constants::ECMAScript | std::regex_constants::collate);
            } catch (const std::regex_error&) {
                pszError = L"Match is not a valid regular expression";
            } catch (const CMatchGaveUp&) {
                pszError = L"Match is not a valid regular expression";
            }
        }
        if (!pszError && rule->bOutput &&
            !ParseTemplate(setting.strOutput, nCodePage, &rule->output, &rule->bUsesAi))
            pszError = L"Output has an unknown escape";
        std::wstring strPrograms;
        if (!pszError && (!ExpandEscapes(setting.strProgram, strPrograms, nCodePage) || HasKeyOrPause(strPrograms)))
            pszError = L"Program has an unknown escape";
        if (pszError) {
            m_errors.push_back(RuleName(setting.nNumber) + L": " + pszError);
            continue;
        }
        strPrograms = Lowered(strPrograms);
        for (size_t nStart = 0; nStart <= strPrograms.size();) {
            size_t nEnd = strPrograms.find(L';', nStart);
            if (nEnd == std::wstring::npos)
                nEnd = strPrograms.size();
            std::wstring strName = strPrograms.substr(nStart, nEnd - nStart);
            size_t nFirst = strName.find_first_not_of(L" \t"), nLast = strName.find_last_not_of(L" \t");
            if (nFirst != std::wstring::npos)
                rule->programs.push_back(strName.substr(nFirst, nLast - nFirst + 1));
            nStart = nEnd + 1;
        }
        m_rules.push_back(std::move(rule));
    }
}

RuleOutcome CRules::Apply(const std::wstring& strCode, const std::wstring& strProgram) const
{
    RuleOutcome outcome = { 0, false, {}, {}, {} };
    std::vector<Gs1Element> elements;
    bool bParsed = false, bGs1 = false;
    auto gs1 = [&]() {
        if (!bParsed) {
            std::string strError;
            bGs1 = ParseGs1(strCode, &elements, &strError);
            bParsed = true;
        }
        return bGs1;
    };
    for (const auto& rule : m_rules) {
        if (!rule->AppliesTo(strProgram))
            continue;
        std::wsmatch groups;
        if (rule->bGs1) {
            if (!gs1())
                continue;
        } else {
            try {
                char top;
                StartMatch(&top);
                if (!std::regex_match(strCode, groups, rule->pattern))
                    continue;
            } catch (const CMatchGaveUp&) {
                outcome.errors.push_back(RuleName(rule->nNumber) + L": Match took too long on this code");
                continue;
            } catch (const std::regex_error&) {
                outcome.errors.push_back(RuleName(rule->nNumber) + L": Match could not be tried on this code");
                continue;
            }
        }
        std::vector<RulePiece> pieces;
        if (!rule->bOutput) {
            pieces.push_back(RulePiece{ true, strCode });
        } else if (!rule->bReject) {
            if (rule->bUsesAi)
                gs1();
            std::wstring strMissing;
            if (!FillPieces(rule->output, rule->bGs1, strCode, groups, bGs1 ? &elements : NULL, pieces,
                            strMissing)) {
                outcome.skips.push_back(RuleSkip{ rule->nNumber, strMissing });
                continue;
            }
        }
        outcome.nRule = rule->nNumber;
        outcome.bReject = rule->bReject;
        outcome.pieces = pieces;
        return outcome;
    }
    return outcome;
}
