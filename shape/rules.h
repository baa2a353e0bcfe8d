// Rules: what a code becomes before it is typed. Each rule matches codes (a
// regular expression over the whole code, or GS1 in any case for a valid GS1
// element string), may be limited to some programs in front, and either
// types its output template or refuses the code. A rule that types applies
// only when the code has every part its output names. Plain inputs, plain
// results.
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

// A rule whose pattern matched, passed over since its output names a part
// the code does not have: "$2", "{AI:17}".
struct RuleSkip {
    int nRule;
    std::wstring strPart;
};

struct RuleOutcome {
    int nRule;                        // the rule that matched; 0: none
    bool bReject;                     // the rule refuses the code
    std::vector<RulePiece> pieces;    // what takes the code's place
    std::vector<std::wstring> errors; // rules that could not be tried, and why
    std::vector<RuleSkip> skips;      // rules passed over before nRule
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

    // The first rule, in order, that applies to the program (its file name),
    // matches the code and finds in it every part of its output. A pattern
    // that takes too long on a code is cut off: it does not match, and the
    // outcome says so.
    RuleOutcome Apply(const std::wstring& strCode, const std::wstring& strProgram) const;

private:
    struct CRule;
    std::vector<std::unique_ptr<CRule>> m_rules;
    std::vector<std::wstring> m_errors;
};

// Match and Program are settings texts: their escapes are read as in any
// other (see ExpandEscapes), with keys and pauses left out, since no code
// and no program name holds one. In Match the braces of the pattern itself
// stay as they are: an escape ({U+XXXX}, {TAB}, {ENTER}, {GS}, {RS}, {EOT})
// stands for its character only outside [...] and where no backslash
// escapes its brace, where a pattern could not hold a brace so followed.
// True with the pattern as UTF-16; false when an escape names a key or pause.
bool ExpandMatchEscapes(LPCSTR pszMatch, std::wstring& strOut, UINT nCodePage = CP_ACP);

// A pattern typed in the rules window as the file keeps it, read back the
// same by ExpandMatchEscapes: the text in the code page, a character the
// code page lacks (or a control character) as {U+XXXX} where that escape is
// read, and as the pattern's own \uXXXX inside [...] or after a backslash.
std::string EncodeMatchValue(const std::wstring& strMatch, UINT nCodePage = CP_ACP);
