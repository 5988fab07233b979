// The player window's map commands: the map window opens and closes with its
// command, follows the playing recording with its whole track, goes when the
// user closes it, and the proxy settings renew it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/settings.h"
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
