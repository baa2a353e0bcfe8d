#include "rules.h"

#include <ctype.h>
#include <stdlib.h>

#include <regex>

#include "gs1.h"

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

}  // namespace

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
        rule->bGs1 = setting.strMatch == "GS1";
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
        if (!pszError && !rule->bGs1) {
            try {
                char top;
                StartMatch(&top);
                rule->pattern.assign(AfxWiden(setting.strMatch, -1, nCodePage),
                                     std::regex_constants::ECMAScript | std::regex_constants::collate);
            } catch (const std::regex_error&) {
                pszError = L"Match is not a valid regular expression";
            } catch (const CMatchGaveUp&) {
                pszError = L"Match is not a valid regular expression";
            }
        }
        if (!pszError && rule->bOutput &&
            !ParseTemplate(setting.strOutput, nCodePage, &rule->output, &rule->bUsesAi))
            pszError = L"Output has an unknown escape";
        if (pszError) {
            m_errors.push_back(RuleName(setting.nNumber) + L": " + pszError);
            continue;
        }
        std::wstring strPrograms = Lowered(AfxWiden(setting.strProgram, -1, nCodePage));
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
    RuleOutcome outcome = { 0, false, {}, {} };
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
        outcome.nRule = rule->nNumber;
        outcome.bReject = rule->bReject;
        if (!rule->bOutput) {
            outcome.pieces.push_back(RulePiece{ true, strCode });
            return outcome;
        }
        if (rule->bUsesAi)
            gs1();
        for (const TemplatePart& part : rule->output) {
            if (part.kind == TemplatePart::kText) {
                outcome.pieces.push_back(RulePiece{ false, part.strText });
            } else if (part.kind == TemplatePart::kGroup) {
                if (rule->bGs1 && part.nGroup == 0)
                    outcome.pieces.push_back(RulePiece{ true, strCode });
                else if (!rule->bGs1 && (size_t)part.nGroup < groups.size())
                    outcome.pieces.push_back(RulePiece{ true, groups.str(part.nGroup) });
            } else if (bGs1) {
                for (const Gs1Element& element : elements) {
                    if (element.strAi == part.strAi) {
                        outcome.pieces.push_back(
                            RulePiece{ true, std::wstring(element.strValue.begin(), element.strValue.end()) });
                        break;
                    }
                }
            }
        }
        return outcome;
    }
    return outcome;
}
