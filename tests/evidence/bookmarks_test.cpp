// The examiner's bookmarks: kept per recording in the data folder, read back
// whole, exported as CSV that another reader parses, and the headless export.
#include "evidence/bookmarks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "evidence/package_manifest.h"
#include "evidence_test_support.h"
#include "metadata/clock_text.h"
#include "recording_writer.h"
#include "run_command.h"
#include "scoped_env.h"

namespace {

namespace fs = std::filesystem;
using evidence::Bookmark;

std::vector<std::string> Files(const fs::path& p) {
  return {p.string()};
}

TEST(Bookmarks, KeptPerRecordingInTheDataFolderAndReadBackWhole) {
  TempDir dir;
  const ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
  std::string error;
  fs::create_directories(dir / "rec");
  ASSERT_TRUE(recgen::WriteRecording(dir / "rec/a.avi", SmallRecording(), error)) << error;
  fs::copy_file(dir / "rec/a.avi", dir / "rec/copy.avi");
  fs::create_symlink(dir / "rec/a.avi", dir / "rec/link.avi");

  const evidence::RecordingNotes notes{{{1250, "plain", 1700000000},
                                        {40, "comma, \"quotes\" and a\ttab", 0},
                                        {1250, "same time, kept in order", 1},
                                        {90000, "two\nlines \\ and a backslash\\", 2},
                                        {7, "", 3},
                                        {300,
                                         "\xc3\x9c"
                                         "berholen \xe2\x80\x93 \xf0\x9f\x9a\x97",
                                         4}},
                                       -133000};
  ASSERT_TRUE(evidence::SaveRecordingNotes(Files(dir / "rec/a.avi"), notes, error)) << error;
  evidence::RecordingNotes sorted = notes;
  evidence::SortBookmarks(sorted.bookmarks);
  ASSERT_EQ(sorted.bookmarks[3].note, "plain");  // stable: the earlier of the two at 1250

  const struct {
    const char* what;
    fs::path file;
    evidence::RecordingNotes expected;
  } rows[] = {
      {"the recording", dir / "rec/a.avi", sorted},
      {"through a link to it", dir / "rec/link.avi", sorted},
      {"a copy elsewhere starts empty", dir / "rec/copy.avi", {}},
      {"a file that is not there", dir / "rec/none.avi", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(evidence::LoadRecordingNotes(Files(row.file)), row.expected);
  }
  // Nothing is written beside the recording; the store is in the data folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "rec"), fs::directory_iterator()), 3);
  const std::string store = evidence::NotesStorePath(Files(dir / "rec/a.avi"));
  EXPECT_EQ(store.rfind((dir / "data/qmxplayer/bookmarks/").string(), 0), 0u) << store;

  // Damaged lines are left out, the rest still reads.
  std::ofstream(store, std::ios::app) << "garbage\n-5\t0\tnegative\n12\tx\tbad time\n60\t0\tgood\n";
  EXPECT_EQ(evidence::LoadBookmarks(Files(dir / "rec/a.avi")).size(), 7u);

  // Empty notes take the store away; a data folder that can't be made fails with a reason.
  ASSERT_TRUE(evidence::SaveRecordingNotes(Files(dir / "rec/a.avi"), {}, error)) << error;
  EXPECT_FALSE(fs::exists(store));
  const ScopedEnv blocked("XDG_DATA_HOME", (dir / "rec/a.avi").string());
  EXPECT_FALSE(evidence::SaveRecordingNotes(Files(dir / "rec/copy.avi"), notes, error));
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
}

TEST(Bookmarks, JumpsSkipTheBookmarkJustReached) {
  const std::vector<Bookmark> marks = {{100, "", 0}, {500, "", 0}, {2000, "", 0}};
  const struct {
    int64_t position;
    std::optional<int64_t> next, previous;
  } rows[] = {
      {0, 100, std::nullopt},   {89, 100, std::nullopt},   {95, 500, std::nullopt},
      {105, 500, std::nullopt}, {149, 500, std::nullopt},  {151, 500, 100},
      {560, 2000, 500},         {2000, std::nullopt, 500}, {9000, std::nullopt, 2000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.position);
    EXPECT_EQ(evidence::NextBookmark(marks, row.position), row.next);
    EXPECT_EQ(evidence::PreviousBookmark(marks, row.position), row.previous);
  }
  EXPECT_EQ(evidence::NextBookmark({}, 0), std::nullopt);
}

TEST(Bookmarks, ExportedAsCsvThatAnotherReaderParses) {
  TempDir dir;
  const ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "t.avi", SmallRecording(), error)) << error;
  const std::vector<Bookmark> marks = {{6520, "van pulls out, \"no signal\"", 1700000000},
                                       {150, "line one\nline two", 0}};
  ASSERT_TRUE(evidence::SaveRecordingNotes(Files(dir / "t.avi"), {marks, 0}, error)) << error;
  const std::string file = ShellQuote((dir / "t.avi").string());
  const std::string out = ShellQuote((dir / "marks.csv").string());

