// The map window against a local HTTP server serving both kinds of source,
// and through a real proxy on loopback.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "map/map_cache_file.h"
#include "map/map_composer.h"
#include "map/tile_math.h"
#include "map/web_grab.h"
#include "map_test_support.h"
#include "scoped_env.h"
#include "temp_dir.h"
#include "tinyproxy_process.h"
#include "ui/mapping_dialog.h"

namespace {

const GeoPoint kHere{49.2745, -122.655};
const GeoPoint kThere{49.2761, -122.6512};

int TilesPerView(const GeoPoint& p, int zoom) {
  return int(TilesForView(p, zoom).size());
}

bool IsColour(const QImage& image, int x, int y, QColor want, int tolerance = 40) {
  const QColor c = image.pixelColor(x, y);
  return std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
             std::abs(c.blue() - want.blue()) <=
         tolerance;
}

// Waits until the window shows a picture with the wanted status text ("" =
// no status shown).
bool WaitForStatus(const CMappingDlg& dialog, const QString& text, int ms = 5000) {
  return QTest::qWaitFor(
      [&] {
        if (dialog.PicturesShown() == 0) return false;
        if (text.isEmpty()) return !dialog.StatusShown() && !dialog.Picture().isNull();
        return dialog.StatusShown() && dialog.StatusText() == text;
      },
      ms);
}

// A fresh tile cache per test, so no test sees another's tiles.
struct FreshCache {
  TempDir dir;
  ScopedEnv env{"XDG_CACHE_HOME", dir.path().string()};
};

struct Source {
  const char* kind;
  int requestsPerView;  // for kHere at the start zoom
};
const Source kSources[] = {{"static", 1}, {"tiles", TilesPerView(kHere, kStartZoom)}};

}  // namespace

TEST(MapWindow, ANewPositionFetchesOnceDrawsAndAStandingVehicleAsksNoMore) {
  for (const Source& source : kSources) {
    SCOPED_TRACE(source.kind);
    FreshCache cache;
    std::atomic<ServerFault> fault{ServerFault::kNone};
    HttpTestServer server(MapHandler(fault));
    StoreMapSource(source.kind, server.BaseUrl());
    StoreProxy("no");
    TempDir recordings;
    const std::string recording = (recordings / "trip.avi").string();
    {
      CMappingDlg dialog(recording);
      dialog.show();
      EXPECT_EQ(dialog.ZoomText(), "15");
      EXPECT_EQ(dialog.StatusText(), "No Map Tile Available");  // no position yet
      EXPECT_TRUE(dialog.StatusShown());
      dialog.SetPosition(0, kHere.longitude);  // no fix: ignored
      dialog.SetPosition(kHere.latitude, kHere.longitude);
      ASSERT_TRUE(WaitForStatus(dialog, ""));
      EXPECT_EQ(server.RequestCount(), source.requestsPerView);
      // The map, and the vehicle in the middle.
      const QImage& picture = dialog.Picture();
      EXPECT_EQ(picture.size(), QSize(kViewSize, kViewSize));
      EXPECT_TRUE(IsColour(picture, 20, 20, kMapGrey));
      EXPECT_TRUE(IsColour(picture, 200, 200, QColor::fromRgba(kVehicleColour)));

      for (int i = 0; i < 5; ++i) dialog.SetPosition(kHere.latitude, kHere.longitude);
      QTest::qWait(400);
      EXPECT_EQ(server.RequestCount(), source.requestsPerView) << "a standing vehicle";

      // A zoom change at a fixed position is a new view: fetched and drawn.
      QSignalSpy shown(&dialog, &CMappingDlg::PictureShown);
      dialog.findChild<QPushButton*>("zoomIn")->click();
      EXPECT_EQ(dialog.ZoomText(), "16");
      ASSERT_TRUE(shown.wait(5000));
      EXPECT_GT(server.RequestCount(), source.requestsPerView);
      EXPECT_FALSE(dialog.StatusShown());
    }
    const auto requestsBefore = server.RequestCount();
    // Both views are kept: the next window for the recording asks for none.
    {
      fault = ServerFault::kHang;
      CMappingDlg again(recording);
      again.SetPosition(kHere.latitude, kHere.longitude);
      ASSERT_TRUE(WaitForStatus(again, ""));
      EXPECT_EQ(server.RequestCount(), requestsBefore);
    }
    const bool isStatic = std::string(source.kind) == "static";
    // Static-map pictures go to the recording's cache file, tiles under the cache folder.
    // Nothing is made that is not written: no empty cache file for tiles.
    EXPECT_EQ(std::filesystem::exists(MapCachePath(recording)), isStatic);
    EXPECT_TRUE(!isStatic || std::filesystem::file_size(MapCachePath(recording)) > 0);
    EXPECT_EQ(std::filesystem::exists(cache.dir / "QMX/Player/tiles"), !isStatic);
  }
}

