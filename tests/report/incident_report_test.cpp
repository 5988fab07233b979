// The incident report: `qmxplayer --report` on a generated recording with
// scripted events and a dropped frame, the map from a local tile server,
// and what poppler's readers find in the PDF; the report library's inputs
// (bookmarks, a picture filter) in-process; the failures of the mode.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "evidence/bookmarks.h"
#include "export/redaction.h"
#include "export/redaction_store.h"
#include "map_test_support.h"
#include "recording_writer.h"
#include "report/incident_report.h"
#include "report/player_report_inputs.h"
#include "report/report_layout_math.h"
#include "run_command.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace {

// 20 s at 10 fps, cameras 1 and 2; events at 1, 3, 6.5 and 18 s; camera
// 2's frame 80 (8 s) and camera 1's frame 170 (17 s) missing.
recgen::RecordingOptions Trip() {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.seconds = 20;
  o.fps = 10;
  o.video = {true, true, false, false};
  o.audio = {false, false, false, false};
  o.title = "Van 12 North";
  o.scripted = true;
  o.incidents = {{'t', 7, 1, 1.5}, {'t', 2, 3, 4}, {'x', 7, 6.5, 0}, {'y', -6, 18, 0}};
  o.faults = {{recgen::FaultKind::kDropFrame, 2, 80, 0}, {recgen::FaultKind::kDropFrame, 1, 170, 0}};
  return o;
}

std::string Player(const std::string& args, int& status) {
  return RunCommand(ShellQuote(std::string(QMX_APP_DIR) + "/qmxplayer") + " " + args + " 2>&1", &status);
}

std::string Sha256Sum(const std::filesystem::path& file) {
  return RunCommand("sha256sum " + ShellQuote(file.string()) + " | cut -c1-64 | tr -d '\\n'");
}

// The PDF's text, page by page (pdftotext ends each page with a form feed).
std::vector<std::string> PdfPages(const std::filesystem::path& pdf) {
  const std::string text = RunCommand("pdftotext " + ShellQuote(pdf.string()) + " -");
  std::vector<std::string> pages;
  std::istringstream in(text);
  for (std::string page; std::getline(in, page, '\f');)
    if (!page.empty()) pages.push_back(page);
  return pages;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST(IncidentReport, ThePdfStatesTheRangeAsPopplerReadsIt) {
  TempDir dir, cacheHome;
  ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
  std::atomic<ServerFault> fault{ServerFault::kNone};
  HttpTestServer server(MapHandler(fault));
  StoreMapSource("tiles", server.BaseUrl());
  StoreProxy("no");
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", Trip(), error)) << error;
  const std::string sourceHash = Sha256Sum(dir / "trip.avi");
  ASSERT_EQ(sourceHash.size(), 64u);

  int status = -1;
  const std::string said =
      Player("--report " + ShellQuote((dir / "trip.avi").string()) +
                 " --from 2s --to 0:00:15 --cameras 1,2 --out " + ShellQuote((dir / "r.pdf").string()) +
                 " --case 'CASE-7 fire at the depot' --examiner 'A. Examiner'",
             status);
  ASSERT_EQ(status, 0) << said;
  EXPECT_GT(server.RequestCount(), 0) << "the map is asked of the tile server";
  EXPECT_EQ(Sha256Sum(dir / "trip.avi"), sourceHash) << "the recording is only read";
  EXPECT_FALSE(std::filesystem::exists(dir / "trip.map")) << "nothing is written beside the recording";

  const std::vector<std::string> pages = PdfPages(dir / "r.pdf");
  ASSERT_GE(pages.size(), 3u);
  std::string all;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_TRUE(Has(pages[i], "Page " + std::to_string(i + 1) + " of " + std::to_string(pages.size())))
        << "page " << i + 1;
    EXPECT_TRUE(Has(pages[i], "qmxplayer 0.")) << "the tool's version on page " << i + 1;
    all += pages[i];
  }
  const struct {
    std::string text;
    bool present;
  } rows[] = {
      {"CASE-7 fire at the depot", true},
      {"A. Examiner", true},
      {"Van 12 North", true},
      {sourceHash, true},
      {"0:00:02.00 to 0:00:15.00", true},
      {"2011-03-01 14:05:11.000 UTC", true},  // the range's start in UTC
      {"2011-03-01 06:05:11.000", true},      // and in the recorder's local time
      {"0:00:03.00", true},
      {"trigger: Right Turn", true},
      {"0:00:06.50", true},
      {"harsh motion: X +0.7 g", true},
      {"trigger: Panic", false},   // at 1 s, before the range
      {"harsh motion: Y", false},  // at 18 s, after it
      {"camera 2, file 1, frame 80", true},
      {"frame 170", false},
      {"Map of the range", true},
      {"No map", false},
      {"Speed", true},
      {"km/h", true},
      {"Acceleration", true},
  };
  for (const auto& row : rows) EXPECT_EQ(Has(all, row.text), row.present) << row.text;

  // Every page renders.
  RunCommand("pdftoppm -r 30 -png " + ShellQuote((dir / "r.pdf").string()) + " " +
                 ShellQuote((dir / "page").string()),
             &status);
  EXPECT_EQ(status, 0);
  int rendered = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (entry.path().extension() != ".png") continue;
    const QImage page(QString::fromStdString(entry.path().string()));
    EXPECT_FALSE(page.isNull()) << entry.path();
    ++rendered;
  }
  EXPECT_EQ(rendered, int(pages.size()));
}

