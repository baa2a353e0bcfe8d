// What the GS1 parser says is wrong, in the user's language: the parser
// itself speaks the log's English.
#pragma once

#include <string>

// The reason as the parser gives it ("AI 01: check digit"); a reason it
// does not know stays as it is.
std::wstring Gs1ReasonText(const std::string& strReason);
