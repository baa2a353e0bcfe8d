#include "iniwrite.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <afxwin.h>

namespace {

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

std::string Trim(const std::string& str)
{
    size_t nStart = 0, nEnd = str.size();
    while (nStart < nEnd && IsBlank(str[nStart]))
        ++nStart;
    while (nEnd > nStart && IsBlank(str[nEnd - 1]))
        --nEnd;
    return str.substr(nStart, nEnd - nStart);
}

// One line of a text: [nStart, nEnd) without its line break, which ends
// before nNext.
struct CLine {
    size_t nStart, nEnd, nNext;
};

std::vector<CLine> SplitLines(const std::string& strText)
{
    std::vector<CLine> lines;
    for (size_t nStart = 0; nStart < strText.size();) {
        size_t nBreak = strText.find('\n', nStart);
        size_t nNext = nBreak == std::string::npos ? strText.size() : nBreak + 1;
        size_t nEnd = nBreak == std::string::npos ? strText.size() : nBreak;
        if (nEnd > nStart && strText[nEnd - 1] == '\r')
            --nEnd;
        lines.push_back({ nStart, nEnd, nNext });
        nStart = nNext;
    }
    return lines;
}

std::string LineBreak(const std::string& strText)
{
    size_t nBreak = strText.find('\n');
    return nBreak != std::string::npos && (nBreak == 0 || strText[nBreak - 1] != '\r') ? "\n" : "\r\n";
}

const char kUtf8Mark[] = "\xEF\xBB\xBF";

bool HasUtf8Mark(const std::string& strText)
{
    return strText.compare(0, 3, kUtf8Mark) == 0;
}

// The line's last "]", read character by character: in a double-byte code
// page the second byte of a character may be 0x5D. npos when it has none.
size_t LastClose(const std::string& strLine, UINT nCodePage)
{
    size_t nClose = std::string::npos;
    for (size_t i = 0; i < strLine.size(); ++i) {
        if (strLine[i] == ']')
            nClose = i;
        else if (IsDBCSLeadByteEx(nCodePage, (BYTE)strLine[i]))
            ++i;
    }
    return nClose;
}

// "[name]", blanks allowed around it and the name; as the system reads it,
// the name runs to the line's last "]", and a line without one is none.
bool IsSection(const std::string& strLine, UINT nCodePage, std::string* pstrName)
{
    std::string str = Trim(strLine);
    size_t nClose = LastClose(str, nCodePage);
    if (str.empty() || str[0] != '[' || nClose == std::string::npos)
        return false;
    *pstrName = Trim(str.substr(1, nClose - 1));
    return true;
}

// Section names compare as the system compares them: by character, in any case.
bool SameName(const std::string& strA, const std::string& strB, UINT nCodePage)
{
    std::wstring strWideA = AfxWiden(strA.c_str(), (int)strA.size(), nCodePage);
    std::wstring strWideB = AfxWiden(strB.c_str(), (int)strB.size(), nCodePage);
    if (strWideA.size() != strWideB.size())
        return false;
    if (!strWideA.empty()) {
        CharLowerBuffW(&strWideA[0], (DWORD)strWideA.size());
        CharLowerBuffW(&strWideB[0], (DWORD)strWideB.size());
    }
    return strWideA == strWideB;
}

std::string Recode(const std::string& str, UINT nFrom, UINT nTo)
{
    std::wstring strWide = AfxWiden(str.c_str(), (int)str.size(), nFrom);
    int n = strWide.empty() ? 0 : WideCharToMultiByte(nTo, 0, strWide.data(), (int)strWide.size(), NULL, 0, NULL, NULL);
    std::string strOut(n, '\0');
    if (n)
        WideCharToMultiByte(nTo, 0, strWide.data(), (int)strWide.size(), &strOut[0], n, NULL, NULL);
    return strOut;
}

// "name = value": a line with an "=" (comments have names of their own,
// starting with ";", which no key matches).
bool IsKey(const std::string& strLine, LPCSTR pszKey, size_t* pnEquals)
{
    size_t nEquals = strLine.find('=');
    if (nEquals == std::string::npos || _stricmp(Trim(strLine.substr(0, nEquals)).c_str(), pszKey) != 0)
        return false;
    *pnEquals = nEquals;
    return true;
}

// What GetPrivateProfileString hands out for a stored value: blanks at the
// ends go, and then one pair of matching quotes around it.
std::string ReadBack(const std::string& strStored)
{
    std::string str = Trim(strStored);
    if (str.size() >= 2 && (str[0] == '"' || str[0] == '\'') && str.back() == str[0])
        return str.substr(1, str.size() - 2);
    return str;
}

std::string Stored(const std::string& strValue)
{
    bool bQuote = !strValue.empty() &&
                  (IsBlank(strValue[0]) || IsBlank(strValue.back()) || ReadBack(strValue) != strValue);
    return bQuote ? "\"" + strValue + "\"" : strValue;
}

std::string ChangeOne(const std::string& strText, const CIniChange& change, UINT nCodePage)
{
    std::string strBreak = LineBreak(strText);
    std::string strLine = std::string(change.pszKey) + "=" + Stored(change.strValue);
    std::vector<CLine> lines = SplitLines(strText);
    size_t i = 0;
    std::string strName;
    for (; i < lines.size(); ++i) {
        std::string str = strText.substr(lines[i].nStart, lines[i].nEnd - lines[i].nStart);
        if (IsSection(str, nCodePage, &strName) && SameName(strName, change.strSection, nCodePage))
            break;
    }
    if (i == lines.size()) {
        if (change.bRemove)
            return strText;
        std::string strNew = strText;
        if (!strNew.empty() && strNew.back() != '\n')
            strNew += strBreak;
        if (!strNew.empty())
            strNew += strBreak;
        return strNew + "[" + change.strSection.c_str() + "]" + strBreak + strLine + strBreak;
    }

    // A new key goes after the section's last key; in a section without
    // keys, after the lines right below its name. Comments further down
    // may speak of something else (another section's example).
    size_t nLastKey = 0, nLast = i;
    bool bParagraph = true;
    for (size_t j = i + 1; j < lines.size(); ++j) {
        std::string str = strText.substr(lines[j].nStart, lines[j].nEnd - lines[j].nStart);
        if (IsSection(str, nCodePage, &strName))
            break;
        size_t nEquals = 0;
        if (IsKey(str, change.pszKey, &nEquals)) {
            std::string strNew = strText;
            if (change.bRemove)
                return strNew.erase(lines[j].nStart, lines[j].nNext - lines[j].nStart);
            if (ReadBack(str.substr(nEquals + 1)) == change.strValue)
                return strText;
            size_t nValue = lines[j].nStart + nEquals + 1;
            while (nValue < lines[j].nEnd && (strText[nValue] == ' ' || strText[nValue] == '\t'))
                ++nValue;
            return strNew.replace(nValue, lines[j].nEnd - nValue, Stored(change.strValue));
        }
        std::string strTrimmed = Trim(str);
        bParagraph = bParagraph && !strTrimmed.empty();
        if (bParagraph)
            nLast = j;
        if (strTrimmed.find('=') != std::string::npos && strTrimmed[0] != ';')
            nLastKey = j;
    }
    if (change.bRemove)
        return strText;
    if (nLastKey)
        nLast = nLastKey;
    std::string strNew = strText;
    size_t nAt = lines[nLast].nNext;
    if (nAt == lines[nLast].nEnd)   // the text's last line, without a line break
        strLine = strBreak + strLine;
    return strNew.insert(nAt, strLine + strBreak);
}

// The section-wide change for a section's name, or NULL.
const CIniChange* SectionChange(const std::vector<CIniChange>& changes, const std::string& strName,
                                UINT nCodePage)
{
    for (const CIniChange& change : changes) {
        if (!change.pszKey && SameName(change.strSection, strName, nCodePage))
            return &change;
    }
    return NULL;
}

std::string ChangeSections(const std::string& strText, const std::vector<CIniChange>& changes, UINT nCodePage)
{
    std::vector<CLine> lines = SplitLines(strText);
    std::string strNew;
    size_t nCopied = 0;   // strText is copied up to here
    std::string strName;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string str = strText.substr(lines[i].nStart, lines[i].nEnd - lines[i].nStart);
        const CIniChange* pChange =
            IsSection(str, nCodePage, &strName) ? SectionChange(changes, strName, nCodePage) : NULL;
        if (!pChange)
            continue;
        strNew.append(strText, nCopied, lines[i].nStart - nCopied);
        if (!pChange->bRemove) {
            size_t nOpen = str.find('['), nClose = LastClose(str, nCodePage);
            strNew += str.substr(0, nOpen + 1) + pChange->strValue + str.substr(nClose);
            nCopied = lines[i].nEnd;
            continue;
        }
        size_t nEnd = i;   // the last line that goes
        for (size_t j = i + 1; j < lines.size(); ++j) {
            std::string strLine = Trim(strText.substr(lines[j].nStart, lines[j].nEnd - lines[j].nStart));
            if (IsSection(strLine, nCodePage, &strName))
                break;
            if (strLine.find('=') != std::string::npos && strLine[0] != ';')
                nEnd = j;
        }
        while (nEnd + 1 < lines.size() &&
               Trim(strText.substr(lines[nEnd + 1].nStart, lines[nEnd + 1].nEnd - lines[nEnd + 1].nStart)).empty())
            ++nEnd;
        nCopied = lines[nEnd].nNext;
        i = nEnd;
    }
    return strNew + strText.substr(nCopied);
}

}  // namespace

