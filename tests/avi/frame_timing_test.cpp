#include "avi/frame_timing.h"

#include <gtest/gtest.h>

namespace {

using namespace avi;

TEST(FrameTiming, RatesOfRecordersAndOtherProgramsAgree) {
  const struct {
    uint32_t rate, scale;
    double fps;
  } rows[] = {
      {30000, 1000, 30},           // the recorders' header
      {29970000, 1000000, 29.97},  // and their other one
      {30, 1, 30},                 // ffmpeg, GStreamer
      {30000, 1001, 30000.0 / 1001},
      {120, 1, 120},
      {15, 2, 7.5},
      {30000, 1, 30},     // 30,000 fps is no rate: the rate field alone
      {7500000, 1, 7.5},  // nor 7.5 million
      {30000, 0, 30},     // no scale
      {30, 0, 0.03},      // the rate field alone, as the recorders read it
      {1, 2, 0.001},      // half a frame a second is not plausible either
      {0, 1, 0},
  };
  for (const auto& r : rows) {
    StreamHeader h;
    h.rate = r.rate, h.scale = r.scale;
    EXPECT_DOUBLE_EQ(FramesPerSecond(h), r.fps) << r.rate << " / " << r.scale;
  }
}

TEST(FrameTiming, FramesOfATimeSpan) {
  const struct {
    double start, end, fps;
    int64_t first, count;
  } rows[] = {
      {0, 1, 30, 0, 30},
      {0.5, 3, 30, 15, 75},
      {1.0 / 3, 2.0 / 3, 30, 10, 10},             // on a frame: that frame is in
      {0.1 + 0.2, 0.6, 10, 3, 3},                 // 0.30000000000000004 is 0.3
      {5, 10, 29.97, 150, 150},                   // 149.85 rounds up to 150, 299.7 to 300
      {1200, 1200.01, 30000.0 / 1001, 35965, 0},  // too short to hold a frame
      {3, 2, 30, 90, 0},
      {0, 0, 0, 0, 0},
  };
  for (const auto& r : rows) {
    const FrameSpan span = FramesOfTimeSpan(r.start, r.end, r.fps);
    EXPECT_EQ(span.first, r.first) << r.start << ".." << r.end << " at " << r.fps;
    EXPECT_EQ(span.count, r.count) << r.start << ".." << r.end << " at " << r.fps;
  }
}

}  // namespace
