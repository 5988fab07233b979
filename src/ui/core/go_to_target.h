#pragma once

#include <cstdint>
#include <string>

#include "engine/metadata_scan.h"

// What Go to Time... makes of the user's entry: a position on the timeline
// to seek to, or the message that says why there is none. Plain C++.

enum class GoToClock { kTimeline, kLocal, kUtc };

struct GoToTarget {
  bool ok = false;
  int64_t centis = 0;   // where to seek: inside the frame found
  std::string message;  // when not ok
};

// `text` on the timeline: "h:mm:ss[.ff]", "12.5s" or hundredths, within
// `totalCentis`. On a clock: "HH:MM:SS[.fff]" of the recording's local or
// UTC time ("Z" at the end, or "@" before it as on the command line, is
// taken too), matched to the first frame at or after it across the run.
// `scan` is the run's metadata, null while it is still being read.
GoToTarget ResolveGoTo(GoToClock clock, const std::string& text, const RecordingScan* scan,
                       int64_t totalCentis);
