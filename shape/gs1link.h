// GS1 Digital Link: the web address form of GS1 data, as QR codes on
// products carry it ("https://id.gs1.org/01/09506000134352/10/ABC1").
#pragma once

#include <string>
#include <vector>

#include "gs1.h"

// The code starts as a Digital Link does: http:// or https://, the scheme
// all in lower or all in upper case.
bool HasDigitalLinkScheme(const std::string& s);

// The elements of a Digital Link URI (uncompressed), in the order of the
// equivalent element string: the path's key and qualifiers, then the query's
// attributes. Empty when it is one; otherwise what is wrong.
std::string SplitDigitalLink(const std::string& s, std::vector<Gs1Element>* pElements);
