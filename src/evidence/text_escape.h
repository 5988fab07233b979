#pragma once

// Texts for the JSON and XML the evidence tools write (reports, tracks,
// package descriptions): always valid UTF-8, whatever bytes a path holds.

#include <string>

namespace evidence {

// `text` as a quoted JSON string. Bytes that are not valid UTF-8 become
// U+FFFD, control characters are escaped.
std::string JsonString(const std::string& text);

// `text` for XML character data or a quoted attribute: &, <, >, " and '
// escaped; bytes that are not valid UTF-8 and control characters XML
// forbids become U+FFFD.
std::string XmlText(const std::string& text);

// A number with `decimals` places ("%.*f"); non-finite values give null.
std::string JsonNumber(double value, int decimals);

}  // namespace evidence
