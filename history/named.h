// A code's characters as the settings write them: each control character by
// its name ({TAB}, {ENTER} for a line break, {GS}, {RS}, {EOT}, else
// {U+XXXX}), braces doubled so that no character of the text reads as one.
#pragma once

#include <string>

// Appends str[i] to out, named when it is a control character, or a
// noncharacter when bNoncharacters; a CR LF pair is one {ENTER}, i moved past it.
void AppendNamed(std::wstring& out, const std::wstring& str, size_t& i, bool bNoncharacters);