TEST(IncidentReport, ShowsTheBookmarksOfTheRangeAndFiltersEveryPicture) {
  TempDir dir, cacheHome;
  ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", Trip(), error)) << error;

  report::IncidentRequest request;
  request.recording = (dir / "trip.avi").string();
  request.fromCentis = 200;
  request.toCentis = 1500;
  request.cameras = {true, true, false, false};
  request.tool = "qmxplayer test";
  request.bookmarks = {{1200, "Second look", "the van brakes hard"}, {100, "Before", "the van still parked"}};
  std::vector<std::pair<int, int64_t>> filtered;
  request.pictureFilter = [&](int camera, int64_t centis, uint8_t* rgb, int width, int height) {
    filtered.emplace_back(camera, centis);
    std::fill(rgb, rgb + std::size_t(width) * std::size_t(height) * 3, uint8_t(0));
  };
  request.pictureFilterNote = "Pictures blacked out for the test.";
  // A map source nobody answers at.
  report::MapAccess map;
  map.source.tileTemplate = "http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/{z}/{x}/{y}.png";
  const std::atomic<bool> cancel{false};
  const report::ReportOutcome outcome =
      report::MakeIncidentReport(request, map, (dir / "r.pdf").string(), cancel);
  ASSERT_EQ(outcome.status, report::ReportStatus::kDone) << outcome.reason;
  EXPECT_EQ(outcome.sha256,
            RunCommand("sha256sum " + ShellQuote((dir / "r.pdf").string()) + " | cut -c1-64 | tr -d '\\n'"));

  // The start and the two events of the range, each camera once.
  const std::vector<std::pair<int, int64_t>> expected{{0, 200}, {1, 200}, {0, 300},
                                                      {1, 300}, {0, 650}, {1, 650}};
  EXPECT_EQ(filtered, expected);
  std::string all;
  for (const std::string& page : PdfPages(dir / "r.pdf")) all += page;
  EXPECT_TRUE(Has(all, "Second look"));
  EXPECT_TRUE(Has(all, "the van brakes hard"));
  EXPECT_FALSE(Has(all, "the van still parked"));
  EXPECT_TRUE(Has(all, "Pictures blacked out for the test."));
  EXPECT_TRUE(Has(all, "No map: No Map Tile Available")) << all;

  // The pictures in the PDF are the filtered ones: poppler takes them out black.
  int status = -1;
  RunCommand(
      "pdfimages -png " + ShellQuote((dir / "r.pdf").string()) + " " + ShellQuote((dir / "img").string()),
      &status);
  ASSERT_EQ(status, 0);
  int images = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (!entry.path().filename().string().starts_with("img")) continue;
    const QImage image(QString::fromStdString(entry.path().string()));
    ASSERT_FALSE(image.isNull()) << entry.path();
    int bright = 0;
    for (int y = 0; y < image.height(); y += 4)
      for (int x = 0; x < image.width(); x += 4) bright += qGray(image.pixel(x, y)) > 24;
    EXPECT_EQ(bright, 0) << entry.path();
    ++images;
  }
  EXPECT_EQ(images, int(expected.size()));
}

TEST(IncidentReport, EveryFailureSaysWhyWithItsStatus) {
  TempDir dir;
  recgen::RecordingOptions options = Trip();
  options.seconds = 3;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", options, error)) << error;
  const std::string trip = ShellQuote((dir / "trip.avi").string());
  const std::string out = " --out " + ShellQuote((dir / "r.pdf").string());
  const struct {
    std::string args;
    int status;
    std::string says;
  } rows[] = {
      {trip + " --from 200 --to 100 --cameras 1" + out, 2, "is not in the recording"},
      {trip + " --from 500 --to 600 --cameras 1" + out, 2, "is not in the recording"},
      {trip + " --from 0 --to 100 --cameras 3" + out, 2, "camera 3 has no video"},
      {trip + " --from 0 --to 100 --cameras 1 --out " + trip, 2, "would replace"},
      {ShellQuote((dir / "missing.avi").string()) + " --from 0 --to 100 --cameras 1" + out, 2, "missing.avi"},
      {trip + " --from 0 --to 100" + out, 2, "usage:"},
      {trip + " --from soon --to 100 --cameras 1" + out, 2, "usage:"},
      {trip + " --from 0 --to 100 --cameras 1 --out " + ShellQuote((dir / "no/such/r.pdf").string()), 3,
       "no/such/r.pdf"},
  };
  for (const auto& row : rows) {
    int status = -1;
    const std::string said = Player("--report " + row.args, status);
    EXPECT_EQ(status, row.status) << row.args << ": " << said;
    EXPECT_TRUE(Has(said, row.says)) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_FALSE(std::filesystem::exists(dir / "r.pdf")) << row.args;
  }
}

