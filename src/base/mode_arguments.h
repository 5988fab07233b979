#pragma once

#include <array>
#include <cstdint>
#include <string>

// Values of the command-line modes' options. Each parser takes the whole
// text or nothing: "12x", "" and " 12" are refused, so a typing slip gives
// the usage line instead of a quietly different range.

// A decimal integer.
bool ParseWholeNumber(const std::string& text, long long& out);

// A position on the timeline in hundredths of a second: a decimal integer
// ≥ 0 ("1250"), seconds with an "s" ("12.5s", "12s"), or "h:mm:ss[.ff]" as
// the status clock writes it ("0:00:12.50"); at most two decimals.
bool ParseCentis(const std::string& text, int64_t& out);

// "1,2,4" → cameras 1, 2 and 4 chosen; false for anything else (an empty
// list, a camera outside 1..4, spaces).
bool ParseCameraList(const std::string& text, std::array<bool, 4>& cameras);
