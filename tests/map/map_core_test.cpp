// The map's pure rules: the cache file (good, damaged and hostile), tile
// maths, URLs, the proxy texts, the track and its projection.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "map/map_cache_file.h"
#include "map/map_source.h"
#include "map/proxy_config.h"
#include "map/tile_math.h"
#include "map/track_projection.h"
#include "map/trip_track.h"
#include "temp_dir.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

MapCacheRecord Record(double lat, double lon, int zoom, std::size_t n, uint8_t fill) {
  return {lat, lon, zoom, std::vector<uint8_t>(n, fill)};
}

// A record header with any length field, followed by `bodyBytes` bytes.
std::vector<uint8_t> RawRecord(double lat, double lon, int32_t zoom, int32_t length, std::size_t bodyBytes) {
  std::vector<uint8_t> out(24 + bodyBytes, 0x5A);
  std::memcpy(&out[0], &lat, 8);
  std::memcpy(&out[8], &lon, 8);
  std::memcpy(&out[16], &zoom, 4);
  std::memcpy(&out[20], &length, 4);
  return out;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

TEST(MapCacheFile, PathBesideTheRecording) {
  const struct {
    const char* recording;
    const char* cache;
  } rows[] = {
      {"/data/trip-001.avi", "/data/trip-001.map"},
      {"/data/trip.2011.avi", "/data/trip.2011.map"},
      {"/data/noext", "/data/noext.map"},
      {"/data.d/noext", "/data.d/noext.map"},  // a dot in a folder is no extension
      {"trip.AVI", "trip.map"},
  };
  for (const auto& row : rows) EXPECT_EQ(MapCachePath(row.recording), row.cache) << row.recording;
}

TEST(MapCacheFile, LoadsExactlyTheValidRecords) {
  const MapCacheRecord a = Record(49.27, -122.65, 15, 500, 1);
  const MapCacheRecord b = Record(-33.86, 151.2, 3, 120, 2);
  const auto encA = EncodeMapCacheRecord(a), encB = EncodeMapCacheRecord(b);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    std::vector<MapCacheRecord> expected;
  } rows[] = {
      {"empty file", {}, {}},
      {"two records", Bytes({encA, encB}), {a, b}},
      {"a short header at the end", Bytes({encA, std::vector<uint8_t>(20, 0)}), {a}},
      {"the last image cut short", Bytes({encA, std::vector<uint8_t>(encB.begin(), encB.end() - 1)}), {a}},
      {"a negative length", Bytes({encA, RawRecord(1, 1, 15, -24, 100), encB}), {a}},
      {"a zero length", Bytes({RawRecord(1, 1, 15, 0, 0), encA}), {}},
      {"a length beyond the file", Bytes({encA, RawRecord(1, 1, 15, 0x7fffffff, 10)}), {a}},
      {"a length over the image limit", Bytes({RawRecord(1, 1, 15, 1'000'001, 1'000'001), encB}), {}},
      {"a NaN latitude is skipped", Bytes({RawRecord(nan, 1, 15, 50, 50), encB}), {b}},
      {"a zoom out of range is skipped", Bytes({RawRecord(1, 1, 99, 50, 50), encA}), {a}},
      {"a longitude beyond 180 is skipped", Bytes({encA, RawRecord(1, 400, 15, 50, 50), encB}), {a, b}},
      {"garbage", std::vector<uint8_t>(333, 0xFF), {}},
  };
  TempDir dir;
  for (const auto& row : rows) {
    EXPECT_EQ(ParseMapCache(row.bytes.data(), row.bytes.size()), row.expected) << row.what;
    const auto path = dir / "trip.map";
    WriteFile(path, row.bytes);
    MapCacheFile file(path.string());
    ASSERT_TRUE(file.IsOpen()) << row.what;
    EXPECT_EQ(file.Load(), row.expected) << row.what << " (from the file)";
  }
}