TEST(MapWindow, FaultyAnswersShowTheirStatusAndOnlyMissingMapsAreRetried) {
  const struct {
    const char* kind;
    ServerFault fault;
    const char* status;
    bool retried;
  } rows[] = {
      {"static", ServerFault::kShortAnswer, "No Map Tile Available", true},
      {"static", ServerFault::kNotFound, "No Map Tile Available", true},
      {"static", ServerFault::kBrokenJpeg, "Proxy Error", false},
      {"tiles", ServerFault::kShortAnswer, "No Map Tile Available", true},
      {"tiles", ServerFault::kNotFound, "No Map Tile Available", true},
      {"tiles", ServerFault::kBrokenJpeg, "Proxy Error", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.kind) + " " + row.status);
    FreshCache cache;
    std::atomic<ServerFault> fault{row.fault};
    HttpTestServer server(MapHandler(fault));
    StoreMapSource(row.kind, server.BaseUrl());
    StoreProxy("no");
    TempDir recordings;
    const std::string recording = (recordings / "trip.avi").string();
    CMappingDlg dialog(recording);
    dialog.SetPosition(kHere.latitude, kHere.longitude);
    ASSERT_TRUE(WaitForStatus(dialog, row.status));
    // The static-map service is asked again on every pass, a tile server
    // after a pause.
    const bool isStatic = std::string(row.kind) == "static";
    const int perView = isStatic ? 1 : TilesPerView(kHere, kStartZoom);
    QTest::qWait(isStatic ? 400 : 1500);
    if (row.retried) {
      EXPECT_GE(server.RequestCount(), (isStatic ? 3 : 2) * perView);
      if (!isStatic) {
        EXPECT_LE(server.RequestCount(), 3 * perView);
      }
    } else {
      EXPECT_EQ(server.RequestCount(), perView);
    }
    // Nothing that is no picture is kept.
    EXPECT_EQ(dialog.Fetcher().StoredPictures(), 0u);
    EXPECT_FALSE(std::filesystem::exists(MapCachePath(recording)));
    // The server mends: a retried view draws.
    fault = ServerFault::kNone;
    if (row.retried) {
      EXPECT_TRUE(WaitForStatus(dialog, ""));
    }
  }
}

TEST(MapWindow, ADamagedCacheFileGivesItsValidRecordsAndKeepsNewOnesFindable) {
  FreshCache cache;
  std::atomic<ServerFault> fault{ServerFault::kNone};
  HttpTestServer server(MapHandler(fault));
  StoreMapSource("static", server.BaseUrl());
  StoreProxy("no");
  TempDir recordings;
  const std::string recording = (recordings / "trip.avi").string();
  const std::string jpeg = StaticMapJpeg(QColor(0x30, 0x90, 0x30));
  {
    std::vector<uint8_t> bytes =
        EncodeMapCacheRecord({kHere.latitude, kHere.longitude, kStartZoom, {jpeg.begin(), jpeg.end()}});
    const auto second =
        EncodeMapCacheRecord({kThere.latitude, kThere.longitude, kStartZoom, {jpeg.begin(), jpeg.end()}});
    bytes.insert(bytes.end(), second.begin(), second.end());
    // A hostile third record: its length points far beyond the file.
    std::vector<uint8_t> hostile = EncodeMapCacheRecord({1, 1, kStartZoom, std::vector<uint8_t>(64, 0)});
    hostile[20] = 0xFF, hostile[21] = 0xFF, hostile[22] = 0xFF, hostile[23] = 0x7F;
    bytes.insert(bytes.end(), hostile.begin(), hostile.end());
    std::ofstream(MapCachePath(recording), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  {
    CMappingDlg dialog(recording);
    EXPECT_EQ(dialog.Fetcher().StoredPictures(), 2u);
    for (const GeoPoint& p : {kHere, kThere}) {
      dialog.SetPosition(p.latitude, p.longitude);
      ASSERT_TRUE(WaitForStatus(dialog, ""));
      EXPECT_TRUE(IsColour(dialog.Picture(), 20, 20, QColor(0x30, 0x90, 0x30)));
    }
    EXPECT_EQ(server.RequestCount(), 0) << "both views came from the cache file";
    dialog.SetPosition(49.28, -122.66);  // a third view: fetched and appended
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Fetcher().StoredPictures() == 3; }, 5000));
  }
  MapCacheFile file(MapCachePath(recording));
  const auto records = file.Load();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].latitude, 49.28);
}

