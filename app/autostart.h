// Start at sign-in: a shortcut in the user's Startup folder, as the setup
// program makes it, rather than a Run key, which gives the program no
// working folder.
#pragma once

#include <windows.h>

#include <string>

// The shortcut's path; empty when the folder is unknown.
std::wstring StartupShortcutPath(bool bCreateFolder);

bool IsAutostartOn();

// Makes or removes the shortcut; S_OK, or why not. *pstrLink gets its path.
HRESULT SetAutostartShortcut(bool bOn, std::wstring* pstrLink);
