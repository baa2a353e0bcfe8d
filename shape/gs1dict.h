// GS1's dictionary of Application Identifiers: the format of each AI's
// value and the checks the value must pass.
#pragma once

#include <stddef.h>

#include <string>

// An AI matches a row when it has as many digits as pszFirst and each digit
// lies between those of pszFirst and pszLast: "3100".."3165" stands for 310n
// to 316n, n (the decimal places) 0 to 5.
struct CAiRange {
    const char* pszFirst;
    const char* pszLast;
};

// The value's format as GS1's syntax dictionary writes it, so that each row
// reads against that list. "* " first: the AI's length is predefined, and a
// code may run on into the next AI without a GS. Then the parts, in order:
// N digits, X the 82 characters of CSET 82, Y the 39 of CSET 39, Z the 64 of
// CSET 64 (base64url); a length ("14") or a maximum ("..20"); [..] a part
// that may be left out once the value has run out; after commas, the checks
// of kChecks below that the part must pass.
struct CAiFormat {
    CAiRange ai;
    const char* pszFormat;
};

// The dictionary's row for the AI at pos, or NULL.
const CAiFormat* FindGs1Ai(const std::string& s, size_t pos);

// What is wrong with the value for this format, or NULL.
const char* CheckGs1Value(const std::string& strValue, const char* pszFormat);

// The length of a value whose AI has a predefined length: the sum of its
// parts, all of fixed length. 0 for any other AI.
size_t Gs1PredefinedLength(const char* pszFormat);
