#include "gs1text.h"

#include "resource.h"
#include "uitext.h"

#include <afx.h>

namespace {

// In the order of their strings from IDS_GS1_REASON_FIRST on.
const char* const kReasons[] = {
        "empty",
        "no element",
        "not GS1 data",
        "non-ASCII character",
        "unknown AI",
        "two different values",
        "given twice",
        "percent escape",
        "empty path segment",
        "no key in the path",
        "no value",
        "not allowed in the query",
        "belongs in the path",
        "character not allowed in a URI",
        "host",
        "path ends in /",
        "check digit",
        "check characters",
        "company prefix",
        "date",
        "time",
        "winding direction",
        "neither 0 nor 1",
        "sex code",
        "not a hyphen",
        "importer index",
        "piece of total",
        "latitude",
        "longitude",
        "not 0",
        "0 not allowed",
        "digits only",
        "position in sequence",
        "country code",
        "currency code",
        "media type",
        "package type",
        "IBAN country",
        "IBAN length",
        "IBAN character",
        "unknown check",
        "padding",
        "too short",
        "not a digit",
        "character not allowed",
        "too long",
};

std::wstring Reason(const std::string& str)
{
    for (size_t i = 0; i < ARRAYSIZE(kReasons); ++i) {
        if (str == kReasons[i])
            return UiText(IDS_GS1_REASON_FIRST + (UINT)i);
    }
    const std::string strAfterKey = "out of place after key ";
    if (str.compare(0, strAfterKey.size(), strAfterKey) == 0)
        return UiFormat(IDS_GS1_OUT_OF_PLACE, AfxWiden(str.substr(strAfterKey.size()).c_str()));
    return AfxWiden(str.c_str());
}

bool Cut(const std::string& str, const std::string& strPrefix, const std::string& strMiddle, std::string* pstrFirst,
         std::string* pstrRest)
{
    if (str.compare(0, strPrefix.size(), strPrefix) != 0)
        return false;
    size_t nMiddle = str.find(strMiddle, strPrefix.size());
    if (nMiddle == std::string::npos)
        return false;
    *pstrFirst = str.substr(strPrefix.size(), nMiddle - strPrefix.size());
    *pstrRest = str.substr(nMiddle + strMiddle.size());
    return true;
}

std::wstring Replaced(std::wstring str, const std::wstring& strFrom, const std::wstring& strTo)
{
    for (size_t n = str.find(strFrom); n != std::wstring::npos; n = str.find(strFrom, n + strTo.size()))
        str.replace(n, strFrom.size(), strTo);
    return str;
}

}  // namespace

std::wstring Gs1ReasonText(const std::string& strReason)
{
    std::string strFirst, strRest;
    if (Cut(strReason, "AI ", " and AI ", &strFirst, &strRest) && strRest.size() > 20 &&
        strRest.compare(strRest.size() - 20, 20, " exclude each other") == 0)
        return UiFormat(IDS_GS1_EXCLUDE, AfxWiden(strFirst.c_str()),
                        AfxWiden(strRest.substr(0, strRest.size() - 20).c_str()));
    if (Cut(strReason, "AI ", " requires AI ", &strFirst, &strRest)) {
        std::wstring strWanted = Replaced(AfxWiden(strRest.c_str()), L" or ", UiText(IDS_GS1_OR));
        return UiFormat(IDS_GS1_REQUIRES, AfxWiden(strFirst.c_str()), Replaced(strWanted, L" with ", UiText(IDS_GS1_WITH)));
    }
    if (Cut(strReason, "AI ", ": ", &strFirst, &strRest))
        return UiFormat(IDS_GS1_AI_REASON, AfxWiden(strFirst.c_str()), Reason(strRest));
    if (Cut(strReason, "unknown AI ", " in the query", &strFirst, &strRest) && strRest.empty())
        return UiFormat(IDS_GS1_UNKNOWN_QUERY, AfxWiden(strFirst.c_str()));
    if (Cut(strReason, "", " at character ", &strFirst, &strRest))
        return UiFormat(IDS_GS1_AT_CHARACTER, Reason(strFirst), AfxWiden(strRest.c_str()));
    return Reason(strReason);
}
