#include "gs1link.h"

#include <string.h>

#include <algorithm>

#include "gs1dict.h"

namespace {

// The primary keys, each with the qualifiers that may follow it in the path
// in their only order, and the other order that may take their place.
const struct CKey {
    const char* pszAi;
    const char* pszQualifiers;   // AIs between blanks
    const char* pszOther;
} kKeys[] = {
    { "00", "", "" }, { "01", " 22 10 21 ", " 235 " }, { "253", "", "" }, { "255", "", "" },
    { "401", "", "" }, { "402", "", "" }, { "414", " 254 ", " 7040 " }, { "415", " 8020 ", "" },
    { "417", " 7040 ", "" }, { "8003", "", "" }, { "8004", " 7040 ", "" }, { "8006", " 22 10 21 ", "" },
    { "8010", " 8011 ", "" }, { "8013", "", "" }, { "8017", " 8019 ", "" }, { "8018", " 8019 ", "" },
};

// AIs that mean something only beside their key in the path, or that a URI
// must not show to whoever reads the address.
const char kNotAttributes[] = " 03 21 22 235 254 7040 7041 8011 8014 8019 8020 8040 8041 8042 8043 8200 ";

bool InList(const char* pszList, const std::string& strAi)
{
    return strstr(pszList, (" " + strAi + " ").c_str()) != NULL;
}

const CKey* FindKey(const std::string& strAi)
{
    for (const CKey& key : kKeys) {
        if (strAi == key.pszAi)
            return &key;
    }
    return NULL;
}

// The dictionary's row when the whole segment is one AI.
const CAiFormat* FindAi(const std::string& strSegment)
{
    if (strSegment.empty() || strSegment.find_first_not_of("0123456789") != std::string::npos)
        return NULL;
    const CAiFormat* pRow = FindGs1Ai(strSegment, 0);
    return pRow && strlen(pRow->ai.pszFirst) == strSegment.size() ? pRow : NULL;
}

// The qualifiers follow the list's order, each at most once.
bool InOrder(const char* pszList, const std::vector<std::string>& qualifiers)
{
    const char* pszRest = pszList;
    for (const std::string& strAi : qualifiers) {
        const char* pFound = strstr(pszRest, (" " + strAi + " ").c_str());
        if (!pFound)
            return false;
        pszRest = pFound + strAi.size() + 1;
    }
    return true;
}

// RFC 3986's characters: unreserved, reserved, and % for escapes.
bool IsUriCharacter(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
           (ch != 0 && strchr("-._~:/?#[]@!$&'()*+,;=%", ch));
}

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'f')
        return (ch | 0x20) - 'a' + 10;
    return -1;
}

// %XX in either case; a NUL could end the value early in whoever takes it.
bool PercentDecode(const std::string& strIn, bool bPlusIsSpace, std::string* pstrOut)
{
    pstrOut->clear();
    for (size_t i = 0; i < strIn.size(); ++i) {
        char ch = strIn[i];
        if (ch == '%') {
            if (i + 2 >= strIn.size())
                return false;
            int nHigh = HexDigit(strIn[i + 1]), nLow = HexDigit(strIn[i + 2]);
            if (nHigh < 0 || nLow < 0 || (nHigh == 0 && nLow == 0))
                return false;
            ch = (char)(nHigh * 16 + nLow);
            i += 2;
        } else if (ch == '+' && bPlusIsSpace) {
            ch = ' ';
        }
        *pstrOut += ch;
    }
    return true;
}

// Letters, digits, '-' and '.', or an IP literal in brackets; then a port.
bool IsHostAndPort(const std::string& strAuthority)
{
    if (strAuthority.empty())
        return false;
    size_t nEnd = 0;
    if (strAuthority[0] == '[') {
        nEnd = strAuthority.find(']');
        if (nEnd == std::string::npos || nEnd == 1 ||
            strAuthority.find_first_not_of("0123456789abcdefABCDEF:.", 1) != nEnd)
            return false;
        ++nEnd;
    } else {
        nEnd = strAuthority.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-.");
        if (nEnd == 0)
            return false;
        nEnd = nEnd == std::string::npos ? strAuthority.size() : nEnd;
    }
    if (nEnd == strAuthority.size())
        return true;
    std::string strPort = strAuthority.substr(nEnd + 1);
    return strAuthority[nEnd] == ':' && !strPort.empty() && strPort.size() <= 5 &&
           strPort.find_first_not_of("0123456789") == std::string::npos;
}

std::vector<std::string> Split(const std::string& s, char chAt)
{
    std::vector<std::string> parts;
    for (size_t nStart = 0;;) {
        size_t nEnd = s.find(chAt, nStart);
        parts.push_back(s.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart));
        if (nEnd == std::string::npos)
            return parts;
        nStart = nEnd + 1;
    }
}

// The value decoded and checked as an element string's would be.
std::string AddElement(const std::string& strAi, const CAiFormat* pRow, const std::string& strRaw,
                       bool bPlusIsSpace, std::vector<Gs1Element>* pElements)
{
    for (const Gs1Element& before : *pElements) {
        if (before.strAi == strAi)
            return "AI " + strAi + ": given twice";
    }
    Gs1Element element;
    element.strAi = strAi;
    if (!PercentDecode(strRaw, bPlusIsSpace, &element.strValue))
        return "AI " + strAi + ": percent escape";
    if (const char* pszWrong = CheckGs1Value(element.strValue, pRow->pszFormat))
        return "AI " + strAi + ": " + pszWrong;
    pElements->push_back(element);
    return std::string();
}

