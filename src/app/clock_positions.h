#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/clock_position.h"

// The positions of a mode's options, given on the timeline (whatever
// ParseCentis takes) or as the recording's clock time, "@HH:MM:SS[.fff]"
// local or "@HH:MM:SS[.fff]Z" UTC. A clock time needs the recording's
// metadata, so it is kept until the mode knows its recording and resolved
// then into the same place a timeline position would have gone.
class ClockPositions {
 public:
  // What the position is for: the frame shown at it (a snapshot, a map) or
  // one end of a range of frames (an extraction, an export).
  enum class Use { kFrame, kRangeEnd };

  // Parses `text` into `target`, or keeps a clock time for Resolve to put
  // there (`target` must outlive this object). False for anything else.
  bool Parse(const std::string& text, int64_t& target, Use use);
  // Scans the numbered run `recording` starts (only when a clock time was
  // given) and writes each clock time's position. False with `reason` (one
  // line, without the path) when the recording can't be read or holds no
  // frame at or after one of them.
  bool Resolve(const std::string& recording, std::string& reason);

 private:
  struct Pending {
    ClockTime time;
    int64_t* target;
    Use use;
  };
  std::vector<Pending> pending_;
};