TEST(MapCacheFile, AppendedRecordsAreReadBackAndNothingElse) {
  TempDir dir;
  const std::string path = (dir / "trip.map").string();
  const MapCacheRecord a = Record(49.27, -122.65, 15, 300, 7), b = Record(49.28, -122.66, 16, 4000, 8);
  {
    MapCacheFile file(path);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Load().empty());
    EXPECT_FALSE(std::filesystem::exists(path)) << "made only by the first record";
    EXPECT_TRUE(file.Append(a));
    EXPECT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Append(b));
    EXPECT_FALSE(file.Append(Record(1, 1, 15, 0, 0)));  // an empty picture is never stored
  }
  MapCacheFile again(path);
  EXPECT_EQ(again.Load(), (std::vector<MapCacheRecord>{a, b}));
  EXPECT_EQ(std::filesystem::file_size(path), 24 + 300 + 24 + 4000u);
  MapCacheFile folder(dir.path().string());  // a folder under the name is not used
  EXPECT_FALSE(folder.IsOpen());
  EXPECT_FALSE(folder.Append(a));
}

TEST(TileMath, WorldPixelsAndTiles) {
  const struct {
    GeoPoint point;
    int zoom;
    double x, y;
  } rows[] = {
      {{0, 0}, 1, 256, 256},
      {{51.5074, -0.1278}, 10, 130978.939, 87169.571},
      {{49.2745, -122.655}, 15, 1336235.349, 2871056.889},
      {{-33.8688, 151.2093}, 12, 964717.008, 629242.333},
      {{89.9, 0}, 2, 512, 0},  // beyond Mercator's limit: the edge
  };
  for (const auto& row : rows) {
    const WorldPixel p = ProjectToWorld(row.point, row.zoom);
    EXPECT_NEAR(p.x, row.x, 0.01) << row.point.latitude;
    EXPECT_NEAR(p.y, row.y, 0.01) << row.point.latitude;
  }
}

TEST(TileMath, TheViewIsCoveredOnceByItsTiles) {
  const struct {
    GeoPoint centre;
    int zoom;
    int width = kViewSize, height = kViewSize;
  } rows[] = {{{49.2745, -122.655}, 15},           {{0.0001, 179.9999}, 4},
              {{-33.8688, 151.2093}, 20},          {{84, 10}, 2},
              {{49.2745, -122.655}, 14, 641, 433}, {{0.0001, 179.9999}, 4, 1000, 300},
              {{-33.8688, 151.2093}, 17, 300, 900}};
  for (const auto& row : rows) {
    const int w = row.width, h = row.height;
    std::vector<int> covered(std::size_t(w * h), 0);
    for (const PlacedTile& t : TilesForView(row.centre, row.zoom, w, h)) {
      EXPECT_GE(t.key.x, 0);
      EXPECT_LT(t.key.x, 1 << row.zoom);
      for (int y = std::max(0, t.top); y < std::min(h, t.top + kTileSize); ++y)
        for (int x = std::max(0, t.left); x < std::min(w, t.left + kTileSize); ++x) ++covered[y * w + x];
    }
    // Rows beyond the pole stay uncovered; everything else exactly once.
    const double topWorld = ProjectToWorld(row.centre, row.zoom).y - h / 2.0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (topWorld + y >= 1 && topWorld + y < (kTileSize << row.zoom) - 1) {
          ASSERT_EQ(covered[y * w + x], 1) << row.zoom << " " << w << "x" << h << " at " << x << "," << y;
        }
  }
  // The tile under the centre is the slippy-map tile of the position.
  const auto tiles = TilesForView({51.5074, -0.1278}, 10);
  bool found = false;
  for (const PlacedTile& t : tiles)
    if (t.left <= 200 && t.left + 256 > 200 && t.top <= 200 && t.top + 256 > 200)
      found = t.key == TileKey{10, 511, 340};
  EXPECT_TRUE(found);
}