// The key is the right-most primary key after which only AI/value pairs
// follow: a path prefix before it may hold anything, AI-like, empty or not.
// *pstrQualifiers: the AIs that belong in this path, not in its query: the
// qualifiers of the order the path follows, of both when it has none.
std::string SplitPath(const std::vector<std::string>& segments, std::string* pstrQualifiers,
                      std::vector<Gs1Element>* pElements)
{
    // From the right, once: whether every other segment from j on is an AI.
    size_t nCount = segments.size(), nKey = nCount;
    std::vector<char> abPairsFrom(nCount + 2, 1);
    for (size_t j = nCount; j-- > 0;)
        abPairsFrom[j] = FindAi(segments[j]) != NULL && abPairsFrom[j + 2];
    for (size_t i = nCount - 1; i-- > 0 && nKey == nCount;) {
        if (FindKey(segments[i]) && abPairsFrom[i + 2])
            nKey = i;
    }
    for (size_t i = nKey == nCount ? 0 : nKey; i < nCount; ++i) {
        if (segments[i].empty())
            return "empty path segment";
    }
    if (nKey == nCount)
        return "no key in the path";
    if ((nCount - nKey) % 2)
        return "AI " + segments[nCount - 1] + ": no value";
    const CKey* pKey = FindKey(segments[nKey]);
    std::vector<std::string> qualifiers;
    for (size_t j = nKey + 2; j < nCount; j += 2) {
        qualifiers.push_back(segments[j]);
        if (!InOrder(pKey->pszQualifiers, qualifiers) && !InOrder(pKey->pszOther, qualifiers))
            return "AI " + segments[j] + ": out of place after key " + segments[nKey];
    }
    if (qualifiers.empty())
        *pstrQualifiers = std::string(pKey->pszQualifiers) + pKey->pszOther;
    else
        *pstrQualifiers = InOrder(pKey->pszQualifiers, qualifiers) ? pKey->pszQualifiers : pKey->pszOther;
    for (size_t j = nKey; j < nCount; j += 2) {
        std::string strWrong = AddElement(segments[j], FindAi(segments[j]), segments[j + 1], false, pElements);
        if (!strWrong.empty())
            return strWrong;
    }
    return std::string();
}

// AI=value attributes; parameters of other names are not GS1's and are skipped.
std::string SplitQuery(const std::string& strQuery, const std::string& strQualifiers,
                       std::vector<Gs1Element>* pElements)
{
    for (const std::string& strParameter : Split(strQuery, '&')) {
        size_t nEquals = strParameter.find('=');
        if (nEquals == std::string::npos)
            continue;
        // An AI's name may come percent-encoded: "%31%30" is AI 10.
        std::string strName;
        if (!PercentDecode(strParameter.substr(0, nEquals), true, &strName) || strName.empty() ||
            strName.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const CAiFormat* pRow = FindAi(strName);
        if (!pRow)
            return "unknown AI " + strName + " in the query";
        if (InList(kNotAttributes, strName))
            return "AI " + strName + ": not allowed in the query";
        if (InList(strQualifiers.c_str(), strName))
            return "AI " + strName + ": belongs in the path";
        std::string strWrong = AddElement(strName, pRow, strParameter.substr(nEquals + 1), true, pElements);
        if (!strWrong.empty())
            return strWrong;
    }
    return std::string();
}

}  // namespace

bool HasDigitalLinkScheme(const std::string& s)
{
    static const char* const kSchemes[] = { "http://", "https://", "HTTP://", "HTTPS://" };
    for (const char* pszScheme : kSchemes) {
        if (s.compare(0, strlen(pszScheme), pszScheme) == 0)
            return true;
    }
    return false;
}

std::string SplitDigitalLink(const std::string& s, std::vector<Gs1Element>* pElements)
{
    for (char ch : s) {
        if (!IsUriCharacter(ch))
            return "character not allowed in a URI";
    }
    std::string strUri = s.substr(0, s.find('#'));
    size_t nQuery = std::min(strUri.find('?'), strUri.size());
    size_t nHost = strUri.find("://") + 3;
    size_t nPath = std::min(strUri.find('/', nHost), nQuery);
    if (!IsHostAndPort(strUri.substr(nHost, nPath - nHost)))
        return "host";
    std::string strPath = strUri.substr(nPath, nQuery - nPath);
    if (strPath.size() <= 1)
        return "no key in the path";
    std::vector<std::string> segments = Split(strPath.substr(1), '/');
    if (segments.back().empty())
        return "path ends in /";
    std::string strQualifiers;
    std::string strWrong = SplitPath(segments, &strQualifiers, pElements);
    if (strWrong.empty() && nQuery < strUri.size())
        strWrong = SplitQuery(strUri.substr(nQuery + 1), strQualifiers, pElements);
    return strWrong;
}
