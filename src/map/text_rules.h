#pragma once

// Small text rules the map settings share. Plain C++.

#include <string>

// ASCII comparison ignoring letter case.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

// The decimal number at the start of `text` as a plain decimal conversion
// reads it (leading blanks and a sign allowed, stops at the first other
// character): "8080x" → 8080, "abc" → 0. Saturates instead of overflowing.
long long LeadingDecimal(const std::string& text);

// `text` with everything but unreserved URL characters percent-encoded.
std::string PercentEncoded(const std::string& text);
