// The texts the user reads (the tray menu, the notices, the About box, the
// message box of a second copy) in Chinese or English. Both languages carry
// the same resource ids; the language is picked once at start-up, and the
// texts are handed out as UTF-16 for the Unicode functions, since the ANSI
// ones would turn every character the system's code page lacks into "?".
#pragma once

#include <windows.h>

#include <string>

#include "settings.h"

// Chinese when the setting says so, or says auto and the user's interface
// language is Chinese; English otherwise. Until it is called: Chinese.
void UiSelectLanguage(UiLanguageSetting setting);

// The string, cut to fit the buffer and always terminated; the number of
// characters copied, 0 when there is no such string.
int UiLoadString(UINT nID, LPWSTR pszBuffer, int cchBuffer);

// The string by id, and with up to two %s filled in.
std::wstring UiText(UINT nID);
std::wstring UiFormat(UINT nID, const std::wstring& str1, const std::wstring& str2 = L"");

// The system's text for an error code, without its closing line break.
std::wstring UiSystemText(DWORD dwError);

// A menu the caller destroys, or NULL.
HMENU UiLoadMenu(UINT nID);

// A dialog template for CDialog::InitModalIndirect, or NULL.
LPCDLGTEMPLATEW UiLoadDialog(UINT nID);
