// `qmxplayer --map-image`: the map around the vehicle of a generated
// recording, from a local tile server, with the whole track drawn through
// the positions of the recording's metadata.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "expected_metadata.h"
#include "map/map_cache_file.h"
#include "map/map_composer.h"
#include "map/map_tile_store.h"
#include "map/track_projection.h"
#include "map_test_support.h"
#include "recording_writer.h"
#include "run_command.h"
#include "scoped_env.h"
#include "temp_dir.h"
#include "tinyproxy_process.h"
#include "ui/core/window_controls.h"
#include "ui/mapping_dialog.h"
#include "ui/player_window.h"

namespace {

recgen::RecordingOptions TripOptions() {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.seconds = 60;
  o.fps = 5;
  o.video = {true, false, false, false};
  o.audio = {false, false, false, false};
  return o;
}

// `before` is shell text run first (a limit, a trap), ending in "&&".
std::string MapImage(const std::string& args, int& status, const std::string& before = "") {
  return RunCommand(
      before + ShellQuote(std::string(QMX_APP_DIR) + "/qmxplayer") + " --map-image " + args + " 2>&1",
      &status);
}

GeoPoint PositionOfFrame(const recgen::RecordingOptions& options, int64_t frame) {
  const MetadataSample s = recgen::ExpectedMetadata(options, 1, frame);
  return {PackedCoordinateToDegrees(s.latitude), PackedCoordinateToDegrees(s.longitude)};
}

bool NearColour(const QImage& image, int x, int y, QColor want) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const QColor c = image.pixelColor(x + dx, y + dy);
      if (std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
              std::abs(c.blue() - want.blue()) <=
          30)
        return true;
    }
  return false;
}

}  // namespace

TEST(MapImageMode, TheTrackPassesThroughTheRecordedPositions) {
  TempDir dir, cacheHome;
  ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
  std::atomic<ServerFault> fault{ServerFault::kNone};
  HttpTestServer server(MapHandler(fault));
  StoreMapSource("tiles", server.BaseUrl());
  StoreProxy("no");
  const recgen::RecordingOptions options = TripOptions();
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", options, error)) << error;

  constexpr int kZoom = 17;
  constexpr int kAtFrame = 150;  // 30 s at 5 frames a second
  const std::string out = (dir / "map.png").string();
  int status = -1;
  const std::string said = MapImage(
      ShellQuote((dir / "trip.avi").string()) + " --at 3000 --zoom 17 --out " + ShellQuote(out), status);
  ASSERT_EQ(status, 0) << said;
  EXPECT_GT(server.RequestCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "trip.map")) << "the mode never writes beside the recording";
  const QImage image(QString::fromStdString(out));
  ASSERT_EQ(image.size(), QSize(kViewSize, kViewSize));

  auto position = [&](int64_t frame) {
    const MetadataSample s = recgen::ExpectedMetadata(options, 1, frame);
    return GeoPoint{PackedCoordinateToDegrees(s.latitude), PackedCoordinateToDegrees(s.longitude)};
  };
  const GeoPoint centre = position(kAtFrame);
  EXPECT_TRUE(NearColour(image, 200, 200, QColor::fromRgba(kVehicleColour)));
  int checked = 0;
  for (int64_t frame = 0; frame < 300; frame += 7) {
    const ViewPixel p = ProjectToView(position(frame), centre, kZoom, 1.0);
    const bool nearVehicle = std::hypot(p.x - 200, p.y - 200) < 12;
    if (nearVehicle || p.x < 3 || p.x > 396 || p.y < 3 || p.y > 380) continue;
    EXPECT_TRUE(
        NearColour(image, int(std::lround(p.x)), int(std::lround(p.y)), QColor::fromRgba(kTrackColour)))
        << "frame " << frame << " at " << p.x << "," << p.y;
    ++checked;
  }
  EXPECT_GE(checked, 20);
  // Away from the track the map itself shows.
  int mapPixels = 0;
  for (int y = 0; y < kViewSize; y += 10)
    for (int x = 0; x < kViewSize; x += 10) mapPixels += image.pixelColor(x, y) == kMapGrey;
  EXPECT_GT(mapPixels, 1200);

  // The tiles stay on disk: the same picture comes without the server.
  fault = ServerFault::kNotFound;
  const int before = server.RequestCount();
  const std::string again = (dir / "again.png").string();
  MapImage(ShellQuote((dir / "trip.avi").string()) + " --at 3000 --zoom 17 --out " + ShellQuote(again),
           status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(server.RequestCount(), before);
  EXPECT_EQ(QImage(QString::fromStdString(again)), image);
}

