// The incident timeline in the main window, offscreen, on a generated trip
// with known triggers and a known hard-braking frame, playing through the
// real pipelines.
#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "base/settings.h"
#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/core/commands.h"
#include "ui/core/timeline_commands.h"
#include "ui/player_window.h"
#include "ui/timeline_strip.h"

namespace {

namespace fs = std::filesystem;

recgen::RecordingOptions Trip() {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.fps = 10;
  o.seconds = 3;
  o.audio = {false, false, false, false};
  o.scripted = true;
  // Left turn at 1.5 s, the brake from 2.8 s across the file boundary at
  // 3 s, hard braking (Y -0.7 g) at 4.0 s, a swerve (X +0.5 g) at 5.2 s.
  EXPECT_EQ(recgen::ParseIncidents("t:1@1.5-2.5,t:0@2.8-3.5,y:-7@4.0,x:5@5.2", o.incidents), "");
  return o;
}

class TimelineWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    WriteSetting(kShowTimelineSetting, "");
    window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
    window_->show();
  }
  void TearDown() override { window_.reset(); }

  void Open(const fs::path& path) {
    QSignalSpy finished(window_.get(), &CQMXPlayerDlg::OpenFinished);
    window_->OpenRecording(path.string());
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_EQ(finished.at(0).at(0).toInt(), 0);
    TimelineStrip* strip = window_->Timeline();
    QSignalSpy scanned(strip, &TimelineStrip::ScanFinished);
    if (!strip->Scanned()) {
      ASSERT_TRUE(scanned.wait(30000));
    }
  }
  int64_t Position() { return window_->Engine()->GetPositionCentis(); }
  // Seeks finish on the pipelines' threads: wait for the position to arrive.
  ::testing::AssertionResult SettlesAt(int64_t want, int64_t tolerance) {
    const bool ok = QTest::qWaitFor([&] { return std::llabs(Position() - want) <= tolerance; }, 10000);
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "position " << Position() << ", wanted " << want;
  }

  TempDir dir_;
  std::unique_ptr<CQMXPlayerDlg> window_;
};

TEST_F(TimelineWindowTest, NextEventLandsOnEachEventAndAClickSeeksThere) {
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir_.path(), "Trip", 2, Trip(), error)) << error;
  Open(dir_ / "Trip-001.avi");
  TimelineStrip* strip = window_->Timeline();
  QSlider* slider = window_->Slider();

  // Under the slider, as wide, on one time axis with its handle.
  ASSERT_TRUE(strip->isVisible());
  EXPECT_EQ(strip->geometry().top(), slider->geometry().bottom() + 1);
  EXPECT_EQ(strip->geometry().left(), slider->geometry().left());
  EXPECT_EQ(strip->geometry().width(), slider->geometry().width());
  EXPECT_EQ(strip->Message(), "");

  std::vector<int64_t> times;
  for (const TripEvent& e : strip->Events()) times.push_back(e.centis);
  EXPECT_EQ(times, (std::vector<int64_t>{150, 280, 400, 520}));
  const TriggerLanes lanes = TriggerSpans(strip->Scan());
  EXPECT_EQ(lanes[0], (std::vector<LaneSpan>{{280, 350}}));  // one bar across the file boundary
  EXPECT_EQ(lanes[1], (std::vector<LaneSpan>{{150, 250}}));
  EXPECT_NE(strip->HoverText(strip->XOfTime(405)).indexOf("Y -0.7 g"), -1)
      << strip->HoverText(strip->XOfTime(405)).toStdString();

  window_->RunCommand(kCmdPause);
  // A click on the strip seeks to the time under the pointer.
  const int64_t tolerance = 12;  // a frame at 10 fps, and a pixel
  for (int64_t t : {0, 250, 470, 30}) {
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->XOfTime(t), strip->height() / 2));
    EXPECT_TRUE(SettlesAt(t, tolerance)) << "click at " << t;
  }
  // From 0.3 s, Next Event visits every event a second early, in order, and stops after the last.
  ASSERT_TRUE(window_->Action(kCmdNextEvent)->isEnabled());
  for (int64_t target : {50, 180, 300, 420}) {
    window_->RunCommand(kCmdNextEvent);
    EXPECT_TRUE(SettlesAt(target, 2)) << "next event " << target;
  }
  window_->RunCommand(kCmdNextEvent);
  EXPECT_TRUE(SettlesAt(420, 2));
  for (int64_t target : {300, 180}) {
    window_->RunCommand(kCmdPreviousEvent);
    EXPECT_TRUE(SettlesAt(target, 2)) << "previous event " << target;
  }
}

