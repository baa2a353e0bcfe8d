// Rules and program sections of typeSet.ini as the rules window edits them,
// and the changes that write an edited page back.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

#include "iniwrite.h"
#include "settings.h"

// A rule as the window edits it: values as they stand in the file, escapes
// and all.
struct CRuleRow {
    int nNumber;              // its section's number in the file; 0: new
    std::wstring strMatch;
    std::wstring strProgram;
    std::wstring strOutput;
    bool bOutput;             // it has an Output key; otherwise the code as it is
    std::wstring strAction;   // as the file has it: "", "type" or "reject"
    std::wstring strTarget;   // the program its codes go to; empty: the section's

    bool SameValues(const CRuleRow& other) const;
    bool Rejects() const;
};

// A section [OUTPUT:<program file name>]: only the keys it sets.
struct CProgramRow {
    std::wstring strOriginal;   // the program's name in the file; empty: new
    std::wstring strProgram;
    bool abSet[kProgramKeyCount];
    std::wstring values[kProgramKeyCount];

    bool SameValues(const CProgramRow& other) const;
};

struct CRulesPage {
    std::vector<CRuleRow> rules;
    std::vector<CProgramRow> programs;
    // The organisation's, from the copy of its shared settings file: in
    // force before the local ones, shown but never edited or written.
    // Their rules are numbered as the program numbers them (RULE101 on).
    std::vector<CRuleRow> sharedRules;
    std::vector<CProgramRow> sharedPrograms;
    // The program-section keys the organisation sets for every program (by
    // policy or in its shared file's [OUTPUT]), which no section can change.
    bool abPolicy[kProgramKeyCount] = {};
};

// The local file's rules and program sections; the shared file's and the
// policy's from the settings the program runs with.
CRulesPage ReadRulesPage(const CSettingsSource& settings);

// The changes to typeSet.ini that turn the page as loaded into the page as
// edited: rules numbered 1..n in list order (a moved rule's section is
// renamed, keeping its comments and other keys), deleted ones removed.
void AddRulesPageChanges(const CRulesPage& edited, const CRulesPage& loaded, std::vector<CIniChange>& changes);

// The page as it stands in the file once the edited one is written.
void MarkRulesPageSaved(CRulesPage& page);

// A rule row as the rules engine loads it.
CRuleSetting RuleSetting(const CRuleRow& row);
