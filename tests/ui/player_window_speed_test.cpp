// Playback speed and exact frames in the window, offscreen, on generated
// four-camera runs playing through real pipelines: how far the position
// moves per second of wall time at each speed, the cameras keeping step,
// and Next/Previous Frame landing on the recorded frame numbers.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "base/settings.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "expected_metadata.h"
#include "frame_mark.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/go_to_dialog.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/timeline_strip.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The generator's frame number drawn in what pane `k` shows; -1 without one.
int64_t PaneNumber(const CQMXPlayerDlg& w, int k) {
  const QImage& f = w.Pane(k)->Frame();
  if (f.isNull()) return -1;
  return recgen::DecodeFrameNumber(f.constBits(), f.width(), f.height(), int(f.bytesPerLine()));
}

class PlayerWindowSpeedTest : public testing::Test {
 protected:
  void SetUp() override {
    SaveAudioRouting(DefaultAudioRouting());
    SetMessageCatcher([this](const std::string&, const std::string& text) { messages_.push_back(text); });
    window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
    window_->resize(1045, 860);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void TearDown() override {
    window_.reset();
    WriteSetting(kWindowPlacementSetting, "");  // later windows open where they always do
    SetMessageCatcher({});
  }
  // A numbered run of `files` four-camera files of `seconds` each at 30 fps,
  // opened and playing in `view` (0..3 one camera, 4 quad).
  void OpenRun(int files, double seconds, int view, const std::string& folder = "run") {
    recgen::RecordingOptions o;
    o.width = 320;
    o.height = 240;
    o.seconds = seconds;
    o.audio = {true, false, false, false};
    std::string error;
    const fs::path where = dir_ / folder;
    fs::create_directories(where);
    ASSERT_TRUE(recgen::WriteSequence(where, "Trip", files, o, error)) << error;
    QSignalSpy finished(window_.get(), &CQMXPlayerDlg::OpenFinished);
    window_->OpenRecording((where / "Trip-001.avi").string());
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_EQ(finished.front().front().toInt(), kGraphOk);
    window_->RunCommand(view == 4 ? kCmdAllVideos : kCmdVideo[view]);
  }
  QAction* Named(const char* name) { return window_->findChild<QAction*>(QString::fromUtf8(name)); }
  // Paused at `centis`, the panes of `panes` showing the frame there.
  void PauseAt(int64_t centis, int64_t wantNumber, std::initializer_list<int> panes) {
    window_->RunCommand(kCmdPause);
    window_->Engine()->Seek(-1, centis);
    for (int k : panes)
      ASSERT_TRUE(QTest::qWaitFor([&] { return PaneNumber(*window_, k) == wantNumber; }, 10000))
          << "pane " << k << " shows " << PaneNumber(*window_, k) << " for " << wantNumber;
  }

  TempDir dir_;
  std::vector<std::string> messages_;
  std::unique_ptr<CQMXPlayerDlg> window_;
};

// Each speed of the ladder, reached with Faster and Slower from normal
// speed, played for about two seconds of wall time in the quad: the
// position moves `rate` times the wall time, across the run's file
// boundaries too, the four cameras never more than one shown frame apart
// while playing and on the same frame once paused.
TEST_F(PlayerWindowSpeedTest, PositionMovesAtTheRateAndTheCamerasKeepStep) {
  struct Row {
    int steps;           // presses of Faster (> 0) or Slower from 1x
    const char* status;  // what the status strip adds
    int64_t fromCentis;
    double wantSeconds;  // the move over two seconds of wall time
    double tolerance;
    int64_t shownStep;  // recorded frames between two shown ones
  } rows[] = {
      {-3, " - 1/8x", 100, 0.25, 0.06, 1}, {-2, " - 1/4x", 100, 0.5, 0.1, 1},
      {-1, " - 1/2x", 100, 1.0, 0.12, 1},  {0, "", 100, 2.0, 0.2, 1},
      {1, " - 2x", 100, 4.0, 0.3, 2},      {2, " - 4x", 1000, 8.0, 0.5, 4},
      {3, " - 8x", 500, 16.0, 1.0, 8},     {4, " - 16x", 200, 32.0, 2.0, 16},
  };
  ASSERT_NO_FATAL_FAILURE(OpenRun(3, 15, 4));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.status);
    Named("speedNormal")->trigger();
    for (int i = 0; i < std::abs(r.steps); ++i) Named(r.steps > 0 ? "speedFaster" : "speedSlower")->trigger();
    const int64_t start = r.fromCentis * 30 / 100;
    ASSERT_NO_FATAL_FAILURE(PauseAt(r.fromCentis, start, {0, 1, 2, 3}));
    EXPECT_NE(window_->StatusLine().find(std::string("Paused") + " - "), std::string::npos);
    if (*r.status) {
      EXPECT_NE(window_->StatusLine().find(r.status), std::string::npos) << window_->StatusLine();
    }
    PlaybackEngine* e = window_->Engine();
    window_->RunCommand(kCmdPlay);
    // The clock starts once the position has left the paused frame.
    ASSERT_TRUE(QTest::qWaitFor([&] { return e->GetPositionCentis() > r.fromCentis; }, 10000));
    const auto t0 = Clock::now();
    const int64_t p0 = e->GetPositionCentis();
    int64_t widest = 0;
    int samples = 0;
    const bool ran = QTest::qWaitFor(
        [&] {
          int64_t low = INT64_MAX, high = -1;
          for (int k = 0; k < 4; ++k) {
            const int64_t n = PaneNumber(*window_, k);
            low = std::min(low, n);
            high = std::max(high, n);
          }
          if (low >= 0) {
            widest = std::max(widest, high - low);
            ++samples;
          }
          return Clock::now() - t0 >= std::chrono::seconds(2);
        },
        5000);
    EXPECT_TRUE(ran);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double moved = double(e->GetPositionCentis() - p0) / 100;
    EXPECT_NEAR(moved * 2 / wall, r.wantSeconds, r.tolerance)
        << "moved " << moved << " s in " << wall << " s";
    EXPECT_GT(samples, 0);
    EXPECT_LE(widest, r.shownStep);
    // Paused, every camera shows the same frame.
    window_->RunCommand(kCmdPause);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          const int64_t n = PaneNumber(*window_, 0);
          for (int k = 1; k < 4; ++k)
            if (PaneNumber(*window_, k) != n) return false;
          return n >= 0;
        },
        10000))
        << PaneNumber(*window_, 0) << " " << PaneNumber(*window_, 1) << " " << PaneNumber(*window_, 2) << " "
        << PaneNumber(*window_, 3);
  }
  EXPECT_TRUE(messages_.empty());
}