TEST(MapWindow, ZoomButtonsKeepTheLimitsAndShowTheZoomItself) {
  FreshCache cache;
  std::atomic<ServerFault> fault{ServerFault::kNone};
  HttpTestServer server(MapHandler(fault));
  StoreMapSource("static", server.BaseUrl());
  StoreProxy("no");
  CMappingDlg dialog("");
  auto* in = dialog.findChild<QPushButton*>("zoomIn");
  auto* out = dialog.findChild<QPushButton*>("zoomOut");
  const struct {
    QPushButton* button;
    int presses;
    int zoom;
    bool inEnabled, outEnabled;
  } rows[] = {{in, 5, 20, false, true}, {in, 1, 20, false, true}, {out, 1, 19, true, true},
              {out, 16, 3, true, true}, {out, 1, 2, true, false}, {in, 1, 3, true, true}};
  for (const auto& row : rows) {
    for (int i = 0; i < row.presses; ++i) QTest::mouseClick(row.button, Qt::LeftButton);
    EXPECT_EQ(dialog.Zoom(), row.zoom);
    EXPECT_EQ(dialog.ZoomText(), QString::number(row.zoom));
    EXPECT_EQ(in->isEnabled(), row.inEnabled) << row.zoom;
    EXPECT_EQ(out->isEnabled(), row.outEnabled) << row.zoom;
  }
  // The view asked for follows the zoom shown.
  dialog.SetPosition(kHere.latitude, kHere.longitude);
  ASSERT_TRUE(WaitForStatus(dialog, ""));
  ASSERT_EQ(server.RequestCount(), 1);
  EXPECT_NE(server.Requests()[0].target.find("&zoom=3&"), std::string::npos);
}

TEST(MapWindow, ClosingWhileARequestHangsReturnsAtOnceAndNothingFreezes) {
  for (const Source& source : kSources) {
    SCOPED_TRACE(source.kind);
    FreshCache cache;
    std::atomic<ServerFault> fault{ServerFault::kHang};
    HttpTestServer server(MapHandler(fault));
    StoreMapSource(source.kind, server.BaseUrl());
    StoreProxy("no");
    auto dialog = std::make_unique<CMappingDlg>("");
    dialog->show();
    dialog->SetPosition(kHere.latitude, kHere.longitude);
    // The whole view is asked for at once.
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.RequestCount() == source.requestsPerView; }, 5000));
    // The window answers while the requests hang.
    dialog->findChild<QPushButton*>("zoomIn")->click();
    QTest::qWait(100);
    EXPECT_EQ(dialog->ZoomText(), "16");
    QElapsedTimer clock;
    clock.start();
    dialog->close();
    dialog.reset();
    EXPECT_LT(clock.elapsed(), 1000);
  }
}

TEST(MapWindow, ARequestWithoutAnswerEndsAtItsTimeOut) {
  std::atomic<ServerFault> fault{ServerFault::kHang};
  HttpTestServer server(MapHandler(fault));
  CWebGrab grab(ProxyConfig{}, std::chrono::milliseconds(300));
  QByteArray body;
  EXPECT_FALSE(grab.FetchUrl(server.BaseUrl() + "/tiles/1/0/0.png", body));
  EXPECT_NE(grab.LastError().find("no answer within 300 ms"), std::string::npos) << grab.LastError();
  EXPECT_TRUE(body.isEmpty());
  fault = ServerFault::kNone;
  EXPECT_TRUE(grab.FetchUrl(server.BaseUrl() + "/tiles/1/0/0.png", body));
  EXPECT_EQ(grab.LastStatusCode(), 200);
  EXPECT_EQ(body.toStdString(), PngTile());
  EXPECT_FALSE(grab.FetchUrl("not a url", body));
}

TEST(MapWindow, AViewWhoseServerNeverAnswersCostsOneTimeOutNotOnePerTile) {
  std::atomic<ServerFault> fault{ServerFault::kHang};
  HttpTestServer server(MapHandler(fault));
  MapSource source;
  source.tileTemplate = server.BaseUrl() + "/tiles/{z}/{x}/{y}.png";
  const std::atomic<bool> never{false};
  constexpr auto kTimeOut = std::chrono::milliseconds(1500);
  MapComposer composer(source, ProxyConfig{}, nullptr, nullptr, &never, kTimeOut);
  const int tiles = TilesPerView(kHere, kStartZoom);
  ASSERT_GE(tiles, 4);
  QElapsedTimer clock;
  clock.start();
  const MapPicture picture = composer.Compose(kHere, kStartZoom, {});
  const qint64 took = clock.elapsed();
  EXPECT_TRUE(picture.image.isNull());
  EXPECT_EQ(picture.status, MapStatus::kNoMap);
  // Every tile was asked for before the bound ran out (one after another,
  // each would have waited its own time-out).
  EXPECT_EQ(server.RequestCount(), std::min(tiles, 6));
  // Qt's coarse timers may end the bound up to 5 % early.
  EXPECT_GE(took, kTimeOut.count() * 9 / 10);
  EXPECT_LT(took, 2 * kTimeOut.count()) << tiles << " tiles";
  EXPECT_EQ(composer.LastError(), "timed out: no answer within 1500 ms");
}