// The library's map: fitted to its results, and a click read back as a place.
TEST(TileMath, AFittedViewShowsEveryPointAtTheHighestZoomThatHoldsThem) {
  const struct {
    std::vector<GeoPoint> points;
    int width, height;
    int zoom;
  } rows[] = {
      {{{49.28, -122.74}, {49.30, -122.70}, {49.31, -122.665}}, 640, 430, 13},
      {{{49.28, -122.74}, {49.30, -122.70}, {49.31, -122.665}}, 300, 900, 12},
      {{{51.5074, -0.1278}}, 640, 430, 17},  // one point: the zoom's ceiling
      {{{60, -10}, {-40, 30}}, 640, 430, 2},
  };
  for (const auto& row : rows) {
    const GeoPoint centre = MiddleOfPoints(row.points);
    const int zoom = ZoomToShow(centre, row.points, row.width, row.height, 28, 17);
    EXPECT_EQ(zoom, row.zoom) << row.width << "x" << row.height;
    auto inside = [&](int z, int margin) {
      return std::all_of(row.points.begin(), row.points.end(), [&](const GeoPoint& p) {
        const ViewPixel v = ProjectToView(p, centre, z, 1.0, row.width, row.height);
        return v.x >= margin && v.x <= row.width - margin && v.y >= margin && v.y <= row.height - margin;
      });
    };
    if (zoom > kMinZoom) {
      EXPECT_TRUE(inside(zoom, 28));
    }
    if (zoom < 17 && zoom > kMinZoom) {
      EXPECT_FALSE(inside(zoom + 1, 28)) << "not the highest";
    }
    for (const GeoPoint& p : row.points) {
      const GeoPoint back = PositionOfView(ProjectToView(p, centre, zoom, 1.0, row.width, row.height), centre,
                                           zoom, 1.0, row.width, row.height);
      EXPECT_NEAR(back.latitude, p.latitude, 1e-9);
      EXPECT_NEAR(back.longitude, p.longitude, 1e-9);
    }
  }
}

TEST(TileMath, ZoomStaysWithinItsLimits) {
  const struct {
    int zoom, in, out;
    bool canIn, canOut;
  } rows[] = {{15, 16, 14, true, true},
              {19, 20, 18, true, true},
              {20, 20, 19, false, true},
              {3, 4, 2, true, true},
              {2, 3, 2, true, false}};
  for (const auto& row : rows) {
    EXPECT_EQ(ZoomedIn(row.zoom), row.in);
    EXPECT_EQ(ZoomedOut(row.zoom), row.out);
    EXPECT_EQ(CanZoomIn(row.zoom), row.canIn);
    EXPECT_EQ(CanZoomOut(row.zoom), row.canOut);
  }
}

TEST(MapSource, UrlsOfBothKinds) {
  MapSource keyed = MapSourceFromSettings("STATIC", "http://127.0.0.1:8080/", "a b&c", "", "");
  EXPECT_EQ(keyed.kind, MapSourceKind::kStaticMap);
  EXPECT_EQ(StaticMapUrl(keyed, {49.274567, -122.655}, 15),
            "http://127.0.0.1:8080/maps/api/staticmap?center=49.274567,-122.655000&zoom=15&size=300x300&"
            "maptype=roadmap&sensor=true&format=jpg&markers=size:tiny|color:blue|49.274567,-122.655000&key=a%"
            "20b%26c");
  const MapSource plain = MapSourceFromSettings("", "", "", "", "");
  EXPECT_EQ(plain.kind, MapSourceKind::kTiles);
  EXPECT_EQ(TileUrl(plain.tileTemplate, {15, 5219, 11215}),
            "https://tile.openstreetmap.org/15/5219/11215.png");
  EXPECT_EQ(TileUrl("http://h/{z}-{z}/{y}/{x}{q}", {3, 1, 2}), "http://h/3-3/2/1{q}");
  const struct {
    std::string body;
    bool picture;
  } rows[] = {{std::string("\xFF\xD8") + std::string(99, 'x'), true},
              {std::string("\xFF\xD8") + std::string(98, 'x'), false},  // 100 bytes: too short
              {std::string(200, 'x'), false}};
  for (const auto& row : rows) EXPECT_EQ(LooksLikeStaticMapImage(row.body), row.picture) << row.body.size();
}