  const struct {
    std::string args;
    int status;
    std::string message;  // in the one line of stderr; "" for none
  } rows[] = {
      {file + " --export-bookmarks " + out, 0, ""},
      {"--export-bookmarks " + file + " --out " + out, 0, ""},
      {file + " --export-bookmarks " + file, 2, "would replace the recording"},
      {file + " --export-bookmarks " + ShellQuote(dir.path().string()), 2, "folder"},
      {ShellQuote((dir / "none.avi").string()) + " --export-bookmarks " + out, 2, "No such file"},
      {"--export-bookmarks " + file, 2, "usage: qmxplayer FILE --export-bookmarks OUT.csv"},
      {file + " --export-bookmarks " + ShellQuote((dir / "no/such/x.csv").string()), 3, "cannot be written"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    fs::remove(dir / "marks.csv");
    const PlayerRun run = RunPlayer(row.args, dir);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), row.message.empty() ? 0 : 1) << run.err;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    EXPECT_EQ(fs::exists(dir / "marks.csv"), row.status == 0);
  }

  // Python's csv module reads the rows back, quotes and line breaks included.
  RunPlayer(file + " --export-bookmarks " + out, dir);
  int status = -1;
  const std::string parsed = RunCommand(
      "python3 -c 'import csv,sys; [print(repr(r)) for r in csv.reader(open(sys.argv[1], newline=\"\"))]' " +
          out,
      &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(parsed,
            "['position', 'centis', 'added', 'note']\n"
            "['0:00:01.50', '150', '', 'line one\\nline two']\n"
            "['0:01:05.20', '6520', '2023-11-14T22:13:20.000Z', 'van pulls out, \"no signal\"']\n");
}

// The correction and the unit are stated in what the modes write; the
// recorded times stay as they were.
TEST(RecordingNotes, CorrectionAndUnitStatedInTheExports) {
  TempDir dir;
  const ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
  const ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
  fs::create_directories(dir / "config/QMX");
  std::ofstream(dir / "config/QMX/Player.ini") << "[General]\nSpeedUnit=km/h\n";
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "t.avi", SmallRecording(), error)) << error;
  ASSERT_TRUE(evidence::SaveRecordingNotes(Files(dir / "t.avi"), {{}, 133000}, error)) << error;
  const std::string file = ShellQuote((dir / "t.avi").string());

  const PlayerRun rows = RunPlayer("--export-metadata " + file, dir);
  ASSERT_EQ(rows.status, 0) << rows.err;
  std::istringstream in(rows.out);
  std::string header, first;
  std::getline(in, header);
  std::getline(in, first);
  EXPECT_EQ(header,
            "channel,frame,UTC Time,Local Time,GPS Sat Count,Latitude,Longitude,Speed,X Acceleration,"
            "Y Acceleration,Z Acceleration,Triggers,Corrected Local Time (+0:02:13)\r");
  std::vector<std::string> f;
  for (std::size_t a = 0, b; a <= first.size(); a = b + 1) {
    b = std::min(first.find(',', a), first.size());
    f.push_back(first.substr(a, b - a));
  }
  ASSERT_EQ(f.size(), 13u) << first;
  EXPECT_EQ(f[7], "40 km/h");
  EXPECT_EQ(f[12], *CorrectedTimeText(f[3], 133000) + "\r");

  const PlayerRun track = RunPlayer(
      "--export-track " + file + " --format gpx --out " + ShellQuote((dir / "t.gpx").string()), dir);
  ASSERT_EQ(track.status, 0) << track.err;
  EXPECT_NE(
      ReadWholeFile(dir / "t.gpx").find("<desc>DVR clock correction +0:02:13: add it to the recorded times"),
      std::string::npos);

  const PlayerRun package = RunPlayer("--export-evidence " + file + " --from 0 --to 100 --cameras 1 --out " +
                                          ShellQuote((dir / "p").string()),
                                      dir);
  ASSERT_EQ(package.status, 0) << package.err;
  evidence::PackageDescription described;
  ASSERT_TRUE(evidence::ParsePackageJson(ReadWholeFile(dir / "p/manifest.json"), described, error)) << error;
  EXPECT_EQ(described.clockCorrectionMillis, 133000);
  EXPECT_NE(ReadWholeFile(dir / "p/manifest.json").find("\"text\": \"+0:02:13\""), std::string::npos);
  EXPECT_NE(ReadWholeFile(dir / "p/metadata.csv").find(",Corrected Local Time (+0:02:13)\r\n"),
            std::string::npos);
}

}  // namespace
