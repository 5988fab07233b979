#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The recorder's clock texts ("3-1-2011  14:05:09.007": month-day-year, two
// blanks, the time to the millisecond; no time zone) and the examiner's
// correction of a recorder whose clock was wrong. A corrected time is only
// ever shown or written beside the recorded one, never instead of it.
// Plain functions, any thread.

// The text of `seconds` since 1970-01-01 (no time-zone conversion) and
// `milliseconds`, which is written as it is (a damaged record's 1234 too).
std::string FormatRecorderTime(int64_t seconds, int32_t milliseconds);

// Milliseconds since 1970-01-01 of such a text; nothing for any other text
// (a placeholder, a damaged field, an out-of-range day).
std::optional<int64_t> ParseRecorderTime(const std::string& text);

// A correction as the examiner types it: [+|-]H:MM:SS[.fff] ("+00:02:13",
// "-1:00:00", "0:00:00.5") or seconds with an "s" ("-90s", "2.5s"), at most
// three decimals; false for anything else (the value is left alone).
bool ParseClockCorrection(const std::string& text, int64_t& millis);

// "+0:02:13", "-1:00:00", "+0:00:00.500"; "0:00:00" for none.
std::string FormatClockCorrection(int64_t millis);

// The recorder's time text moved by the correction, in the same form;
// nothing when the text is no time.
std::optional<std::string> CorrectedTimeText(const std::string& recorded, int64_t correctionMillis);
