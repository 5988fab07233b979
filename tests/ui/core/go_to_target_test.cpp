// Go to Time's reading of an entry, against the metadata scan of a real
// generated run of two files whose local clock passes midnight.
#include <gtest/gtest.h>

#include <string>

#include "engine/metadata_scan.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/core/go_to_target.h"

TEST(GoToTarget, TimelinePositionsAndClockTimesFindTheirFrameOrSayWhyNot) {
  TempDir dir;
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.fps = 10;
  o.seconds = 10;
  o.audio = {false, false, false, false};
  // Local (UTC-8) 2011-02-28 23:59:50, 07:59:50 UTC; twenty seconds in two files.
  o.startUtc = 1298937600 + 7 * 3600 + 59 * 60 + 50;
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Night", 2, o, error)) << error;
  const RecordingScan scan = ScanRecording((dir / "Night-001.avi").string());
  ASSERT_EQ(scan.files.size(), 2u);
  const int64_t total = 2000;

  struct Row {
    GoToClock clock;
    const char* text;
    int64_t centis;       // -1: refused
    const char* message;  // part of the refusal
  } rows[] = {
      {GoToClock::kTimeline, "0:00:05.50", 550, ""},
      {GoToClock::kTimeline, " 12.5s ", 1250, ""},
      {GoToClock::kTimeline, "0:00:20", -1, "past the end of the recording (0:00:20)"},
      {GoToClock::kTimeline, "5 minutes", -1, "is not a position"},
      // Frame 50 at 5 s: the seek lands inside it, a hundredth on.
      {GoToClock::kLocal, "23:59:55", 501, ""},
      // After midnight, in the second file.
      {GoToClock::kLocal, "00:00:05", 1501, ""},
      // Between two frames: the first one after.
      {GoToClock::kLocal, "00:00:05.05", 1511, ""},
      {GoToClock::kLocal, "00:00:09.950", -1, "00:00:09.950 local is not in the recording"},
      {GoToClock::kLocal, "12:00:00", -1,
       "12:00:00 local is not in the recording (its local clock runs from 2011-02-28 23:59:50 to "
       "2011-03-01 00:00:09)"},
      {GoToClock::kUtc, "07:59:55", 501, ""},
      {GoToClock::kLocal, "07:59:55Z", 501, ""},
      {GoToClock::kTimeline, "@23:59:55", 501, ""},
      {GoToClock::kUtc, "23:59:55", -1,
       "23:59:55 UTC is not in the recording (its UTC clock runs from "
       "2011-03-01 07:59:50 to 08:00:09)"},
      {GoToClock::kLocal, "24:00:00", -1, "is not a clock time"},
      {GoToClock::kLocal, "23:59:55.1234", -1, "is not a clock time"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    const GoToTarget t = ResolveGoTo(r.clock, r.text, &scan, total);
    EXPECT_EQ(t.ok, r.centis >= 0) << t.message;
    if (r.centis >= 0)
      EXPECT_EQ(t.centis, r.centis);
    else
      EXPECT_NE(t.message.find(r.message), std::string::npos) << t.message;
  }
  // Before the scan is done only the timeline can be used.
  EXPECT_TRUE(ResolveGoTo(GoToClock::kTimeline, "0:00:01", nullptr, total).ok);
  EXPECT_NE(ResolveGoTo(GoToClock::kLocal, "23:59:55", nullptr, total).message.find("still being read"),
            std::string::npos);
}
