// Changes to the settings files' text in place.
#pragma once

#include <afxwin.h>

#include <string>
#include <vector>

// The settings window changes values in the files' text itself, so that
// comments, the order of keys, blank lines and keys it does not know stay
// as they were, byte for byte.

// One change: a key gets a value (in the code page, as stored), or loses
// its line. Without a key (pszKey NULL) the change is to the whole section:
// it goes (bRemove), or takes the name strValue.
struct CIniChange {
    std::string strSection;
    const char* pszKey;
    std::string strValue;
    bool bRemove;
};

// The text with the changes made, their names and values in nCodePage. A
// text behind a UTF-8 mark stays UTF-8, as the system reads it: the changes
// are stored in UTF-8 there. A section's name runs to the last "]" of its
// line, and a key is found as GetPrivateProfileString finds it (names in any
// case, the first one wins) and keeps what stands up to its value; a
// missing key is added after the last key of its section (in a section
// without keys, after the lines right below its name), a missing section
// at the end. A value with blanks at an end, or in quotes
// of its own, is put in quotes, which the reader takes off again. New lines
// end as the text's first line does (CR LF in an empty text).
// Changes to whole sections are made first, all in one step, on the names
// the text has, so that two sections may swap names; every section of a
// name goes or is renamed. A section that goes takes its lines down to its
// last key and the blank lines after it: comments further down speak of
// what follows.
std::string ChangeIniText(const std::string& strText, const std::vector<CIniChange>& changes,
                          UINT nCodePage = CP_ACP);

// configDecodeTime.ini with the number it starts with (as ReadDecodeTime
// reads it) replaced, or put on a line of its own before the text when it
// has none; whatever follows the number stays.
std::string ChangeDecodeTimeText(const std::string& strText, int nMs);