// Next Frame and Previous Frame from paused positions of a two-file run at
// 30 fps, in single views and in the quad (which moves the camera the
// banner follows, camera 1, and shows the others at its time): the exact
// next or previous recorded frame, across the boundary both ways, named
// in the status strip by its number within its file.
TEST_F(PlayerWindowSpeedTest, NextAndPreviousFrameLandOnTheNeighbouringRecordedFrame) {
  struct Row {
    int64_t seekCentis;  // -1: step on from where the last row left
    const char* command;
    int64_t want;  // the run's frame number
    const char* status;
  } rows[] = {
      {40, "nextFrame", 13, "frame 14/30"},      {-1, "nextFrame", 14, "frame 15/30"},
      {-1, "previousFrame", 13, "frame 14/30"},  {95, "nextFrame", 29, "frame 30/30"},
      {-1, "nextFrame", 30, "frame 1/30"},       {-1, "nextFrame", 31, "frame 2/30"},
      {-1, "previousFrame", 30, "frame 1/30"},   {-1, "previousFrame", 29, "frame 30/30"},
      {150, "previousFrame", 44, "frame 15/30"},
  };
  for (int view : {0, 2, 4}) {
    SCOPED_TRACE("view " + std::to_string(view));
    window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
    window_->resize(1045, 860);
    window_->show();
    ASSERT_NO_FATAL_FAILURE(OpenRun(2, 1, view, "view" + std::to_string(view)));
    const int followed = view == 4 ? 0 : view;
    const std::initializer_list<int> quad = {0, 1, 2, 3};
    const std::initializer_list<int> single = {view};
    const auto& panes = view == 4 ? quad : single;
    for (const Row& r : rows) {
      SCOPED_TRACE(r.want);
      if (r.seekCentis >= 0) {
        ASSERT_NO_FATAL_FAILURE(PauseAt(r.seekCentis, r.seekCentis * 30 / 100, panes));
      }
      Named(r.command)->trigger();
      for (int k : panes)
        ASSERT_TRUE(QTest::qWaitFor([&] { return PaneNumber(*window_, k) == r.want; }, 10000))
            << "pane " << k << " shows " << PaneNumber(*window_, k);
      EXPECT_FALSE(window_->Engine()->IsPlaying());
      ASSERT_TRUE(
          QTest::qWaitFor([&] { return window_->StatusLine().find(r.status) != std::string::npos; }, 5000))
          << window_->StatusLine();
      EXPECT_EQ(PaneNumber(*window_, followed), r.want);
    }
  }
  EXPECT_TRUE(messages_.empty());
}

}  // namespace