TEST_F(TimelineWindowTest, HiddenByItsMenuItemAndByHideInterface) {
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "trip.avi", Trip(), error)) << error;
  Open(dir_ / "trip.avi");
  TimelineStrip* strip = window_->Timeline();
  const int videoBottom = window_->VideoLayout().area.bottom;
  ASSERT_TRUE(strip->isVisible());
  EXPECT_TRUE(window_->Action(kCmdShowTimeline)->isChecked());

  struct Step {
    int command;
    bool visible;
    std::string setting;
  };
  for (const Step& s : std::vector<Step>{{kCmdShowTimeline, false, "Off"},
                                         {kCmdShowTimeline, true, "On"},
                                         {kCmdHideInterface, false, "On"},
                                         {kCmdHideInterface, true, "On"}}) {
    window_->RunCommand(s.command);
    EXPECT_EQ(strip->isVisible(), s.visible) << s.command;
    EXPECT_EQ(ReadSetting(kShowTimelineSetting), s.setting);
    EXPECT_EQ(window_->Action(kCmdShowTimeline)->isChecked(), s.setting != "Off");
    if (s.command == kCmdShowTimeline) {  // the video gets the strip's rows back
      EXPECT_EQ(window_->VideoLayout().area.bottom == videoBottom, s.visible);
    }
  }

  // Closing gives the rows back; a text-line recording says it has no graphs.
  window_->RunCommand(kCmdClose);
  QTest::qWait(200);
  EXPECT_FALSE(strip->isVisible());
  recgen::RecordingOptions lines = Trip();
  lines.kind = 1;
  lines.header380 = true;
  lines.textLines = recgen::TextLines::kA;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "lines.avi", lines, error)) << error;
  Open(dir_ / "lines.avi");
  EXPECT_TRUE(strip->isVisible());
  EXPECT_NE(strip->Message().indexOf("Text-line recording"), -1) << strip->Message().toStdString();
  EXPECT_FALSE(window_->Action(kCmdNextEvent)->isEnabled());
}

TEST_F(TimelineWindowTest, ADateStampedGroupIsScannedWholeOnTheEnginesTimeline) {
  std::vector<fs::path> written;
  std::string error;
  ASSERT_TRUE(recgen::WriteGroup(dir_.path(), "Trip", 2, "+", Trip(), written, error)) << error;
  ASSERT_EQ(written.size(), 3u);
  Open(written[0]);
  const RecordingScan& scan = window_->Timeline()->Scan();
  const std::vector<SequenceFile> files = window_->Engine()->Files();
  ASSERT_EQ(scan.files.size(), 3u);
  ASSERT_EQ(files.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(scan.files[i].path, written[i].string());
    EXPECT_EQ(scan.files[i].startCentis, files[i].start);
    EXPECT_EQ(scan.files[i].records.size(), 30u);
  }
  // The hard braking in the second file is where the engine's timeline has it.
  bool braking = false;
  for (const TripEvent& e : window_->Timeline()->Events())
    braking = braking ||
              (e.kind == TripEventKind::kHarshMotion && e.axis == 'Y' && e.centis == files[1].start + 100);
  EXPECT_TRUE(braking);
}

}  // namespace
