// GS1 element strings: the several fields (GTIN, expiry date, lot, serial...)
// that pharmacy and logistics codes carry in one symbol, each behind its
// Application Identifier (AI). Plain text in, fields out: no window.
#pragma once

#include <string>
#include <vector>

struct Gs1Element {
    std::string strAi;     // "01", "3103", "91"
    std::string strValue;  // the field as it stands in the code, no separator
};

// Splits a GS1 element string, or a GS1 Digital Link URI into the elements
// of its element string (gs1link.h says how). At the start it accepts one symbology
// identifier that announces GS1 data (]C1 ]d2 ]Q3 ]e0 ]J1), one GS (0x1D,
// a transmitted FNC1), or both. An element whose AI has a predefined length
// needs no separator (a GS after it is tolerated); any other ends at a GS or
// at the end. Each value is checked against its AI as GS1's standard
// defines it: character set, length, check digits, dates and times, and the
// other checks of the value itself, code lists included (countries,
// currencies, IBAN, media and package types). Then the elements together
// must keep GS1's pairing rules (gs1pairs.h), in either form. Not checked:
// the structure of coupon codes. On failure it returns false, empties
// *pElements and says why in *pstrError ("AI 01: check digit", "AI 10
// requires AI 01, 02, 03, 8006 or 8026"). Either pointer may be NULL.
bool ParseGs1(const std::wstring& strCode, std::vector<Gs1Element>* pElements,
              std::string* pstrError);

// The code is written as a Digital Link: its scheme is http or https (all
// in lower or all in upper case), whether the rest is valid or not.
bool IsDigitalLink(const std::wstring& strCode);

// The elements as an element string: a GS ends each field whose AI has no
// predefined length, except the last.
std::wstring Gs1ElementString(const std::vector<Gs1Element>& elements);

// The elements as people read them: "(01)09506000134352(10)ABC1".
std::wstring Gs1Bracketed(const std::vector<Gs1Element>& elements);
