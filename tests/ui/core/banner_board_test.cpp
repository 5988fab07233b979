#include <gtest/gtest.h>

#include <thread>

#include "ui/core/banner_board.h"

namespace {

using Pos = DecodedPosition;
const std::nullopt_t none = std::nullopt;

TEST(BannerBoard, PositionDecodingOfTextLines) {
  struct Case {
    const char* what;
    bool line3;
    std::string text;
    Pos expected;
  };
  const std::vector<Case> cases = {
      {"Lat, south", false, "Lat: 45d30m36sS", {"-45.5100", none}},
      {"Lat, north", false, "Lat: 45d30m36sN", {"45.5100", none}},
      {"Lat cut short reads absent characters as nothing", false, "Lat", {"0.0000", none}},
      {"compact pair", false, "  453036N 1223015W  x", {"45.5100", "-122.5042"}},
      {"compact pair, north-east", false, "0453036N 0012230E tail", {"45.5100", "1.3750"}},
      {"compact pair needs a blank after the second part", false, "453036N 1223015W", {}},
      {"the hemisphere letter must be the part's first", false, "N45N 1223015W x", {}},
      {"no blank at all", false, "453036N", {}},
      {"short parts stay inside the text", false, "N E x", {"0.0000", "0.0000"}},
      {"a stray sign ends a field", false, "-453036N -1223015W x", {"0.5100", "-0.5042"}},
      {"a run of 400 digits reads as 0", true, "P " + std::string(400, '9') + "N", {"0.0000", none}},
      {"Lon, west", true, "Lon:122d30m15sW", {none, "-122.5042"}},
      {"Lon cut short", true, "Lon: 1", {none, "1.0000"}},
      {"two digit runs", true, "Pos 453036S 1223015W", {"-45.5100", "-122.5042"}},
      {"one digit run", true, "Pos 453036N", {"45.5100", none}},
      {"short run", true, "Pos 36N x", {"0.0100", none}},
      {"no fix: a G first", true, "No GPS fix 453036", {}},
      {"too short", true, "  12  ", {}},
      {"no digits", true, "nothing here", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.line3 ? DecodeLine3Position(c.text) : DecodeLine2Position(c.text), c.expected) << c.what;
  }
}

TEST(BannerBoard, LabelsBuildTheFourLines) {
  BannerBoard b;
  EXPECT_EQ(b.Receive("GPS Sat Count", "7", "Bus 12"), std::nullopt);
  EXPECT_EQ(b.Receive("Longitude", "-122.5", "Bus 12"), (MapPosition{0, -122.5}));
  EXPECT_EQ(b.Receive("Latitude", "45.25", "Bus 12"), std::nullopt);  // only the longitude moves the map
  EXPECT_EQ(b.Lines()[0], "DVR Bus 12, Sattelites-7, Lat 45.25, Lon -122.5");
  b.Receive("Speed", "55 MPH", "");
  EXPECT_EQ(b.Lines()[1], "Speed-55 MPH, Acceleration x,y,z");
  b.Receive("Y Acceleration", "-0.2", "");
  b.Receive("Z Acceleration", "1.0", "");
  b.Receive("X Acceleration", "0.1", "");
  EXPECT_EQ(b.Lines()[1], "Speed-55 MPH, Acceleration 0.1x,-0.2y,1.0z");
  b.Receive("Local Time", "12:00:01", "");
  b.Receive("Triggers", "T1,T3", "");
  b.Receive("UTC Time", "ignored", "");
  b.Receive("latitude", "ignored", "");  // labels are case-sensitive
  EXPECT_EQ(b.Lines(), (std::array<std::string, 4>{"DVR Bus 12, Sattelites-7, Lat 45.25, Lon -122.5",
                                                   "Speed-55 MPH, Acceleration 0.1x,-0.2y,1.0z",
                                                   "Local Time-12:00:01", "Triggers-T1,T3"}));

  // After Close the lines are empty, the values survive: a new latitude
  // rebuilds line 0 from the kept satellites and longitude.
  b.ClearLines();
  EXPECT_EQ(b.Lines(), (std::array<std::string, 4>{}));
  b.Receive("Latitude", "46", "Bus 7");
  EXPECT_EQ(b.Lines()[0], "DVR Bus 7, Sattelites-7, Lat 46, Lon -122.5");

  // Text lines of the two-channel DVR: shown as they come, positions decoded.
  EXPECT_EQ(b.Receive("Line2", "Lat: 45d30m36sS", ""), (MapPosition{-45.51, -122.5}));
  EXPECT_EQ(b.Latitude(), "-45.5100");
  const std::optional<MapPosition> moved = b.Receive("Line3", "Lon:122d30m15sW", "");
  ASSERT_TRUE(moved);
  EXPECT_NEAR(moved->latitude, -45.51, 1e-9);
  EXPECT_NEAR(moved->longitude, -122.5042, 1e-9);
  EXPECT_EQ(b.Receive("Line3", "No GPS", ""), std::nullopt);
  EXPECT_EQ(b.Longitude(), "-122.5042");
  b.Receive("Line1",
            std::string("Temp 21\x8F"
                        "C\x11|\x1A"),
            "");
  b.Receive("Line4", "last", "");
  EXPECT_EQ(b.Lines(), (std::array<std::string, 4>{"Temp 21\xB0"
                                                   "C | ",
                                                   "Lat: 45d30m36sS", "No GPS", "last"}));
}

TEST(BannerBoard, SourceFilterFollowsTheBannerChannel) {
  struct Case {
    BannerSourceFilter filter;
    std::array<bool, 5> accepted;  // extractors 1..4, then another source
  };
  constexpr DvrLayout kFour = DvrLayout::kFourChannel;
  const std::vector<Case> cases = {
      {{false, false, kFour, 3}, {true, true, true, true, true}},  // no recording: everything
      {{true, true, kFour, 3}, {false, false, true, false, true}},
      {{true, true, kFour, 1}, {true, false, false, false, true}},  // quad follows channel 1
      {{true, true, DvrLayout::kTwoChannelStacked, 2},
       {true, true, false, false, true}},                           // stacked: extractor 1 always
      {{true, false, kFour, 2}, {true, true, false, false, true}},  // no recording information yet
  };
  for (const Case& c : cases) {
    for (int k = 0; k < 5; ++k) {
      const std::string source = k < 4 ? "Meta Data Extractor " + std::to_string(k + 1) : "Multi Meta Data";
      EXPECT_EQ(AcceptBannerSource(source, c.filter), c.accepted[k])
          << source << " channel " << c.filter.metadataChannel;
    }
  }
}

TEST(BannerBoard, DisplayModesAndConcurrentWriters) {
  EXPECT_EQ(FlagsForDisplay(MetadataDisplay::kHide), (DisplayFlags{false, false}));
  EXPECT_EQ(FlagsForDisplay(MetadataDisplay::kOverlay), (DisplayFlags{true, false}));
  EXPECT_EQ(FlagsForDisplay(MetadataDisplay::kBanner), (DisplayFlags{false, true}));
  EXPECT_EQ(FlagsForDisplay(MetadataDisplay::kBoth), (DisplayFlags{true, true}));

  // Streaming threads write while the window thread reads: every line read
  // is one that was written whole.
  BannerBoard b;
  std::vector<std::thread> writers;
  for (int t = 0; t < 3; ++t) {
    writers.emplace_back([&b, t] {
      for (int i = 0; i < 2000; ++i) b.Receive("Line1", std::string(40, static_cast<char>('a' + t)), "");
    });
  }
  for (int i = 0; i < 2000; ++i) {
    const std::string line = b.Lines()[0];
    ASSERT_TRUE(line.empty() || line == std::string(40, line[0])) << line;
  }
  for (std::thread& w : writers) w.join();
}

}  // namespace
