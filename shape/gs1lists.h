// The code lists that GS1's dictionary checks values against: ISO 3166
// countries, ISO 4217 currencies, IBAN countries, AIDC media types and
// package types. Each list is complete as its keeper publishes it.
#pragma once

#include <stddef.h>

// Three digits: an ISO 3166-1 numeric country code.
bool IsIsoCountry(const char* p);

// Two capitals: an ISO 3166-1 alpha-2 country code.
bool IsIsoCountryAlpha2(const char* p);

// Three digits: an ISO 4217 numeric currency code.
bool IsIsoCurrency(const char* p);

// The length of an IBAN of the country its first two characters name; 0
// where that country has no IBAN.
size_t IbanLength(const char* p);

// Two digits: an AIDC media type.
bool IsMediaType(const char* p);

// A package type of n characters (UN/ECE Recommendation 21 and GS1's own).
bool IsPackageType(const char* p, size_t n);
