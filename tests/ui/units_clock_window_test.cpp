// Units and clocks in the window, offscreen, on a real recording playing
// through real pipelines: the unit reaches the banner, the overlay and the
// timeline at once, even paused; the clock and the DVR clock correction
// show in the banner beside the recorded time and stay with the recording.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <chrono>

#include "base/settings.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "metadata/speed_unit.h"
#include "metadata/text_lines.h"
#include "recording_writer.h"
#include "scoped_env.h"
#include "temp_dir.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"
#include "ui/timeline_strip.h"
#include "ui/units_clock_controller.h"

namespace {

namespace fs = std::filesystem;

class UnitsClockWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Reset();
    recgen::RecordingOptions o;
    o.width = 320, o.height = 240, o.fps = 10, o.seconds = 4;
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(recording_, o, error)) << error;
  }
  void TearDown() override { Reset(); }
  static void Reset() {
    WriteSetting(kSpeedUnitSetting, "");
    WriteSetting(kClockSetting, "");
    WriteSetting(kWindowPlacementSetting, "");  // the next test's window opens at its first size
    SetDisplaySpeedUnit(SpeedUnit::kMph);
  }
  std::unique_ptr<CQMXPlayerDlg> OpenedPaused() {
    auto window = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
    window->show();
    QSignalSpy finished(window.get(), &CQMXPlayerDlg::OpenFinished);
    window->OpenRecording(recording_.string());
    EXPECT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.value(0).value(0).toInt(), kGraphOk);
    window->RunCommand(kCmdPause);
    EXPECT_TRUE(window->Engine()->WaitTransport(std::chrono::seconds(15)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Timeline()->Scanned(); }, 30000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->BannerLines()[1].rfind("Speed-", 0) == 0; }, 15000));
    return window;
  }
  static QAction* Named(CQMXPlayerDlg& window, const char* name) {
    return window.findChild<QAction*>(QString::fromUtf8(name));
  }

  TempDir dir_;
  ScopedEnv data_{"XDG_DATA_HOME", (dir_ / "data").string()};
  fs::path recording_ = dir_ / "Trip.avi";
};

TEST_F(UnitsClockWindowTest, UnitReachesBannerOverlayAndTimelineWhilePaused) {
  std::unique_ptr<CQMXPlayerDlg> window = OpenedPaused();
  EXPECT_EQ(window->BannerLines()[1].find("km/h"), std::string::npos) << window->BannerLines()[1];
  std::string mph;
  const int x = window->Timeline()->XOfTime(window->Engine()->GetPositionCentis());

  const struct {
    const char* action;
    bool kmh;
  } rows[] = {{"unitKmh", true}, {"unitMph", false}, {"unitKmh", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.action);
    Named(*window, row.action)->trigger();
    // The paused frame's texts come again in the new unit.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          const bool banner = window->BannerLines()[1].find(" km/h, Acceleration") != std::string::npos;
          const std::string overlay = window->Engine()->ShownOverlayTexts(0)[kTextSpeed];
          const bool drawn = overlay.size() > 5 && overlay.compare(overlay.size() - 5, 5, " km/h") == 0;
          return banner == row.kmh && drawn == row.kmh;
        },
        15000))
        << window->BannerLines()[1] << " / " << window->Engine()->ShownOverlayTexts(0)[kTextSpeed];
    EXPECT_EQ(window->Timeline()->HoverText(x).contains(QStringLiteral(" km/h ")), row.kmh);
    EXPECT_EQ(ReadSetting(kSpeedUnitSetting), row.kmh ? "km/h" : "mph");
    if (!row.kmh) mph = window->BannerLines()[1];
  }
  // Whole km/h against the whole mph the recorder shows for the same paused record.
  const long long kmh = std::stoll(window->BannerLines()[1].substr(6));
  EXPECT_EQ(std::stoll(mph.substr(6)), static_cast<long long>(kmh * 0.621371192)) << mph;
}

TEST_F(UnitsClockWindowTest, ClockAndCorrectionShowBesideTheRecordedTimeAndStayWithTheRecording) {
  {
    std::unique_ptr<CQMXPlayerDlg> window = OpenedPaused();
    const std::string recorded = window->BannerLines()[2];
    ASSERT_EQ(recorded.rfind("Local Time-", 0), 0u) << recorded;

    // The examiner types the correction into the prompt.
    QTimer::singleShot(0, [] {
      ASSERT_TRUE(QTest::qWaitFor(
          [] { return qobject_cast<QInputDialog*>(QApplication::activeModalWidget()); }, 10000));
      auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      EXPECT_EQ(prompt->textValue(), "0:00:00");
      prompt->setTextValue(QStringLiteral("+00:02:13"));
      prompt->accept();
    });
    Named(*window, "clockCorrection")->trigger();
    EXPECT_EQ(window->UnitsClock()->Correction(), 133000);
    const std::string corrected = window->BannerLines()[2];
    EXPECT_EQ(corrected.rfind(recorded + ", corrected ", 0), 0u) << corrected;
    EXPECT_NE(corrected.find(" (+0:02:13)"), std::string::npos) << corrected;

    Named(*window, "clockUtc")->trigger();
    EXPECT_EQ(window->BannerLines()[2].rfind("UTC Time-", 0), 0u) << window->BannerLines()[2];
    EXPECT_NE(window->BannerLines()[2].find(", corrected "), std::string::npos);
  }
  // A new window: the clock from the settings, the correction from the recording's notes.
  std::unique_ptr<CQMXPlayerDlg> window = OpenedPaused();
  EXPECT_EQ(window->UnitsClock()->Correction(), 133000);
  EXPECT_EQ(window->UnitsClock()->Clock(), ClockShown::kUtc);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->BannerLines()[2].rfind("UTC Time-", 0) == 0; }, 15000))
      << window->BannerLines()[2];
  EXPECT_NE(window->BannerLines()[2].find("(+0:02:13)"), std::string::npos) << window->BannerLines()[2];
  window->UnitsClock()->SetCorrection(0);
  window->UnitsClock()->SetClock(ClockShown::kRecording);
  EXPECT_EQ(window->BannerLines()[2].rfind("Local Time-", 0), 0u);
  EXPECT_EQ(window->BannerLines()[2].find("corrected"), std::string::npos);
}

}  // namespace
