// Decoded text arrives as UTF-8 or already in the ANSI code page; the program
// types it in the ANSI code page.
#pragma once

#include <afxwin.h>

#include <string>

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

// The text in the ANSI code page; characters the code page lacks become its
// default character (one for each UTF-16 unit), never a look-alike.
CString WideToAnsi(const std::wstring& wide);

// Converts UTF-8 text in place to the ANSI code page, without a leading
// byte-order mark, as WideToAnsi does.
void Utf8ToAnsi(CString& strText);
