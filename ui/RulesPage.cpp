#include "RulesPage.h"

#include "escapes.h"
#include "rules.h"

CRuleSetting RuleSetting(const CRuleRow& row)
{
    CRuleSetting setting;
    setting.nNumber = row.nNumber;
    setting.strMatch = EncodeMatchValue(row.strMatch).c_str();
    setting.strProgram = EncodeSettingValue(row.strProgram).c_str();
    setting.strOutput = EncodeSettingValue(row.strOutput).c_str();
    setting.bOutput = row.bOutput;
    setting.strAction = EncodeSettingValue(row.strAction).c_str();
    setting.strTarget = EncodeSettingValue(row.strTarget).c_str();
    return setting;
}

namespace {

std::string RuleSection(int nNumber)
{
    return "RULE" + std::to_string(nNumber);
}

std::string ProgramSection(const std::wstring& strProgram)
{
    return "OUTPUT:" + EncodeSettingValue(strProgram);
}

void ReadRows(LPCSTR pszPath, int nNumberFrom, std::vector<CRuleRow>& rules, std::vector<CProgramRow>& programs)
{
    for (const CRuleSetting& setting : ReadRuleSettings(pszPath)) {
        rules.push_back({ setting.nNumber + nNumberFrom, AfxWiden(setting.strMatch), AfxWiden(setting.strProgram),
                          AfxWiden(setting.strOutput), setting.bOutput, AfxWiden(setting.strAction),
                          AfxWiden(setting.strTarget) });
    }
    for (const CProgramSetting& setting : ReadProgramSettings(pszPath)) {
        CProgramRow row;
        row.strOriginal = row.strProgram = AfxWiden(setting.strProgram);
        for (int i = 0; i < kProgramKeyCount; ++i) {
            row.abSet[i] = setting.abSet[i];
            row.values[i] = AfxWiden(setting.values[i]);
        }
        programs.push_back(row);
    }
}

}  // namespace

bool CRuleRow::SameValues(const CRuleRow& other) const
{
    return strMatch == other.strMatch && strProgram == other.strProgram && strOutput == other.strOutput &&
           bOutput == other.bOutput && strAction == other.strAction && strTarget == other.strTarget;
}

bool CRuleRow::Rejects() const
{
    return lstrcmpiW(strAction.c_str(), L"reject") == 0;
}

bool CProgramRow::SameValues(const CProgramRow& other) const
{
    if (strProgram != other.strProgram)
        return false;
    for (int i = 0; i < kProgramKeyCount; ++i) {
        if (abSet[i] != other.abSet[i] || values[i] != other.values[i])
            return false;
    }
    return true;
}

CRulesPage ReadRulesPage(const CSettingsSource& settings)
{
    CRulesPage page;
    ReadRows(settings.Path(), 0, page.rules, page.programs);
    if (!settings.SharedPath().IsEmpty())
        ReadRows(settings.SharedPath(), kSharedRuleOffset, page.sharedRules, page.sharedPrograms);
    for (int i = 0; i < kProgramKeyCount; ++i)
        page.abPolicy[i] = settings.Origin("OUTPUT", kProgramKeys[i]) >= ORIGIN_SHARED;
    return page;
}

void AddRulesPageChanges(const CRulesPage& edited, const CRulesPage& loaded, std::vector<CIniChange>& changes)
{
    for (const CRuleRow& old : loaded.rules) {
        size_t i = 0;
        while (i < edited.rules.size() && edited.rules[i].nNumber != old.nNumber)
            ++i;
        if (i == edited.rules.size())
            changes.push_back({ RuleSection(old.nNumber), NULL, "", true });
        else if ((int)i + 1 != old.nNumber)
            changes.push_back({ RuleSection(old.nNumber), NULL, RuleSection((int)i + 1), false });
    }
    for (size_t i = 0; i < edited.rules.size(); ++i) {
        const CRuleRow& row = edited.rules[i];
        const CRuleRow* pOld = NULL;
        for (const CRuleRow& old : loaded.rules)
            pOld = row.nNumber && old.nNumber == row.nNumber ? &old : pOld;
        if (pOld && pOld->SameValues(row))
            continue;
        std::string strSection = RuleSection((int)i + 1);
        changes.push_back({ strSection, "Match", EncodeMatchValue(row.strMatch), false });
        changes.push_back({ strSection, "Program", EncodeSettingValue(row.strProgram), row.strProgram.empty() });
        changes.push_back({ strSection, "Output", EncodeSettingValue(row.strOutput), !row.bOutput });
        changes.push_back({ strSection, "Action", EncodeSettingValue(row.strAction), row.strAction.empty() });
        changes.push_back({ strSection, "Target", EncodeSettingValue(row.strTarget), row.strTarget.empty() });
    }

    for (const CProgramRow& old : loaded.programs) {
        const CProgramRow* pRow = NULL;
        for (const CProgramRow& row : edited.programs)
            pRow = row.strOriginal == old.strOriginal ? &row : pRow;
        if (!pRow)
            changes.push_back({ ProgramSection(old.strOriginal), NULL, "", true });
        else if (pRow->strProgram != old.strOriginal)
            changes.push_back({ ProgramSection(old.strOriginal), NULL, ProgramSection(pRow->strProgram), false });
    }
    for (const CProgramRow& row : edited.programs) {
        const CProgramRow* pOld = NULL;
        for (const CProgramRow& old : loaded.programs)
            pOld = !row.strOriginal.empty() && old.strOriginal == row.strOriginal ? &old : pOld;
        bool bSame = pOld && pOld->SameValues(row);
        for (int i = 0; i < kProgramKeyCount && !bSame; ++i) {
            if (!pOld || pOld->abSet[i] != row.abSet[i] || pOld->values[i] != row.values[i])
                changes.push_back({ ProgramSection(row.strProgram), kProgramKeys[i],
                                    EncodeSettingValue(row.values[i]), !row.abSet[i] });
        }
    }
}

void MarkRulesPageSaved(CRulesPage& page)
{
    for (size_t i = 0; i < page.rules.size(); ++i)
        page.rules[i].nNumber = (int)i + 1;
    for (CProgramRow& row : page.programs)
        row.strOriginal = row.strProgram;
}
