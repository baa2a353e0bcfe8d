// Help: the user guide in the user's language, a page of its own next to the
// program, opened in the user's browser at the section of the window in
// front; or the organisation's own page (policy HelpUrl).
#pragma once

#include <windows.h>

#include <string>

enum HelpTopic {
    HELP_GUIDE,        // the guide from its start
    HELP_SETTINGS,     // the settings window, its General page
    HELP_OUTPUT,
    HELP_SOUNDS,
    HELP_HISTORY,      // the scan history window and the History page
    HELP_RULES,        // the rules and program sections
};

// file:///C:/path/guide.html#section for a path of the guide; each byte of
// the path's UTF-8 that is not plain ASCII in %XX form, so any folder works.
std::wstring HelpFileUrl(const std::wstring& strPath, HelpTopic topic);

// The command line that opens the address with the association's command:
// the address in place of its %1 (or %L), or after it when it names none.
std::wstring HelpCommandLine(const std::wstring& strCommand, const std::wstring& strUrl);

// Opens Help; says so in a message over hOwner when it cannot. Nothing waits
// for the browser.
void ShowHelp(HWND hOwner, HelpTopic topic);

// F1 in a window comes as WM_HELP to the window with the focus, and on to its
// parents: a window that answers it calls this.
inline LRESULT HelpAnswered(HWND hOwner, HelpTopic topic)
{
    ShowHelp(hOwner, topic);
    return TRUE;
}