TEST(IncidentReport, GraphAxesAreRoundAndTheMapHoldsTheWholeRange) {
  const struct {
    double low, high;
    report::AxisScale want;
  } axes[] = {
      {0, 63, {0, 80, 20}},
      {-0.6, 1.04, {-1, 1.5, 0.5}},
      {40, 40, {40, 50, 10}},
      {0, 0, {0, 0.2, 0.2}},
  };
  for (const auto& a : axes) {
    const report::AxisScale got = report::RoundAxis(a.low, a.high, 5);
    EXPECT_DOUBLE_EQ(got.low, a.want.low) << a.low << ".." << a.high;
    EXPECT_DOUBLE_EQ(got.high, a.want.high) << a.low << ".." << a.high;
    EXPECT_DOUBLE_EQ(got.step, a.want.step) << a.low << ".." << a.high;
  }
  // The zoom shows every point of the range, and one more would not.
  const GeoPoint start{47.6, -122.3};
  const auto fits = [&](const std::vector<GeoPoint>& points, int zoom) {
    const WorldPixel a = ProjectToWorld(start, zoom);
    return std::all_of(points.begin(), points.end(), [&](const GeoPoint& p) {
      const WorldPixel b = ProjectToWorld(p, zoom);
      return std::abs(a.x - b.x) <= kViewSize / 2 - 24 && std::abs(a.y - b.y) <= kViewSize / 2 - 24;
    });
  };
  const std::vector<GeoPoint> ranges[] = {
      {},
      {start, {47.6001, -122.3001}},
      {start, {47.61, -122.3}},  // about 1.1 km north
      {start, {47.6, -122.33}},  // about 2.2 km west
      {start, {48.6, -121.3}},   // 130 km away
  };
  for (const std::vector<GeoPoint>& points : ranges) {
    const int zoom = report::ZoomToShow(start, points, kViewSize, 24);
    EXPECT_TRUE(fits(points, zoom)) << points.size() << " points at zoom " << zoom;
    if (zoom < 17) {
      EXPECT_FALSE(fits(points, zoom + 1)) << points.size() << " points at zoom " << zoom;
    }
  }
}

// What the player keeps for a recording (its bookmarks, its saved redaction
// list) reaches every report of it; nothing kept, nothing filtered.
TEST(IncidentReport, TakesTheRecordingsBookmarksAndSavedRedactions) {
  TempDir dir, dataHome;
  ScopedEnv data("XDG_DATA_HOME", dataHome.path().string());
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", Trip(), error)) << error;
  const std::string recording = (dir / "trip.avi").string();

  const report::IncidentRequest bare = report::NewReportRequest(recording);
  EXPECT_TRUE(bare.bookmarks.empty());
  EXPECT_FALSE(bare.pictureFilter);

  evidence::RecordingNotes notes;
  notes.bookmarks = {{300, "brake lights", 0}};
  ASSERT_TRUE(evidence::SaveRecordingNotes({recording}, notes, error)) << error;
  redaction::RedactionList list;
  list.items.push_back({1,
                        redaction::Shape::kRectangle,
                        redaction::Fill::kSolid,
                        {{100, {0.5, 0.5, 0.5, 0.5}}, {300, {0.5, 0.5, 0.5, 0.5}}}});
  ASSERT_TRUE(redaction::SaveRedactionList(redaction::RedactionListPath({recording}), list, error)) << error;

  const report::IncidentRequest request = report::NewReportRequest(recording);
  ASSERT_EQ(request.bookmarks.size(), 1u);
  EXPECT_EQ(request.bookmarks[0].centis, 300);
  EXPECT_EQ(request.bookmarks[0].note, "brake lights");
  ASSERT_TRUE(request.pictureFilter);
  EXPECT_TRUE(Has(request.pictureFilterNote, "SHA-256 ")) << request.pictureFilterNote;
  // Camera 2's lower right quarter is filled while the shape lasts; camera 1
  // and the moment after it stay as they are.
  struct Row {
    int camera;
    int64_t centis;
    bool filled;
  } rows[] = {{1, 200, true}, {0, 200, false}, {1, 400, false}};
  for (const Row& row : rows) {
    std::vector<uint8_t> rgb(8 * 8 * 3, 200);
    request.pictureFilter(row.camera, row.centis, rgb.data(), 8, 8);
    EXPECT_EQ(rgb[(6 * 8 + 6) * 3], row.filled ? 0 : 200) << row.camera << " at " << row.centis;
    EXPECT_EQ(rgb[(1 * 8 + 1) * 3], 200) << row.camera << " at " << row.centis;
  }
}
