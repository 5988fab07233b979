#pragma once

// How a video stream's header is read as a frame rate, and which frames a
// stretch of time holds. The extractor, the file lengths, the checks and the
// verification all take them from here, so they never disagree on a frame.

#include <cstdint>

#include "avi/avi_format.h"

namespace avi {

// Frame rates a recorder or another program plausibly writes.
inline constexpr double kLowestPlausibleFps = 1;
inline constexpr double kHighestPlausibleFps = 120;

// Frames per second of a video stream: rate / scale whenever that is 1 to
// 120 fps (the recorders write rate fps × 1000 over scale 1000, or fps ×
// 1,000,000 over 1,000,000; other programs fps over 1, or 30000 over 1001).
// Otherwise the recorders' reading of the rate field alone: R / 1000 below
// 100,000, else R / 1,000,000, whatever the scale says. 0 when the rate is 0.
double FramesPerSecond(const StreamHeader& header);

// The first frame k whose time k / fps is at or after `seconds`; times within
// a microsecond of `seconds` count as on it, so the rounding of a typed
// position never moves a frame across it. 0 for seconds <= 0 or fps <= 0.
int64_t FirstFrameAtOrAfter(double seconds, double fps);

// The frames of [start, end): first = FirstFrameAtOrAfter(start), count up
// to FirstFrameAtOrAfter(end).
struct FrameSpan {
  int64_t first = 0;
  int64_t count = 0;
  int64_t end() const { return first + count; }
};
FrameSpan FramesOfTimeSpan(double startSeconds, double endSeconds, double fps);

}  // namespace avi