TEST(MapImageMode, EveryFailureSaysWhyWithItsStatus) {
  TempDir dir, cacheHome;
  ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
  std::atomic<ServerFault> fault{ServerFault::kNotFound};
  HttpTestServer server(MapHandler(fault));
  StoreMapSource("static", server.BaseUrl());
  StoreProxy("no");
  recgen::RecordingOptions options = TripOptions();
  options.seconds = 2;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", options, error)) << error;
  options.meta = recgen::MetaPlacement::kNone;
  ASSERT_TRUE(recgen::WriteRecording(dir / "blind.avi", options, error)) << error;
  const std::string trip = ShellQuote((dir / "trip.avi").string());
  const struct {
    std::string args;
    int status;
    std::string says;
  } rows[] = {
      {trip + " --at 100 --out " + ShellQuote((dir / "a.png").string()), 3, "no map: No Map Tile Available"},
      {ShellQuote((dir / "blind.avi").string()) + " --at 100 --out x.png", 3, "holds no GPS position"},
      {ShellQuote((dir / "missing.avi").string()) + " --at 100 --out x.png", 2, "missing.avi"},
      {trip + " --at 100 --zoom 21 --out x.png", 2, "usage:"},
      {trip + " --at soon --out x.png", 2, "usage:"},
      {trip + " --out x.png", 2, "usage:"},
  };
  for (const auto& row : rows) {
    int status = -1;
    const std::string said = MapImage(row.args, status);
    EXPECT_EQ(status, row.status) << row.args << ": " << said;
    EXPECT_NE(said.find(row.says), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));
  // A map that cannot be saved.
  fault = ServerFault::kNone;
  int status = -1;
  const std::string said =
      MapImage(trip + " --at 100 --out " + ShellQuote((dir / "no/such/folder.png").string()), status);
  EXPECT_EQ(status, 3) << said;
  EXPECT_NE(said.find("cannot save the map"), std::string::npos) << said;
}

TEST(MapImageMode, FindsTheMapTheWindowCachedWithoutAskingTheServer) {
  TempDir dir, cacheHome;
  ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
  std::atomic<ServerFault> fault{ServerFault::kNone};
  HttpTestServer server(MapHandler(fault));
  StoreMapSource("static", server.BaseUrl());
  StoreProxy("no");
  recgen::RecordingOptions options = TripOptions();
  options.seconds = 20;
  const std::string trip = (dir / "trip.avi").string();
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(trip, options, error)) << error;
  {
    CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
    window.show();
    QSignalSpy opened(&window, &CQMXPlayerDlg::OpenFinished);
    window.OpenRecording(trip);
    ASSERT_TRUE(opened.wait(30000));
    window.RunCommand(kMapButton);
    ASSERT_NE(window.MapDialog(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.MapDialog()->Fetcher().StoredPictures() >= 1; }, 20000));
  }
  const std::vector<MapCacheRecord> records = MapCacheFile(MapCachePath(trip)).Load();
  ASSERT_FALSE(records.empty());
  // The frame whose position the window stored (it keys on the banner's text).
  int64_t frame = -1;
  for (int64_t k = 0; k < options.seconds * options.fps && frame < 0; ++k)
    if (MapCacheKey(PositionOfFrame(options, k)) == GeoPoint{records[0].latitude, records[0].longitude})
      frame = k;
  ASSERT_GE(frame, 0);

  fault = ServerFault::kNotFound;
  const int before = server.RequestCount();
  int status = -1;
  const std::string out = (dir / "cached.png").string();
  const std::string said =
      MapImage(ShellQuote(trip) + " --at " + std::to_string(std::llround(double(frame) * 100 / options.fps)) +
                   " --out " + ShellQuote(out),
               status);
  EXPECT_EQ(status, 0) << said;
  EXPECT_EQ(server.RequestCount(), before) << "the picture is in the cache file";
  EXPECT_EQ(QImage(QString::fromStdString(out)).size(), QSize(kViewSize, kViewSize));
}

TEST(MapImageMode, TilesProxiesAndFullDisksFailInOneLineNamingTheCause) {
  const bool haveProxy = !TinyproxyProcess::Binary().empty();
  const struct {
    const char* what;
    ServerFault fault;
    const char* proxyUser;  // nullptr: no proxy; "" an open one
    const char* authenticate;
    const char* password;
    const char* before;  // shell text run first
    std::string says;
  } rows[] = {
      {"a tile that does not decode", ServerFault::kBrokenPng, nullptr, "", "", "", "no map: Proxy Error"},
      // tinyproxy turns a wrong password away with its own 401.
      {"a wrong proxy password", ServerFault::kNone, "mapuser", "yes", "wrong", "",
       "refused the user name and password: HTTP 401"},
      {"no proxy credentials", ServerFault::kNone, "mapuser", "no", "", "",
       "asks for a user name and password: HTTP 407"},
      // A disk that fills up: writes past 1 kB fail with EFBIG.
      {"a full disk", ServerFault::kNone, nullptr, "", "", "ulimit -f 2 && trap '' XFSZ && ",
       "File too large"},
  };
  TempDir dir;
  recgen::RecordingOptions options = TripOptions();
  options.seconds = 2;
  const std::string trip = (dir / "trip.avi").string();
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(trip, options, error)) << error;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.proxyUser && !haveProxy) continue;
    TempDir out, cacheHome;
    ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
    std::atomic<ServerFault> fault{row.fault};
    HttpTestServer server(MapHandler(fault));
    StoreMapSource("tiles", server.BaseUrl());
    std::unique_ptr<TinyproxyProcess> proxy;
    std::string says = row.says;
    if (row.proxyUser) {
      proxy = std::make_unique<TinyproxyProcess>(row.proxyUser, "s3cret");
      ASSERT_TRUE(proxy->Ready());
      const std::string port = std::to_string(proxy->Port());
      StoreProxy("yes", "127.0.0.1", port, row.authenticate, row.proxyUser, row.password);
      says = "the proxy 127.0.0.1:" + port + " " + says;
    } else {
      StoreProxy("no");
    }
    int status = -1;
    const std::string said = MapImage(
        ShellQuote(trip) + " --at 100 --out " + ShellQuote((out / "map.png").string()), status, row.before);
    EXPECT_EQ(status, 3) << said;
    EXPECT_NE(said.find(says), std::string::npos) << said;
    EXPECT_EQ(said.find("tile server"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_TRUE(std::filesystem::is_empty(out.path())) << "nothing is left";
  }
}
