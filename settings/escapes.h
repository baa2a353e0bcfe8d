// The escapes of settings texts: what a value in a file types, and how a
// typed value is stored.
#pragma once

#include <afxwin.h>

#include <string>

// Turns a settings value in the code page into what it types: {TAB} a tab
// (the Tab key), {ENTER} a CR (the plain Enter key), {GS} {RS} {EOT} the
// control characters 0x1D 0x1E 0x04, {U+XXXX} the character of that code
// point (for characters the code page lacks), {{ and }} a brace; keys by
// name ({F1}..{F24} {HOME} {END} {UP} {DOWN} {LEFT} {RIGHT} {PGUP} {PGDN}
// {INS} {DEL} {BS} {ESC}) and with modifiers ({CTRL+A}, {ALT+F4},
// {CTRL+SHIFT+HOME}: a letter, a digit or a named key, also TAB, ENTER and
// SPACE), and pauses ({DELAY n}, n at most 2000 ms), in-band as
// typedtext.h describes; case does not matter. The value is read character
// by character, so the second byte of a double-byte character is never a
// brace. False, leaving strOut alone, on an unknown escape or a lone brace.
bool ExpandEscapes(LPCSTR pszValue, std::wstring& strOut, UINT nCodePage = CP_ACP);

// An in-band key (modifiers << 8 | virtual key, see typedtext.h) by the
// name a settings text gives it: {F2}, {CTRL+A}, {CTRL+SHIFT+HOME}.
std::wstring KeyEscapeName(wchar_t chKey);

// A value typed in the settings window, as it is stored: the text itself in
// the code page, except characters the code page cannot store, and control
// characters, which become {U+XXXX}. Braces stay: the window shows values
// with their escapes.
std::string EncodeSettingValue(const std::wstring& strText, UINT nCodePage = CP_ACP);
