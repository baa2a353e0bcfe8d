#include "gs1.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "gs1dict.h"
#include "gs1link.h"
#include "gs1pairs.h"

namespace {

const char kGs = 0x1D;

// Symbology identifiers of GS1-128, GS1 DataMatrix, GS1 QR, GS1 DataBar, GS1 DotCode.
const char* const kGs1Identifiers[] = { "]C1", "]d2", "]Q3", "]e0", "]J1" };

std::string AtCharacter(const char* pszWhat, size_t pos)
{
    char sz[64];
    snprintf(sz, sizeof(sz), "%s at character %u", pszWhat, (unsigned)(pos + 1));
    return sz;
}

// The elements, or what is wrong (empty when nothing is).
std::string Split(const std::wstring& strCode, std::vector<Gs1Element>* pElements)
{
    if (strCode.empty())
        return "empty";
    std::string s;
    s.reserve(strCode.size());
    for (size_t i = 0; i < strCode.size(); ++i) {
        if (strCode[i] > 0x7F)
            return AtCharacter("non-ASCII character", i);
        s += (char)strCode[i];
    }

    if (HasDigitalLinkScheme(s))
        return SplitDigitalLink(s, pElements);

    size_t pos = 0;
    for (const char* pszId : kGs1Identifiers) {
        if (s.compare(0, 3, pszId) == 0)
            pos = 3;
    }
    if (pos == 0 && s[0] == ']')
        return "not GS1 data";
    // Some scanners send the FNC1 that the identifier already announces.
    if (pos < s.size() && s[pos] == kGs)
        ++pos;
    if (pos == s.size())
        return "no element";

    while (pos < s.size()) {
        if (s[pos] == kGs)
            return AtCharacter("GS in place of an AI", pos);
        const CAiFormat* pRow = FindGs1Ai(s, pos);
        if (!pRow)
            return AtCharacter("unknown AI", pos);
        Gs1Element element;
        element.strAi = s.substr(pos, strlen(pRow->ai.pszFirst));
        pos += element.strAi.size();
        size_t nEnd = std::min(s.find(kGs, pos), s.size());
        if (size_t nFixed = Gs1PredefinedLength(pRow->pszFormat))
            nEnd = std::min(nEnd, pos + nFixed);
        element.strValue = s.substr(pos, nEnd - pos);
        if (const char* pszWrong = CheckGs1Value(element.strValue, pRow->pszFormat))
            return "AI " + element.strAi + ": " + pszWrong;
        // A field given twice must say the same, or a template could not tell which is meant.
        for (const Gs1Element& before : *pElements) {
            if (before.strAi == element.strAi && before.strValue != element.strValue)
                return "AI " + element.strAi + ": two different values";
        }
        pElements->push_back(element);
        pos = nEnd;
        if (pos < s.size() && s[pos] == kGs)
            ++pos;
    }
    return std::string();
}

}  // namespace

bool ParseGs1(const std::wstring& strCode, std::vector<Gs1Element>* pElements,
              std::string* pstrError)
{
    std::vector<Gs1Element> elements;
    std::string strError = Split(strCode, &elements);
    if (strError.empty())
        strError = CheckGs1Pairs(elements);
    if (!strError.empty())
        elements.clear();
    if (pElements)
        pElements->swap(elements);
    if (pstrError)
        *pstrError = strError;
    return strError.empty();
}

bool IsDigitalLink(const std::wstring& strCode)
{
    std::string strStart;
    for (size_t i = 0; i < strCode.size() && i < 8; ++i)
        strStart += strCode[i] < 0x80 ? (char)strCode[i] : '\x7F';
    return HasDigitalLinkScheme(strStart);
}

std::wstring Gs1ElementString(const std::vector<Gs1Element>& elements)
{
    std::wstring out;
    for (size_t i = 0; i < elements.size(); ++i) {
        const Gs1Element& element = elements[i];
        out.append(element.strAi.begin(), element.strAi.end());
        out.append(element.strValue.begin(), element.strValue.end());
        const CAiFormat* pRow = FindGs1Ai(element.strAi, 0);
        if (i + 1 < elements.size() && !Gs1PredefinedLength(pRow->pszFormat))
            out += (wchar_t)kGs;
    }
    return out;
}

std::wstring Gs1Bracketed(const std::vector<Gs1Element>& elements)
{
    std::wstring out;
    for (const Gs1Element& element : elements) {
        out += L'(';
        out.append(element.strAi.begin(), element.strAi.end());
        out += L')';
        out.append(element.strValue.begin(), element.strValue.end());
    }
    return out;
}
