#include <gtest/gtest.h>

#include "ui/core/status_text.h"

namespace {

TEST(StatusText, TimeFormatAndElapsedPosition) {
  EXPECT_EQ(FormatTimeText(6100, 372500), "0:01:01/1:02:05");
  EXPECT_EQ(FormatTimeText(0, 0), "0:00:00/0:00:00");
  EXPECT_EQ(FormatTimeText(3599 * 100 + 99, 36000 * 100), "0:59:59/10:00:00");
  EXPECT_EQ(CurrentCentis(500.0, 372500), 186250);
  EXPECT_EQ(CurrentCentis(999.9, 1000), 999);  // truncated
}

TEST(StatusText, ScanSpeedsStepsAndSuffixes) {
  struct Row {
    int speed, step;
    const char* suffix;
  };
  for (const Row& r : std::vector<Row>{{0, 0, ""},
                                       {1, 500, " >"},
                                       {2, 1000, " >>"},
                                       {3, 2000, " >>>"},
                                       {-1, -500, " <"},
                                       {-2, -1000, " <<"},
                                       {-3, -2000, " <<<"},
                                       {4, 0, ""}}) {
    EXPECT_EQ(ScanStepCentis(r.speed), r.step) << r.speed;
    EXPECT_STREQ(ScanSuffix(r.speed), r.suffix) << r.speed;
  }
  // Four forward presses while playing: 1, 2, 3, then 4, which the next step ends.
  int speed = 0;
  for (int expected : {1, 2, 3, 4}) EXPECT_EQ(speed = SkipScanSpeed(speed, +1, true), expected);
  EXPECT_EQ(NormalizedScanSpeed(speed), 0);
  EXPECT_EQ(NormalizedScanSpeed(-3), -3);
  // Backward from +1 slows through normal play into the other direction.
  EXPECT_EQ(SkipScanSpeed(SkipScanSpeed(1, -1, true), -1, true), -1);
  // While paused the skip commands step frames and leave the speed alone.
  EXPECT_EQ(SkipScanSpeed(2, +1, false), 2);

  // One step every third tick.
  int counter = 0;
  std::vector<bool> due;
  for (int i = 0; i < 7; ++i) due.push_back(ScanTickDue(counter));
  EXPECT_EQ(due, (std::vector<bool>{false, false, true, false, false, true, false}));
}

TEST(StatusText, StatusLines) {
  EXPECT_EQ(ResolutionText(false, 2, 720, 480, 0), "720x480");
  EXPECT_EQ(ResolutionText(false, 1, 352, 240, -2), "352x240 <<");
  EXPECT_EQ(ResolutionText(true, 1, 720, 480, 1), " >");
  EXPECT_EQ(ResolutionText(false, 0, 720, 480, 0), "");
  EXPECT_EQ(ResolutionText(false, 2, -1, -1, 1), " >");  // a size the recording does not know
  EXPECT_EQ(RecordingStatusLine("Playing", "Trip-001.avi", "720x480", false),
            "Playing - Trip-001.avi - 720x480");
  EXPECT_EQ(RecordingStatusLine("Playing", "Trip-001.avi", "720x480", true), "Trip-001.avi");
  EXPECT_EQ(LiveStatusLine(0), "Connecting to Stream...");
  EXPECT_EQ(LiveStatusLine(-1), "Connection Failed");
  EXPECT_EQ(LiveStatusLine(1), "Connected to Stream");
}

TEST(StatusText, SliderPagingAndDragging) {
  struct Step {
    SliderEvent event;
    int thumb;
    double position;
    std::optional<int> seek;
    bool held;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"page left clamps at 0",
       {{SliderEvent::kPageLeft, 0, 12.7, 0, true}, {SliderEvent::kEndScroll, 0, 0, 0, false}}},
      {"page left truncates", {{SliderEvent::kPageLeft, 0, 500.9, 480, true}}},
      {"page right stops short of the end", {{SliderEvent::kPageRight, 0, 990.0, 999, true}}},
      {"page right", {{SliderEvent::kPageRight, 0, 100.5, 120, true}}},
      {"a drag seeks only when it ends",
       {{SliderEvent::kThumbTrack, 300, 10, std::nullopt, true},
        {SliderEvent::kThumbTrack, 420, 10, std::nullopt, true},
        {SliderEvent::kThumbPosition, 420, 10, std::nullopt, true},
        {SliderEvent::kEndScroll, 0, 10, 420, false}}},
      {"line steps and others do nothing",
       {{SliderEvent::kLineLeft, 0, 10, std::nullopt, false},
        {SliderEvent::kLineRight, 0, 10, std::nullopt, false},
        {SliderEvent::kOther, 0, 10, std::nullopt, false}}},
  };
  for (const Case& c : cases) {
    SliderDrag drag;
    for (const Step& s : c.steps) {
      EXPECT_EQ(OnSliderEvent(drag, s.event, s.thumb, s.position), s.seek) << c.what;
      EXPECT_EQ(drag.held, s.held) << c.what;
    }
  }
}

}  // namespace
