// The banner's time line in each clock, with and without a correction.
#include "ui/core/clock_display.h"

#include <gtest/gtest.h>

#include <ctime>

#include "scoped_env.h"
#include "ui/core/banner_board.h"

namespace {

TEST(ClockDisplay, TimeLineInEachClockWithTheCorrectionBeside) {
  // A zone written out, so no zone database is needed: UTC+1, UTC+2 in summer.
  const ScopedEnv zone("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
  tzset();
  const std::string utc = "3-1-2011  14:05:09.007", local = "3-1-2011  06:05:09.007";
  const struct {
    ClockShown clock;
    int64_t correction;
    std::string utc, local, line;
  } rows[] = {
      {ClockShown::kRecording, 0, utc, local, "Local Time-3-1-2011  06:05:09.007"},
      {ClockShown::kUtc, 0, utc, local, "UTC Time-3-1-2011  14:05:09.007"},
      {ClockShown::kComputer, 0, utc, local, "Computer Time-3-1-2011  15:05:09.007 UTC+01:00"},
      {ClockShown::kComputer, 0, "7-1-2011  14:05:09.007", local,
       "Computer Time-7-1-2011  16:05:09.007 UTC+02:00"},
      {ClockShown::kRecording, 133000, utc, local,
       "Local Time-3-1-2011  06:05:09.007, corrected 3-1-2011  06:07:22.007 (+0:02:13)"},
      {ClockShown::kUtc, -3600000, utc, local,
       "UTC Time-3-1-2011  14:05:09.007, corrected 3-1-2011  13:05:09.007 (-1:00:00)"},
      {ClockShown::kComputer, 133000, utc, local,
       "Computer Time-3-1-2011  15:05:09.007 UTC+01:00, corrected 3-1-2011  15:07:22.007 UTC+01:00 "
       "(+0:02:13)"},
      // A damaged text is shown as it is, never "corrected".
      {ClockShown::kRecording, 133000, utc, "  -  -   x", "Local Time-  -  -   x"},
      {ClockShown::kComputer, 0, "garbage", local, "Computer Time-garbage"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ClockLine(row.clock, row.utc, row.local, row.correction), row.line);
    // The banner makes the same line from the decoder's labels, and again on a change.
    BannerBoard board;
    board.Receive("UTC Time", row.utc, "");
    board.Receive("Local Time", row.local, "");
    board.SetClock(row.clock, row.correction);
    EXPECT_EQ(board.Lines()[2], row.line);
    board.SetClock(ClockShown::kRecording, 0);
    EXPECT_EQ(board.Lines()[2], "Local Time-" + row.local);
  }
  const ScopedEnv utcZone("TZ", "UTC0");
  tzset();
  EXPECT_EQ(ComputerZoneOffset(1298988309), 0);
  for (ClockShown c : {ClockShown::kRecording, ClockShown::kUtc, ClockShown::kComputer})
    EXPECT_EQ(ClockFromSetting(ClockSettingText(c)), c);
  EXPECT_EQ(ClockFromSetting("sundial"), ClockShown::kRecording);
}

}  // namespace
