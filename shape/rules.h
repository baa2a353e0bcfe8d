// Rules: what a code becomes before it is typed. Each rule matches codes (a
// regular expression over the whole code, or GS1 for a valid GS1 element
// string), may be limited to some programs in front, and either types its
// output template or refuses the code. Plain inputs, plain results.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "settings.h"

// A piece of a rule's output: a text of the rule's own (escapes expanded,
// keys and pauses in-band), or a part of the code, which is cleaned like
// the code itself before it is typed.
struct RulePiece {
    bool bFromCode;
    std::wstring strText;
};

struct RuleOutcome {
    int nRule;                        // the rule that matched; 0: none
    bool bReject;                     // the rule refuses the code
    std::vector<RulePiece> pieces;    // what takes the code's place
    std::vector<std::wstring> errors; // rules that could not be tried, and why
};

class CRules {
public:
    CRules();
    ~CRules();
    CRules(const CRules&) = delete;
    CRules& operator=(const CRules&) = delete;

    // Makes rules of the settings; a rule with an error (a pattern that does
    // not compile, an unknown escape in its output, an unknown action) is
    // left out and said in Errors(), as any other bad value falls back.
    void Load(const std::vector<CRuleSetting>& settings, UINT nCodePage = CP_ACP);
    const std::vector<std::wstring>& Errors() const { return m_errors; }
    bool Empty() const { return m_rules.empty(); }

    // The first rule, in order, that applies to the program (its file name)
    // and matches the code. A pattern that takes too long on a code is cut
    // off: it does not match, and the outcome says so.
    RuleOutcome Apply(const std::wstring& strCode, const std::wstring& strProgram) const;

private:
    struct CRule;
    std::vector<std::unique_ptr<CRule>> m_rules;
    std::vector<std::wstring> m_errors;
};
