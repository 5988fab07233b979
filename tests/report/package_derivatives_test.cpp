// Evidence packages with their derived files: `--export-evidence
// --with-video --with-report` through the player's binary, what ffprobe,
// pdftotext, sha256sum and Python's json make of the package, and what
// `--verify` says of it whole and tampered with.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "export/redaction.h"
#include "export/redaction_store.h"
#include "map_test_support.h"
#include "recording_writer.h"
#include "run_command.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Player(const std::string& args, int& status) {
  return RunCommand(ShellQuote(std::string(QMX_APP_DIR) + "/qmxplayer") + " " + args + " 2>&1", &status);
}

void FlipByte(const fs::path& file, uint64_t offset) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(std::streamoff(offset));
  char c = 0;
  f.get(c);
  f.seekp(std::streamoff(offset));
  f.put(char(c ^ 0x5A));
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST(PackageDerivatives, APackageWithVideoAndReportVerifiesAndNamesThemDerived) {
  TempDir dir, cacheHome;
  ScopedEnv cache("XDG_CACHE_HOME", cacheHome.path().string());
  // No map source answers: the report says so and the package is still made.
  StoreMapSource("tiles", "http://127.0.0.1:" + std::to_string(FreeLoopbackPort()));
  recgen::RecordingOptions o;
  o.width = 320, o.height = 240, o.fps = 10, o.seconds = 4;
  o.video = {true, false, true, false};
  o.title = "Package Van";
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", o, error)) << error;
  const fs::path package = dir / "package";
  int status = -1;
  const std::string made = Player("--export-evidence " + ShellQuote((dir / "trip.avi").string()) +
                                      " --from 50 --to 350 --cameras 1,3 --with-video --with-report "
                                      "--case 'Case 31' --examiner 'C. Examiner' --out " +
                                      ShellQuote(package.string()),
                                  status);
  ASSERT_EQ(status, 0) << made;

  // The video holds the range's frames; the report is the range's.
  const std::string frames = RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
      "-of csv=p=0 " +
      ShellQuote((package / "video.mp4").string()));
  EXPECT_EQ(frames, "30\n") << "3 s at 10 fps";
  const std::string pdf = RunCommand("pdftotext " + ShellQuote((package / "report.pdf").string()) + " -");
  EXPECT_TRUE(Has(pdf, "Case 31") && Has(pdf, "C. Examiner") && Has(pdf, "Package Van")) << pdf;
  // Every file, derived ones and the log included, is in the manifest: all
  // but the manifest itself, and the source besides.
  const auto files = std::distance(fs::directory_iterator(package), fs::directory_iterator());
  EXPECT_EQ(
      RunCommand("cd " + ShellQuote(package.string()) + " && sha256sum -c MANIFEST.sha256 | grep -c ': OK$'"),
      std::to_string(files) + "\n");
  EXPECT_TRUE(Has(pdf, "No map: No Map Tile Available")) << pdf;

  // manifest.json, as another JSON reader sees it: the two files, derived,
  // made from the recording, with how.
  const std::string derived = RunCommand(
      "python3 -c 'import json,sys; d=json.load(open(sys.argv[1]))[\"derived\"]; "
      "[print(x[\"file\"], x[\"kind\"], x[\"derived\"], x[\"made_from\"][0], x[\"how\"][\"cameras\"], "
      "x[\"how\"].get(\"layout\", \"-\"), x[\"how\"][\"redactions\"], x[\"how\"][\"tool\"]) for x in d]' " +
      ShellQuote((package / "manifest.json").string()));
  const std::string source = fs::absolute(dir / "trip.avi").lexically_normal().string();
  EXPECT_EQ(derived, "video.mp4 video True " + source + " 1,3 quad none qmxplayer 0.1\n" +
                         "report.pdf report True " + source + " 1,3 - none qmxplayer 0.1\n");

  // The log: each step on a line with its UTC time, the derived files among them.
  std::ifstream logFile(package / "log.txt");
  std::string line;
  int steps = 0;
  bool video = false, report = false;
  while (std::getline(logFile, line)) {
    EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z  \S.*)")))
        << line;
    video = video || Has(line, "video.mp4: video made");
    report = report || Has(line, "report.pdf: report made");
    ++steps;
  }
  EXPECT_GE(steps, 8);
  EXPECT_TRUE(video && report);

  const std::string verified = Player("--verify " + ShellQuote(package.string()), status);
  EXPECT_EQ(status, 0) << verified;
  EXPECT_TRUE(Has(
      verified, "DERIVED: video.mp4 (video): SHA-256 matches; derived, checked by hash, not frame-compared"))
      << verified;
  EXPECT_TRUE(Has(verified, "DERIVED: report.pdf (report): SHA-256 matches")) << verified;
  EXPECT_TRUE(Has(verified, "Verified: ")) << "the clip's frames are still compared: " << verified;

  // Tampering with a derived file or the log fails by hash, naming it.
  const struct {
    std::string file;
    uint64_t offset;
  } rows[] = {{"video.mp4", 2000}, {"report.pdf", 500}, {"log.txt", 3}};
  for (const auto& row : rows) {
    const fs::path copy = dir / ("tampered-" + row.file);
    fs::copy(package, copy);
    FlipByte(copy / row.file, row.offset);
    const std::string said = Player("--verify " + ShellQuote(copy.string()), status);
    EXPECT_EQ(status, 1) << row.file << ": " << said;
    EXPECT_TRUE(Has(said, "MISMATCH: " + row.file + ": SHA-256 differs from the manifest")) << said;
    EXPECT_FALSE(Has(said, "DERIVED: " + row.file)) << said;
  }
}