TEST(ProxyConfig, StoredTextsAsTheMapReadsThem) {
  const struct {
    const char *on, *server, *port, *authenticate, *user, *password;
    ProxyMode mode;
    std::string described;
    bool credentials;
  } rows[] = {
      {"", "", "", "", "", "", ProxyMode::kNone, "direct", false},
      {"YES", "10.1.1.1", "", "no", "u", "p", ProxyMode::kManual, "10.1.1.1:80", false},
      {"yes", "proxy", "8080x", "Yes", "u", "", ProxyMode::kManual, "proxy:8080", true},
      {"yes", "proxy", "99999", "yes", "", "", ProxyMode::kManual, "proxy:80", false},
      {"yes", "proxy", "abc", "yes", "", "secret", ProxyMode::kManual, "proxy:80", true},
      {"Auto", "proxy", "3128", "yes", "u", "p", ProxyMode::kAuto, "system proxy configuration", false},
      {"no", "proxy", "3128", "yes", "u", "p", ProxyMode::kNone, "direct", false},
  };
  for (const auto& row : rows) {
    const ProxyConfig c =
        ProxyConfigFromSettings(row.on, row.server, row.port, row.authenticate, row.user, row.password);
    EXPECT_EQ(c.mode, row.mode) << row.on;
    EXPECT_EQ(ProxyDescription(c), row.described);
    EXPECT_EQ(SendsProxyCredentials(c), row.credentials) << row.on << row.port;
    EXPECT_EQ(ProxyDescription(c).find("secret"), std::string::npos);
  }
}

TEST(ProxyConfig, LocalNamesBypassTheNamedProxy) {
  const struct {
    const char* host;
    bool bypass;
  } rows[] = {{"localhost", true},  {"intranet-maps", true},
              {"127.0.0.1", false}, {"tile.openstreetmap.org", false},
              {"::1", false},       {"", false}};
  for (const auto& row : rows) EXPECT_EQ(BypassesNamedProxy(row.host), row.bypass) << row.host;
}

TEST(TripTrack, PositionsInTimeOrderWithoutGapsOrRepeats) {
  auto sample = [](int32_t lat, int32_t lon) {
    MetadataSample s;
    s.latitude = lat;
    s.longitude = lon;
    return s;
  };
  RecordingScan scan;
  FileScan first, second;
  first.startCentis = 0;
  first.records = {{0, sample(49162740, -122393000)},
                   {10, sample(0, -122393000)},         // no fix
                   {20, sample(49162740, -122393000)},  // standing
                   {30, sample(49163000, -122393000)}};
  second.startCentis = 1000;
  second.records = {{5, sample(-33520000, 151120000)}};
  scan.files = {first, second};
  const TripTrack track = TripTrackFromScan(scan);
  ASSERT_EQ(track.points.size(), 3u);
  EXPECT_EQ(track.points[2].centis, 1005);
  EXPECT_NEAR(track.points[0].position.latitude, 49 + 16.274 / 60, 1e-9);
  EXPECT_NEAR(track.points[2].position.longitude, 151 + 12.0 / 60, 1e-9);
  const struct {
    int64_t at;
    std::size_t point;
  } rows[] = {{-5, 0}, {0, 0}, {25, 0}, {30, 1}, {999, 1}, {1005, 2}, {99999, 2}};
  for (const auto& row : rows)
    EXPECT_EQ(PositionAt(track, row.at), track.points[row.point].position) << row.at;
  EXPECT_FALSE(PositionAt(TripTrack{}, 0));
}

TEST(TrackProjection, TheCentreIsTheMiddleOfTheView) {
  const GeoPoint centre{49.2745, -122.655};
  for (MapSourceKind kind : {MapSourceKind::kTiles, MapSourceKind::kStaticMap}) {
    const double scale = ViewScale(kind);
    const ViewPixel c = ProjectToView(centre, centre, 15, scale);
    EXPECT_DOUBLE_EQ(c.x, 200);
    EXPECT_DOUBLE_EQ(c.y, 200);
    // One tile's width of longitude east is 256 world pixels, drawn `scale` times.
    const GeoPoint east{centre.latitude, centre.longitude + 360.0 / (1 << 15)};
    const auto points = ProjectTrack({centre, east}, centre, 15, scale);
    EXPECT_NEAR(points[1].x - points[0].x, 256 * scale, 1e-6);
    EXPECT_NEAR(points[1].y, points[0].y, 1e-6);
  }
}
