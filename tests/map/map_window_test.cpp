// The player window's map commands: the map window opens and closes with its
// command, follows the playing recording with its whole track, goes when the
// user closes it, and the proxy settings renew it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "base/settings.h"
#include "dvr_simulator.h"
#include "expected_metadata.h"
#include "map/map_cache_file.h"
#include "map/map_composer.h"
#include "map/proxy_config.h"
#include "map/trip_track.h"
#include "map_test_support.h"
#include "recording_writer.h"
#include "scoped_env.h"
#include "temp_dir.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/mapping_dialog.h"
#include "ui/player_window.h"
#include "ui/proxy_settings_dialog.h"

#include <filesystem>

namespace {

int TrackPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == kTrackColour;
  return n;
}

}  // namespace

TEST(PlayerWindowMap, FollowsThePlayingRecordingWithItsTrack) {
  TempDir dir, cacheHome;
  ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
  std::atomic<ServerFault> fault{ServerFault::kNone};
  HttpTestServer server(MapHandler(fault));
  StoreMapSource("tiles", server.BaseUrl());
  StoreProxy("no");
  recgen::RecordingOptions options;
  options.width = 320;
  options.height = 240;
  options.fps = 10;
  options.seconds = 20;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", options, error)) << error;

  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  window.show();
  QSignalSpy opened(&window, &CQMXPlayerDlg::OpenFinished);
  window.OpenRecording((dir / "trip.avi").string());
  ASSERT_TRUE(opened.wait(30000));
  window.RunCommand(kCmdPlay);

  window.RunCommand(kMapButton);
  CMappingDlg* map = window.MapDialog();
  ASSERT_NE(map, nullptr);
  EXPECT_TRUE(map->isVisible());
  EXPECT_TRUE(window.Button(kMapButton)->isChecked());
  // The timer hands the banner's position over; the track comes from the scan.
  ASSERT_TRUE(QTest::qWaitFor([&] { return map->TrackLoaded() && !map->Picture().isNull(); }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return TrackPixels(map->Picture()) > 30; }, 5000));
  EXPECT_FALSE(map->StatusShown());

  // The track is scanned once per recording: the next window takes the same.
  const auto track = SharedTripTrack((dir / "trip.avi").string(), nullptr);
  EXPECT_EQ(SharedTripTrack((dir / "trip.avi").string(), nullptr), track);
  EXPECT_GE(track->points.size(), 100u);

  // The command again closes it.
  window.RunCommand(kCmdMapLocation);
  EXPECT_EQ(window.MapDialog(), nullptr);
  EXPECT_FALSE(window.Button(kMapButton)->isChecked());

  // A map window the user closes goes with the next tick.
  window.RunCommand(kCmdMapLocation);
  ASSERT_NE(window.MapDialog(), nullptr);
  window.MapDialog()->close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.MapDialog() == nullptr; }, 2000));
  EXPECT_FALSE(window.Button(kMapButton)->isChecked());

  // OK in the proxy settings renews an open map window with the new values.
  window.RunCommand(kCmdMapLocation);
  QPointer<CMappingDlg> before = window.MapDialog();
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* proxy = qobject_cast<QDialog*>(w); proxy && w->windowTitle() == "Proxy Server Settings")
        proxy->accept();
  });
  window.RunCommand(kCmdProxySettings);
  EXPECT_TRUE(before.isNull());
  ASSERT_NE(window.MapDialog(), nullptr);
  EXPECT_TRUE(window.Button(kMapButton)->isChecked());
  EXPECT_EQ(ReadSetting(kProxyOnSetting), "no");
}

TEST(PlayerWindowMap, ALiveSessionsMapShowsTheStreamOnly) {
  // The map open before the stream (renewed for it) or opened after it.
  for (const bool mapOpenBefore : {false, true}) {
    SCOPED_TRACE(mapOpenBefore ? "map open before" : "map opened after");
    TempDir dir, cacheHome;
    ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
    std::atomic<ServerFault> fault{ServerFault::kNone};
    HttpTestServer server(MapHandler(fault));
    StoreMapSource("static", server.BaseUrl());
    StoreProxy("no");
    // The recording drives a minute further along the route than the live
    // unit, whose few pictures all stand at the route's start.
    recgen::RecordingOptions options;
    options.width = 320;
    options.height = 240;
    options.fps = 10;
    options.seconds = 20;
    options.firstFrame = 600;
    const std::string trip = (dir / "trip.avi").string();
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(trip, options, error)) << error;
    recgen::RecordingOptions live;
    const double liveLatitude = PackedCoordinateToDegrees(recgen::ExpectedMetadata(live, 0, 0).latitude);
    dvrsim::DvrSimulator unit({});
    ASSERT_TRUE(unit.Start(error)) << error;

    CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
    window.show();
    QSignalSpy opened(&window, &CQMXPlayerDlg::OpenFinished);
    window.OpenRecording(trip);
    ASSERT_TRUE(opened.wait(30000));
    const auto cacheSize = [&] {
      std::error_code ec;
      const auto size = std::filesystem::file_size(MapCachePath(trip), ec);
      return ec ? -1 : (long long)size;
    };
    if (mapOpenBefore) {
      window.RunCommand(kMapButton);
      ASSERT_TRUE(QTest::qWaitFor([&] { return window.MapDialog()->Fetcher().StoredPictures() > 0; }, 20000));
    }
    QPointer<CMappingDlg> recordingMap = window.MapDialog();

    window.OpenStream(unit.Address());
    const long long keptBefore = cacheSize();
    EXPECT_EQ(window.windowTitle().toStdString(), "QMX Player - Live " + unit.Address());
    if (!mapOpenBefore) window.RunCommand(kMapButton);
    CMappingDlg* map = window.MapDialog();
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(recordingMap.isNull()) << "the recording's map window is not reused";
    const int requestsBefore = server.RequestCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !map->Picture().isNull() && !map->StatusShown(); }, 20000));
    // A few more live positions come and go.
    const int shown = map->PicturesShown();
    (void)QTest::qWaitFor([&] { return map->PicturesShown() > shown + 2; }, 3000);

    EXPECT_EQ(TrackPixels(map->Picture()), 0) << "no recording's track";
    EXPECT_EQ(map->Fetcher().StoredPictures(), std::size_t(map->Fetcher().Requests()))
        << "nothing loaded from a cache file";
    EXPECT_EQ(cacheSize(), keptBefore) << "nothing written beside the recording";
    const std::vector<HttpRequest> requests = server.Requests();
    ASSERT_GT(int(requests.size()), requestsBefore);
    for (std::size_t i = std::size_t(requestsBefore); i < requests.size(); ++i) {
      const std::string& target = requests[i].target;
      const std::size_t at = target.find("center=");
      ASSERT_NE(at, std::string::npos) << target;
      EXPECT_NEAR(std::atof(target.c_str() + at + 7), liveLatitude, 0.0002) << "a live position: " << target;
    }
    window.OpenStream("");
  }
}
