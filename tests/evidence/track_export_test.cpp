// Track exports: which positions are kept, and the files as validators and
// the metadata export read them.
#include <gtest/gtest.h>

#include <regex>

#include "evidence/track_formats.h"
#include "evidence/track_points.h"
#include "evidence_test_support.h"
#include "recording_writer.h"
#include "run_command.h"

namespace {

MetadataSample At(int32_t lat, int32_t lon, uint32_t second, int ms = 0) {
  MetadataSample s;
  s.latitude = lat, s.longitude = lon, s.utcSeconds = second, s.milliseconds = ms, s.speed = 50;
  return s;
}

TEST(TrackPoints, LeavesOutNoFixAndImpossibleJumps) {
  const int32_t lat = 49164567, lon = -122393000;  // 49.274278, -122.655000
  const struct {
    const char* name;
    std::vector<MetadataSample> records;
    std::size_t kept;
    int64_t zeros, jumps;
  } rows[] = {
      {"steady", {At(lat, lon, 0), At(lat + 10, lon, 0, 33), At(lat + 20, lon, 0, 66)}, 3, 0, 0},
      {"no fix at all", {At(0, 0, 0), At(0, 0, 1)}, 0, 2, 0},
      {"a real place on the equator", {At(0, lon, 0), At(lat, 0, 1000000)}, 2, 0, 0},
      {"no fix between fixes", {At(lat, lon, 0), At(0, 0, 1), At(lat, lon, 2)}, 2, 1, 0},
      // One degree of latitude (111 km) in a second.
      {"one glitch", {At(lat, lon, 0), At(lat + 1000000, lon, 1), At(lat, lon, 2)}, 2, 0, 1},
      // 90 km in an hour is a drive, not a jump.
      {"long pause", {At(lat, lon, 0), At(lat + 500000, lon, 3600)}, 2, 0, 0},
      {"off the earth", {At(lat, lon, 0), At(95000000, lon, 1)}, 1, 0, 1},
      // The first fix was the bad one: after five jumps the track moves on.
      {"bad first fix",
       {At(lat + 10000000, lon, 0), At(lat, lon, 1), At(lat, lon, 2), At(lat, lon, 3), At(lat, lon, 4),
        At(lat, lon, 5), At(lat, lon, 6)},
       3,
       0,
       4},
  };
  for (const auto& row : rows) {
    const evidence::Track track = evidence::BuildTrack(row.records, "t");
    EXPECT_EQ(track.points.size(), row.kept) << row.name;
    EXPECT_EQ(track.zeroPositions, row.zeros) << row.name;
    EXPECT_EQ(track.impossibleJumps, row.jumps) << row.name;
  }
  const evidence::Track one = evidence::BuildTrack({At(lat, lon, 1298988309, 7)}, "t");
  ASSERT_EQ(one.points.size(), 1u);
  EXPECT_NEAR(one.points[0].latitude, 49.274278, 5e-7);
  EXPECT_NEAR(one.points[0].longitude, -122.655, 5e-7);
  EXPECT_EQ(evidence::Iso8601Utc(one.points[0].utcMillis), "2011-03-01T14:05:09.007Z");
}

// Field `column` of every CSV row of camera 1.
std::vector<std::string> CameraOneColumn(const std::string& csv, const std::string& label) {
  std::vector<std::string> values;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  std::vector<std::string> header;
  std::stringstream hs(line.substr(0, line.size() - 1));
  for (std::string f; std::getline(hs, f, ',');) header.push_back(f);
  const std::size_t column = std::size_t(std::find(header.begin(), header.end(), label) - header.begin());
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream fs(line.substr(0, line.size() - 1));
    for (std::string f; std::getline(fs, f, ',');) fields.push_back(f);
    if (fields.size() > column && fields[0] == "1") values.push_back(fields[column]);
  }
  return values;
}

TEST(TrackExport, ValidatesParsesAndAgreesWithTheMetadataExport) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 2, SmallRecording(), error)) << error;
  const std::string first = (dir / "Trip-001.avi").string();

  // What --export-metadata prints for camera 1, over both files of the run.
  std::vector<std::string> lats, lons;
  for (const char* name : {"Trip-001.avi", "Trip-002.avi"}) {
    const PlayerRun csv = RunPlayer("--export-metadata " + ShellQuote((dir / name).string()), dir);
    ASSERT_EQ(csv.status, 0) << csv.err;
    for (const std::string& v : CameraOneColumn(csv.out, "Latitude")) lats.push_back(v);
    for (const std::string& v : CameraOneColumn(csv.out, "Longitude")) lons.push_back(v);
  }
  ASSERT_EQ(lats.size(), 120u);

  const struct {
    const char* format;
    std::string validate;  // a command that must succeed on the file
    std::regex position;   // captures latitude and longitude, in that order
    bool lonFirst;
  } rows[] = {
      {"gpx", "xmllint --noout --schema " + ShellQuote(std::string(QMX_EVIDENCE_DATA) + "/gpx.xsd"),
       std::regex(R"re(<trkpt lat="([-0-9.]+)" lon="([-0-9.]+)")re"), false},
      {"kml", "xmllint --noout", std::regex(R"re(<gx:coord>([-0-9.]+) ([-0-9.]+) 0<)re"), true},
      {"geojson", "python3 -m json.tool >/dev/null <", std::regex(R"re(\[([-0-9.]+), ([-0-9.]+)\])re"), true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.format);
    const std::string out = (dir / (std::string("track.") + row.format)).string();
    const PlayerRun run = RunPlayer(
        "--export-track " + ShellQuote(first) + " --format " + row.format + " --out " + ShellQuote(out), dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("120 positions written; left out 0 positions of exactly 0 and 0 impossible jumps"),
              std::string::npos)
        << run.err;
    int valid = -1;
    const std::string said = RunCommand(row.validate + " " + ShellQuote(out) + " 2>&1", &valid);
    EXPECT_EQ(valid, 0) << said;

    const std::string text = ReadWholeFile(out);
    std::size_t i = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), row.position), end; it != end; ++it, ++i) {
      ASSERT_LT(i, lats.size());
      EXPECT_EQ((*it)[row.lonFirst ? 2 : 1].str(), lats[i]);
      EXPECT_EQ((*it)[row.lonFirst ? 1 : 2].str(), lons[i]);
    }
    EXPECT_EQ(i, lats.size());
    EXPECT_NE(text.find("2011-03-01T14:05:09.000Z"), std::string::npos);
  }
}

TEST(TrackExport, BadRequestsAndUnwritableOutputs) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "t.avi", SmallRecording(), error)) << error;
  const std::string file = ShellQuote((dir / "t.avi").string());
  const struct {
    std::string args;
    int status;
    std::string message;
  } rows[] = {
      {file + " --format svg --out x", 2, "usage: qmxplayer --export-track"},
      {file + " --format gpx", 2, "usage: qmxplayer --export-track"},
      {ShellQuote((dir / "none.avi").string()) + " --format gpx --out " +
           ShellQuote((dir / "o.gpx").string()),
       2, "No such file or directory"},
      {file + " --format gpx --out " + ShellQuote((dir / "no/such/o.gpx").string()), 3, "cannot be written"},
      {file + " --format gpx --out " + ShellQuote(dir.path().string()), 2, "is a folder, not a file"},
  };
  for (const auto& row : rows) {
    const PlayerRun run = RunPlayer("--export-track " + row.args, dir);
    EXPECT_EQ(run.status, row.status) << row.args << run.err;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
  }
}

}  // namespace