// A package's video hides what the recording's saved redaction list hides,
// and its manifest names the list by its SHA-256.
TEST(PackageDerivatives, TheVideoOfAPackageCarriesTheSavedRedactions) {
  TempDir dir, dataHome;
  ScopedEnv data("XDG_DATA_HOME", dataHome.path().string());
  recgen::RecordingOptions o;
  o.width = 320, o.height = 240, o.fps = 10, o.seconds = 3;
  o.video = {true, false, false, false};
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", o, error)) << error;
  const std::string recording = (dir / "trip.avi").string();
  redaction::RedactionList list;
  list.items.push_back({0,
                        redaction::Shape::kRectangle,
                        redaction::Fill::kSolid,
                        {{0, {0.25, 0.25, 0.5, 0.5}}, {300, {0.25, 0.25, 0.5, 0.5}}}});
  const std::string listPath = redaction::RedactionListPath({recording});
  ASSERT_TRUE(redaction::SaveRedactionList(listPath, list, error)) << error;

  const fs::path package = dir / "package";
  int status = -1;
  const std::string made =
      Player("--export-evidence " + ShellQuote(recording) +
                 " --from 50 --to 250 --cameras 1 --with-video --out " + ShellQuote(package.string()),
             status);
  ASSERT_EQ(status, 0) << made;
  const std::string how = RunCommand(
      "python3 -c 'import json,sys; "
      "print(json.load(open(sys.argv[1]))[\"derived\"][0][\"how\"][\"redactions\"])' " +
      ShellQuote((package / "manifest.json").string()));
  EXPECT_TRUE(Has(how, RunCommand("sha256sum " + ShellQuote(listPath) + " | cut -c1-64 | tr -d '\\n'")))
      << how;
  // The picture's centre, inside the shape, is the fill in the first frame.
  const std::string centre = RunCommand(
      "ffmpeg -v error -i " + ShellQuote((package / "video.mp4").string()) +
      " -frames:v 1 -vf 'crop=16:16:iw/2-8:ih/2-8,scale=1:1' -f rawvideo -pix_fmt gray - | od -An -tu1");
  ASSERT_NE(centre.find_first_of("0123456789"), std::string::npos) << centre;
  EXPECT_LE(std::stoi(centre), 16) << centre;
}
