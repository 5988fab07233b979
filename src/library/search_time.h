#pragma once

// The date-times a search takes: "2011-03-01", "2011-03-01T14:05",
// "2011-03-01 14:05:09.5" (the DVR's local clock), and the same with "Z" or
// "+01:00" / "-0800" (UTC, the offset applied).

#include <string>

#include "library/library_store.h"

namespace library {

// False for any other text. A date alone is its first moment, or with
// `endOfRange` its last millisecond.
bool ParseSearchTime(const std::string& text, bool endOfRange, TimeBound& out);

// "2011-03-01T06:05:09.007" for a time on the DVR's local clock.
std::string IsoLocal(int64_t localMillis);

}  // namespace library
