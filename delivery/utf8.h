// Decoded text arrives as UTF-8 or already in the ANSI code page; the program
// types it in the ANSI code page.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

// True when the n bytes are well-formed UTF-8: no stray or missing
// continuation bytes, no overlong forms, no surrogates, nothing above
// U+10FFFF. Plain ASCII passes. Text in a double-byte code page almost never
// does, so it is not mistaken for UTF-8 and garbled.
bool IsUtf8(const char* pText, int nLength);

// True when the n bytes are to be read as UTF-8 and converted, false when
// they are text in the code page already (or plain ASCII, which reads the
// same either way). A UTF-8 byte-order mark settles it. Under a single-byte
// code page well-formed UTF-8 is UTF-8. Under a double-byte code page short
// Chinese text is often well-formed UTF-8 too (同学 is CD AC D1 A7), so
// where both readings are valid the one that makes sense wins: see the
// comments in utf8.cpp.
bool TakeAsUtf8(const char* pText, int nLength, UINT nCodePage = CP_ACP);

// Characters of a converted text that the ANSI code page lacks: the nBytes
// bytes at nOffset of the converted text (its default characters, one for
// each UTF-16 unit) stand for strWide, one or more characters in UTF-16,
// surrogate pairs whole.
struct UnicodeRun {
    int nOffset;
    int nBytes;
    std::wstring strWide;
};

// Converts UTF-8 text in place to the ANSI code page, without a leading
// byte-order mark; characters the code page lacks become its default
// character, never a look-alike. With pLost, says which bytes those are and
// what they stood for, consecutive ones as one run.
void Utf8ToAnsi(CString& strText, std::vector<UnicodeRun>* pLost = NULL);
