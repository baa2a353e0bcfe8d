// The rules window's Test box: what a sample code would type under the
// settings of a typeSet.ini text, with what the organisation sets, as the
// program reads them, and which rule decided.
#pragma once

#include <string>

// strSample as the user wrote it, escapes and all; strProgram the file name
// of the program in front.
std::wstring TestSample(const std::string& strTypeSetText, const std::wstring& strSample,
                        const std::wstring& strProgram);
