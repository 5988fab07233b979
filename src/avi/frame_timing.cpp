#include "avi/frame_timing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace avi {

namespace {

constexpr double kTimeTolerance = 1e-6;  // seconds

}  // namespace

double FramesPerSecond(const StreamHeader& header) {
  if (header.scale != 0) {
    const double fps = double(header.rate) / double(header.scale);
    if (fps >= kLowestPlausibleFps && fps <= kHighestPlausibleFps) return fps;
  }
  return header.rate < 100000 ? header.rate / 1000.0 : header.rate / 1000000.0;
}

int64_t FirstFrameAtOrAfter(double seconds, double fps) {
  if (!(fps > 0) || !(seconds > kTimeTolerance)) return 0;
  // Frame k is at or after `seconds` when k / fps + tolerance >= seconds; the
  // product is only a first guess, corrected by the comparison itself.
  const auto onOrAfter = [&](double k) { return k / fps + kTimeTolerance >= seconds; };
  double k = std::ceil((seconds - kTimeTolerance) * fps);
  if (k > 1e15) return k < 9.0e18 ? int64_t(k) : INT64_MAX;  // beyond any recording; steps of 1 vanish
  while (k > 0 && onOrAfter(k - 1)) --k;
  while (!onOrAfter(k)) ++k;
  return int64_t(k);
}

FrameSpan FramesOfTimeSpan(double startSeconds, double endSeconds, double fps) {
  const int64_t first = FirstFrameAtOrAfter(startSeconds, fps);
  const int64_t end = std::max(first, FirstFrameAtOrAfter(endSeconds, fps));
  return {first, end - first};
}

}  // namespace avi
