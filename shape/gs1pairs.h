// Which AIs must go together in one code and which must not, as GS1's
// syntax dictionary pairs them (a GTIN for a lot, no GTIN beside a GTIN of
// contents).
#pragma once

#include <string>
#include <vector>

#include "gs1.h"

// The first pairing rule the elements break, or empty: first the pairs that
// exclude each other, then the AIs that lack a partner they require. The
// messages read "AI 01 and AI 02 exclude each other", "AI 10 requires AI 01,
// 02, 03, 8006 or 8026".
std::string CheckGs1Pairs(const std::vector<Gs1Element>& elements);
