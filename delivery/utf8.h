// Decoded text arrives as UTF-8 or already in the ANSI code page; the program
// types it in the ANSI code page.
#pragma once

#include <afxwin.h>

// True when the n bytes are well-formed UTF-8: no stray or missing
// continuation bytes, no overlong forms, no surrogates, nothing above
// U+10FFFF. Plain ASCII passes. Text in a double-byte code page almost never
// does, so it is not mistaken for UTF-8 and garbled.
bool IsUtf8(const char* pText, int nLength);

// Converts UTF-8 text in place to the ANSI code page; characters the code
// page lacks become its default character.
void Utf8ToAnsi(CString& strText);