TEST(MapProxy, ThroughTinyproxyWithAndWithoutAuthentication) {
  if (TinyproxyProcess::Binary().empty())
    GTEST_SKIP() << "tinyproxy is not installed (apt-get install tinyproxy)";
  const struct {
    const char* what;
    const char* proxyUser;  // "" = the proxy asks for nothing
    const char* authenticate;
    const char* user;
    const char* password;
    bool drawn;
  } rows[] = {
      {"open proxy", "", "no", "", "", true},
      {"basic authentication", "mapuser", "yes", "mapuser", "s3cret", true},
      {"wrong password", "mapuser", "yes", "mapuser", "wrong", false},
      {"credentials not sent", "mapuser", "no", "mapuser", "s3cret", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    FreshCache cache;
    std::atomic<ServerFault> fault{ServerFault::kNone};
    HttpTestServer server(MapHandler(fault));
    TinyproxyProcess proxy(row.proxyUser, "s3cret");
    ASSERT_TRUE(proxy.Ready());
    StoreMapSource("static", server.BaseUrl());
    StoreProxy("yes", "127.0.0.1", std::to_string(proxy.Port()), row.authenticate, row.user, row.password);
    CMappingDlg dialog("");
    dialog.SetPosition(kHere.latitude, kHere.longitude);
    if (row.drawn) {
      ASSERT_TRUE(WaitForStatus(dialog, ""));
      ASSERT_GE(server.RequestCount(), 1);
      // tinyproxy says it forwarded the request.
      EXPECT_NE(server.Requests()[0].headers["via"].find("tinyproxy"), std::string::npos);
    } else {
      ASSERT_TRUE(WaitForStatus(dialog, "No Map Tile Available"));
      EXPECT_EQ(server.RequestCount(), 0);
    }
  }
}

TEST(MapProxy, LocalNamesGoDirectPastANamedProxy) {
  // The named proxy does not exist: only a direct request can draw.
  const int deadProxy = FreeLoopbackPort();
  const struct {
    const char* host;
    bool drawn;
  } rows[] = {{"localhost", true}, {"127.0.0.1", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.host);
    FreshCache cache;
    std::atomic<ServerFault> fault{ServerFault::kNone};
    HttpTestServer server(MapHandler(fault));
    StoreMapSource("static", std::string("http://") + row.host + ":" + std::to_string(server.Port()));
    StoreProxy("yes", "127.0.0.1", std::to_string(deadProxy));
    CMappingDlg dialog("");
    dialog.SetPosition(kHere.latitude, kHere.longitude);
    ASSERT_TRUE(WaitForStatus(dialog, row.drawn ? "" : "No Map Tile Available"));
    EXPECT_EQ(server.RequestCount(), row.drawn ? 1 : 0);
  }
}

TEST(MapProxy, AutoFollowsTheSystemConfiguration) {
  // The server stands in for the proxy the system names; the map host does
  // not exist, so only a request through the proxy can draw.
  const struct {
    const char* on;
    bool drawn;
  } rows[] = {{"auto", true}, {"no", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.on);
    FreshCache cache;
    std::atomic<ServerFault> fault{ServerFault::kNone};
    HttpTestServer server(MapHandler(fault));
    ScopedEnv proxyVariable("http_proxy", server.BaseUrl());
    StoreMapSource("static", "http://map-host.invalid");
    StoreProxy(row.on);
    CMappingDlg dialog("");
    dialog.SetPosition(kHere.latitude, kHere.longitude);
    if (row.drawn) {
      ASSERT_TRUE(WaitForStatus(dialog, ""));
      ASSERT_EQ(server.RequestCount(), 1);
      EXPECT_TRUE(server.Requests()[0].target.starts_with("http://map-host.invalid/maps/api/staticmap?"));
    } else {
      ASSERT_TRUE(WaitForStatus(dialog, "No Map Tile Available", 15000));
      EXPECT_EQ(server.RequestCount(), 0);
    }
  }
}
