// Where a decode would be typed: the focused control of the foreground
// application, and whether typing there can work at all.
#pragma once

#include <windows.h>

#include <string>

#include "keystrokes.h"

enum TargetStatus {
    TARGET_OK,          // type into hFocus
    TARGET_SELF,        // the tray window is in front
    TARGET_NO_FOCUS,    // no foreground window, or no control in it has the focus
    TARGET_ELEVATED     // the application in front runs with higher rights than we do
};

struct CTypingTarget {
    HWND hWindow;
    HWND hFocus;
    DWORD dwThreadId;
    DWORD dwProcessId;
    // Read while joined to the target's input: Wine resets a target's key
    // state each time a thread joins it, so a later read would see nothing.
    KeyboardSnapshot keys;
};

enum Elevation { ELEVATION_UNKNOWN = -1, ELEVATION_NO = 0, ELEVATION_YES = 1 };

// Reads whether the process's token is elevated; FALSE when it cannot be read.
typedef BOOL (*PFN_TOKEN_ELEVATION)(DWORD dwProcessId, DWORD* pdwElevated);
BOOL ReadTokenElevation(DWORD dwProcessId, DWORD* pdwElevated);

Elevation ProcessElevation(DWORD dwProcessId, PFN_TOKEN_ELEVATION pfnRead = ReadTokenElevation);

// Windows drops input sent to a process of higher rights without an error,
// so only a target known to be elevated while we are known not to be is
// refused; anything unknown is typed into.
TargetStatus CheckElevation(DWORD dwTargetProcessId, PFN_TOKEN_ELEVATION pfnRead = ReadTokenElevation);

// The file name of a process's program ("EXCEL.EXE"); empty when it cannot
// be read.
std::wstring ProgramFileName(DWORD dwProcessId);

// Finds the foreground window and its focused control; hSelf is the tray
// window: no window of its process (the tray window, the settings window)
// may receive a decode.
TargetStatus FindTypingTarget(HWND hSelf, CTypingTarget* pTarget,
                              PFN_TOKEN_ELEVATION pfnRead = ReadTokenElevation);