namespace {

// Ms since 1970 on the DVR's local clock of camera 1's frame k.
int64_t LocalMillis(const recgen::RecordingOptions& o, int64_t k) {
  const MetadataSample s = recgen::ExpectedMetadata(o, 1, k);
  return int64_t(s.localSeconds) * 1000 + s.milliseconds;
}

}  // namespace

// Go to Time through its dialog on a recording whose local clock starts at
// 14:05:09: a clock time shows the frame whose own metadata time is the
// first at or after it, a timeline position its frame, and a time the
// recording never reached gives a message and leaves the picture.
TEST_F(PlayerWindowSpeedTest, GoToTimeShowsTheFirstFrameAtOrAfterTheClockTime) {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.seconds = 15;
  o.audio = {false, false, false, false};
  o.startUtc = 1298988309 - recgen::kLocalOffsetSeconds;  // 2011-03-01 14:05:09 local
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "clock.avi", o, error)) << error;
  QSignalSpy finished(window_.get(), &CQMXPlayerDlg::OpenFinished);
  window_->OpenRecording((dir_ / "clock.avi").string());
  ASSERT_TRUE(finished.wait(30000));
  window_->RunCommand(kCmdPause);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Timeline()->Scanned(); }, 20000));
  const int64_t day = int64_t(o.startUtc + recgen::kLocalOffsetSeconds) / 86400 * 86400 * 1000;
  // The first frame whose local time is at or after ms `t` of the day.
  auto firstAtOrAfter = [&](int64_t t) {
    int64_t k = 0;
    while (LocalMillis(o, k) < day + t) ++k;
    return k;
  };
  struct Row {
    int clock;  // the dialog's choice: 0 timeline, 1 local, 2 UTC
    const char* text;
    int64_t want;  // frame number; -1: a message
  } rows[] = {
      {1, "14:05:20", firstAtOrAfter(((14 * 60 + 5) * 60 + 20) * 1000)},
      {1, "14:05:20.05", firstAtOrAfter(((14 * 60 + 5) * 60 + 20) * 1000 + 50)},
      {2, "22:05:13.5", firstAtOrAfter(((14 * 60 + 5) * 60 + 13) * 1000 + 500)},
      {0, "0:00:02.50", 75},
      {1, "14:30:00", -1},
  };
  ASSERT_EQ(rows[0].want, 330);
  // The About box lists the new shortcuts with the others.
  window_->RunCommand(kCmdAbout);
  ASSERT_EQ(messages_.size(), 1u);
  for (const char* line : {"Ctrl+G\tGo to Time...", "[\tSlower", "]\tFaster", "Backspace\tNormal Speed",
                           ".\tNext Frame", ",\tPrevious Frame"})
    EXPECT_NE(messages_[0].find(line), std::string::npos) << line;
  QAction* goTo = window_->findChild<QAction*>(QStringLiteral("goToTime"));
  ASSERT_TRUE(goTo);
  EXPECT_EQ(goTo->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    const int64_t before = PaneNumber(*window_, 0);
    messages_.clear();
    goTo->trigger();
    auto* dialog = window_->findChild<GoToDialog*>(QStringLiteral("goToDialog"));
    ASSERT_TRUE(dialog && dialog->isVisible());
    dialog->findChild<QComboBox*>(QStringLiteral("goToClock"))->setCurrentIndex(r.clock);
    dialog->findChild<QLineEdit*>(QStringLiteral("goToText"))->setText(QString::fromUtf8(r.text));
    dialog->accept();
    if (r.want < 0) {
      ASSERT_EQ(messages_.size(), 1u);
      EXPECT_NE(messages_[0].find("14:30:00 local is not in the recording (its local clock runs from "
                                  "2011-03-01 14:05:09 to 14:05:23)"),
                std::string::npos)
          << messages_[0];
      EXPECT_EQ(PaneNumber(*window_, 0), before);
      continue;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return PaneNumber(*window_, 0) == r.want; }, 10000))
        << PaneNumber(*window_, 0) << " for " << r.want;
    EXPECT_TRUE(messages_.empty());
  }
}
