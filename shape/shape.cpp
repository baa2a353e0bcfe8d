#include "shape.h"

#include <stdlib.h>
#include <string.h>

#include "gs1.h"
#include "typedtext.h"
#include "utf8.h"

namespace {

// Bytes that are not UTF-8 under a UTF-8 code page come from a scanner set
// up for the code page the user's language had before: GBK on a Chinese
// system, 1252 on a Western one.
UINT LegacyCodePage()
{
    char szCodePage[8] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, szCodePage, sizeof(szCodePage));
    UINT nCodePage = (UINT)atoi(szCodePage);
    return nCodePage == 0 || nCodePage == CP_UTF8 ? 1252 : nCodePage;
}

UINT ReadingCodePage(UINT nCodePage)
{
    if (nCodePage == CP_ACP)
        nCodePage = GetACP();
    return nCodePage == CP_UTF8 ? LegacyCodePage() : nCodePage;
}

bool IsKeptControl(wchar_t ch)
{
    for (char c : kControlChars) {
        if (ch == (unsigned char)c)
            return true;
    }
    return false;
}

// GS, RS and EOT as the options say. Noncharacters are left out: they
// would stand for keys and pauses.
std::wstring ReplaceControls(const std::wstring& strCode, const COutputOptions& options)
{
    std::wstring out;
    out.reserve(strCode.size());
    for (wchar_t ch : strCode) {
        if (IsNoncharacter(ch))
            continue;
        const CControlOutput* pFound = NULL;
        for (const CControlOutput& c : options.controls) {
            if (ch == (unsigned char)c.ch && !c.bKeep)
                pFound = &c;
        }
        if (pFound)
            out += pFound->strWith;
        else
            out += ch;
    }
    return out;
}

// Line breaks to one Enter each, a surrogate without its other half to
// U+FFFD (a rule's group may cut a pair), and no control character that a
// control would take as a command.
std::wstring KeysAndCharacters(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    CTypedWalk walk(text);
    for (TypedItem item; walk.Next(&item);) {
        wchar_t ch = item.Char();
        if (item.kind == TypedItem::kKey)
            AppendKey(out, item.bVk, item.bMods);
        else if (item.kind == TypedItem::kPause)
            AppendPause(out, item.dwMs);
        else if (ch == L'\t' || ch == L'\r' || (ch >= 0x20 && ch != 0x7F) || IsKeptControl(ch))
            out.append(item.awch, item.nUnits);
    }
    return out;
}

// The code as DigitalLink asks it typed; a URI that is no valid Digital
// Link stays as scanned, and *pstrError says why.
std::wstring LinkAsAsked(const std::wstring& strCode, DigitalLinkOutput nOutput, std::string* pstrError)
{
    std::vector<Gs1Element> elements;
    if (nOutput == DIGITAL_LINK_ASIS || !IsDigitalLink(strCode) || !ParseGs1(strCode, &elements, pstrError))
        return strCode;
    return nOutput == DIGITAL_LINK_ELEMENT ? Gs1ElementString(elements) : Gs1Bracketed(elements);
}

}  // namespace

ShapedDecode ShapeDecode(const char* pszDecode, const COutputOptions& options,
                         bool bAppendEnter, UINT nCodePage, const CRules* pRules,
                         const std::wstring& strProgram)
{
    const char* pText = pszDecode ? pszDecode : "";
    int nLength = (int)strlen(pText);
    ShapedDecode shaped;
    if (TakeAsUtf8(pText, nLength, nCodePage)) {
        int nBom = nLength >= 3 && memcmp(pText, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
        shaped.strCode = AfxWiden(pText + nBom, nLength - nBom, CP_UTF8);
        shaped.strLogged = pText;
        Utf8ToAnsi(shaped.strLogged);
    } else {
        UINT nReading = ReadingCodePage(nCodePage);
        shaped.strCode = AfxWiden(pText, nLength, nReading);
        // The log is in the ANSI code page, whatever the decode's bytes were.
        shaped.strLogged = nReading == GetACP() ? CString(pText) : WideToAnsi(shaped.strCode);
    }
    std::wstring strTyped = options.strPrefix;
    RuleOutcome rule = pRules ? pRules->Apply(shaped.strCode, strProgram) : RuleOutcome();
    shaped.nRule = rule.nRule;
    shaped.bRejected = rule.bReject;
    shaped.ruleErrors = rule.errors;
    shaped.ruleSkips = rule.skips;
    if (rule.bReject) {
        shaped.bShiftEnter = false;
        return shaped;
    }
    if (!rule.nRule)
        rule.pieces.push_back(RulePiece{ true, shaped.strCode });
    std::wstring strWhole = LinkAsAsked(shaped.strCode, options.nDigitalLink, &shaped.strLinkError);
    for (const RulePiece& piece : rule.pieces) {
        // Where the code goes whole, it goes in the form asked for.
        const std::wstring& strText = piece.bFromCode && piece.strText == shaped.strCode ? strWhole : piece.strText;
        strTyped += piece.bFromCode ? ReplaceControls(strText, options) : strText;
    }
    if (options.bSuffix)
        strTyped += options.strSuffix;
    shaped.strTyped = KeysAndCharacters(strTyped);
    shaped.bShiftEnter = bAppendEnter && !options.bSuffix;
    return shaped;
}

CRepeatFilter::CRepeatFilter(PFN_CLOCK pfnClock)
    : m_pfnClock(pfnClock), m_bTyped(false), m_dwTypedAt(0)
{
}

bool CRepeatFilter::IsRepeat(const std::wstring& strCode, int nWindowMs)
{
    if (m_strLast != strCode) {
        m_strLast = strCode;
        m_bTyped = false;
        return false;
    }
    // Unsigned difference: right across the tick count's wrap after 49 days.
    return nWindowMs > 0 && m_bTyped && m_pfnClock() - m_dwTypedAt < (DWORD)nWindowMs;
}

void CRepeatFilter::NoteTyped()
{
    m_bTyped = true;
    m_dwTypedAt = m_pfnClock();
}
