#pragma once

// Positions given as the recording's own clock: a time of day as the DVR
// stamped it in the frames' metadata, either its local time or UTC. Plain
// C++ over a metadata scan, any thread.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/metadata_scan.h"

struct ClockTime {
  int64_t millisOfDay = 0;  // 0 .. 86,399,999
  bool utc = false;         // the records' UTC time, else the DVR's local time
};

// "HH:MM:SS" with up to three decimals of a second ("14:05:20.5"), then
// "Z" for UTC ("14:05:20Z"); hours 0..23. Nothing else, no spaces.
bool ParseClockTime(std::string_view text, ClockTime& out);

// "14:05:20.500 local" / "14:05:20 UTC": the time as a message names it
// (the milliseconds only when there are any).
std::string ClockTimeText(const ClockTime& t);

struct ClockMatch {
  bool found = false;
  // The matched frame on the run's timeline: `startCentis` at or before the
  // frame's own time (where a range starting or ending at that frame is
  // cut), `shownCentis` inside the frame's span (where a seek shows it).
  int64_t startCentis = 0;
  int64_t shownCentis = 0;
  // The clock span of the run's records (ms since 1970 on the chosen
  // clock), for a message when nothing matched; both 0 without records.
  int64_t firstMillis = 0;
  int64_t lastMillis = 0;
};

// The first record of the run, in recording order, whose clock reads `t`
// or later on the day of the run's first record (or on the next day when
// the run started later in the day than `t`: a recording across midnight).
// Not found when the run's clock never reaches it or holds no records.
ClockMatch FindClockTime(const RecordingScan& scan, const ClockTime& t);

// Why FindClockTime found nothing, for a message: "14:05:20 local is not in
// the recording (its local clock runs from 2011-03-01 14:05:09 to 14:06:09)"
// or "... (it holds no clock times)".
std::string ClockNotFoundText(const ClockTime& t, const ClockMatch& m);
