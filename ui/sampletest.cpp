#include "sampletest.h"

#include <vector>

#include "escapes.h"
#include "gs1.h"
#include "gs1text.h"
#include "history.h"
#include "resource.h"
#include "rules.h"
#include "savefiles.h"
#include "settings.h"
#include "shape.h"
#include "typedtext.h"
#include "uitext.h"

namespace {

// A sample code as a scanner hands it over: in the code page when it holds
// every character, else in UTF-8 with a byte-order mark.
std::string Narrow(const std::wstring& str, UINT nCodePage)
{
    int n = WideCharToMultiByte(nCodePage, 0, str.c_str(), -1, NULL, 0, NULL, NULL);
    std::string strBytes(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(nCodePage, 0, str.c_str(), -1, &strBytes[0], n, NULL, NULL);
    return strBytes.c_str();
}

std::string ScannerBytes(const std::wstring& strCode)
{
    std::string strBytes = Narrow(strCode, CP_ACP);
    // Under a double-byte code page the bytes of a few characters it lacks
    // may read as its own as well: the mark settles it.
    return AfxWiden(strBytes.c_str()) == strCode ? strBytes : "\xEF\xBB\xBF" + Narrow(strCode, CP_UTF8);
}

}  // namespace

std::wstring TestSample(const std::string& strTypeSetText, const std::wstring& strSample,
                        const std::wstring& strProgram)
{
    std::wstring strCode;
    if (!ExpandEscapes(EncodeSettingValue(strSample).c_str(), strCode))
        return UiText(IDS_RULES_BAD_SAMPLE);
    char szDir[MAX_PATH] = {}, szPath[MAX_PATH] = {};
    size_t nFailed = 0;
    DWORD dwError = 0;
    if (!GetTempPathA(MAX_PATH, szDir) || !GetTempFileNameA(szDir, "nza", 0, szPath))
        dwError = GetLastError();
    else
        dwError = WriteFilesTogether({ { szPath, strTypeSetText } }, &nFailed);
    if (dwError) {
        DeleteFileA(szPath);
        return UiSystemText(dwError);
    }
    // With what the organisation sets, as the program reads it.
    CSettingsSource settings = ProgramSettings(szPath);
    COutputProfiles profiles = ReadOutputProfiles(settings);
    CRules rules;
    rules.Load(ReadRuleSettings(settings));
    bool bEnter = ReadTypeFlag("Enter", settings) != 0;
    DeleteFileA(szPath);

    const COutputOptions& options = profiles.For(strProgram);
    ShapedDecode shaped = ShapeDecode(ScannerBytes(strCode).c_str(), options, bEnter, CP_ACP, &rules, strProgram);
    std::wstring strResult = VisibleTyped(shaped.strTyped);
    if (shaped.bShiftEnter)
        strResult += KeyEscapeName(KEYMOD_SHIFT << 8 | VK_RETURN);
    strResult += L"\r\n";
    if (shaped.bRejected)
        strResult += UiFormat(IDS_RULES_REFUSES, std::to_wstring(shaped.nRule));
    else if (shaped.nRule)
        strResult += UiFormat(IDS_RULES_MATCHED, std::to_wstring(shaped.nRule));
    else
        strResult += UiText(IDS_RULES_NO_RULE);
    for (const RuleSkip& skip : shaped.ruleSkips)
        strResult += L"\r\n" + UiFormat(IDS_RULES_MISSING, std::to_wstring(skip.nRule), skip.strPart);
    std::vector<Gs1Element> elements;
    if (!shaped.strLinkError.empty())
        strResult += L"\r\n" + UiFormat(IDS_RULES_LINK_INVALID, Gs1ReasonText(shaped.strLinkError));
    else if (IsDigitalLink(shaped.strCode) && ParseGs1(shaped.strCode, &elements, NULL))
        strResult += L"\r\n" + UiFormat(IDS_RULES_LINK_FIELDS, Gs1Bracketed(elements));
    if (options.bPaste && !shaped.bRejected)
        strResult += L"\r\n" + UiText(IDS_RULES_PASTE);
    std::vector<std::wstring> errors = rules.Errors();
    errors.insert(errors.end(), shaped.ruleErrors.begin(), shaped.ruleErrors.end());
    for (const std::wstring& strError : errors)
        strResult += L"\r\n" + strError;
    return strResult;
}