std::string ChangeIniText(const std::string& strText, const std::vector<CIniChange>& changes, UINT nCodePage)
{
    // Behind a UTF-8 mark the system reads the file as UTF-8.
    std::vector<CIniChange> recoded = changes;
    size_t nMark = HasUtf8Mark(strText) ? 3 : 0;
    if (nMark) {
        for (CIniChange& change : recoded) {
            change.strSection = Recode(change.strSection, nCodePage, CP_UTF8);
            change.strValue = Recode(change.strValue, nCodePage, CP_UTF8);
        }
        nCodePage = CP_UTF8;
    }
    std::string strNew = ChangeSections(strText.substr(nMark), recoded, nCodePage);
    for (const CIniChange& change : recoded) {
        if (change.pszKey)
            strNew = ChangeOne(strNew, change, nCodePage);
    }
    return strText.substr(0, nMark) + strNew;
}

std::string ChangeDecodeTimeText(const std::string& strText, int nMs)
{
    // As atoi reads: blanks, a sign, digits.
    size_t nStart = 0;
    while (nStart < strText.size() && IsBlank(strText[nStart]))
        ++nStart;
    size_t nEnd = nStart < strText.size() && (strText[nStart] == '+' || strText[nStart] == '-')
                      ? nStart + 1 : nStart;
    size_t nDigits = nEnd;
    while (nEnd < strText.size() && isdigit((unsigned char)strText[nEnd]))
        ++nEnd;
    std::string strNumber = std::to_string(nMs);
    if (nEnd == nDigits)
        return strNumber + LineBreak(strText) + strText;
    return strText.substr(0, nStart) + strNumber + strText.substr(nEnd);
}

