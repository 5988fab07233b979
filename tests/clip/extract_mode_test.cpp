// `qmxplayer --extract`, run as users run it: exit statuses, the one-line
// reasons, the settings read back by `--info`, and a disk that fills up.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "clip_fixtures.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

struct ModeRun {
  int status = -1;
  std::string out, err;
};

// `prefix` runs before the player in the same shell (limits, traps).
ModeRun RunMode(const std::string& args, const TempDir& tmp, const std::string& prefix = "") {
  const std::string errPath = (tmp / "stderr.txt").string();
  const std::string command = prefix + " TMPDIR=" + ShellQuote((tmp / "t").string()) + " timeout 60 " +
                              std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>" + ShellQuote(errPath);
  ModeRun run;
  run.out = RunCommand("mkdir -p " + ShellQuote((tmp / "t").string()) + " && " + command, &run.status);
  std::ifstream err(errPath);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

std::string LastLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  const auto cut = t.find_last_of("\n\r");
  return cut == std::string::npos ? t : t.substr(cut + 1);
}

struct ModeCase {
  const char* name;
  std::string args;    // FILE = the recording, TWO = a two-channel one, OUT = the output folder
  std::string prefix;  // shell commands before the run
  int status;
  std::string reason;                // part of the last stderr line ("" on success)
  std::vector<std::string> outputs;  // files in OUT afterwards
};

class ExtractModeTest : public testing::TestWithParam<ModeCase> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    recgen::RecordingOptions o = cliptest::SmallOptions(3, 10);
    o.title = "Mode Van";
    run_ = cliptest::WriteRun(dir_->path(), "Trip", 2, o);
    o.kind = 2;
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(dir_->path() / "two.avi", o, error)) << error;
    std::ofstream(dir_->path() / "text.avi") << "not a recording at all, just some words in a file";
  }
  static void TearDownTestSuite() { delete dir_; }
  static TempDir* dir_;
  static std::vector<std::string> run_;
};
TempDir* ExtractModeTest::dir_ = nullptr;
std::vector<std::string> ExtractModeTest::run_;

TEST_P(ExtractModeTest, ExitsWithItsStatusAndLeavesOnlyCompleteFiles) {
  const ModeCase& c = GetParam();
  TempDir out, tmp;
  std::string args = c.args;
  auto replace = [&](const std::string& key, const std::string& value) {
    for (std::size_t at; (at = args.find(key)) != std::string::npos;)
      args.replace(at, key.size(), ShellQuote(value));
  };
  replace("FILE", run_[0]);
  replace("TWO", (dir_->path() / "two.avi").string());
  replace("TEXT", (dir_->path() / "text.avi").string());
  replace("OUT", out.path().string());
  const std::vector<std::string> sources = {cliptest::FileMd5(run_[0]), cliptest::FileMd5(run_[1])};
  std::string prefix = c.prefix;
  for (std::size_t at; (at = prefix.find("OUT")) != std::string::npos;)
    prefix.replace(at, 3, ShellQuote(out.path().string()));
  const ModeRun run = RunMode("--extract " + args, tmp, prefix);
  EXPECT_EQ(run.status, c.status) << run.err;
  if (c.reason.empty()) {
    EXPECT_EQ(LastLine(run.err), "qmxplayer: extracting 100%");
  } else {
    EXPECT_TRUE(LastLine(run.err).rfind("qmxplayer: ", 0) == 0 || LastLine(run.err).rfind("usage: ", 0) == 0)
        << run.err;
    EXPECT_NE(LastLine(run.err).find(c.reason), std::string::npos) << run.err;
    // "qmxplayer: SUBJECT: REASON" names its file once.
    const std::string line = LastLine(run.err);
    const std::size_t colon = line.find(": ", 11);
    if (line.rfind("qmxplayer: ", 0) == 0 && colon != std::string::npos) {
      EXPECT_EQ(line.find(line.substr(11, colon - 11), colon), std::string::npos) << line;
    }
  }
  std::vector<std::string> files = cliptest::Listing(out.path());
  files.erase(std::remove(files.begin(), files.end(), "sub"), files.end());
  EXPECT_EQ(files, c.outputs);
  EXPECT_TRUE(cliptest::Listing(tmp / "t").empty()) << "temporary files left";
  EXPECT_EQ(sources, (std::vector<std::string>{cliptest::FileMd5(run_[0]), cliptest::FileMd5(run_[1])}));
  if (c.status != 0) return;
  for (const std::string& o : c.outputs)
    EXPECT_NE(run.out.find((out / o).string()), std::string::npos) << run.out;

  // The clip is a recording of its own: --info reads the settings block.
  const ModeRun info = RunMode("--info " + ShellQuote((out / c.outputs[0]).string()), tmp);
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("DVR Title:  Mode Van"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Trigger Labels: Brake,Left Turn,Right Turn,Lights,Siren,Door,Reverse,Panic,Aux 1"),
            std::string::npos)
      << info.out;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ExtractModeTest,
    testing::Values(
        ModeCase{"CamerasTwoAndFour",
                 "FILE --from 150 --to 450 --cameras 2,4 --out OUT/c.avi",
                 "",
                 0,
                 "",
                 {"c.avi"}},
        ModeCase{
            "TwoChannelCameraOne", "TWO --from 0 --to 100 --cameras 1 --out OUT/c.avi", "", 0, "", {"c.avi"}},
        ModeCase{"TwoChannelCameraTwo",
                 "TWO --from 0 --to 100 --cameras 2 --out OUT/c.avi",
                 "",
                 2,
                 "no camera 2",
                 {}},
        ModeCase{"MissingFile",
                 "OUT/none.avi --from 0 --to 100 --cameras 1 --out OUT/c.avi",
                 "",
                 2,
                 "none.avi: No such file or directory",
                 {}},
        ModeCase{"NotARecording",
                 "TEXT --from 0 --to 100 --cameras 1 --out OUT/c.avi",
                 "",
                 2,
                 "text.avi: not an AVI file (no RIFF header)",
                 {}},
        ModeCase{"FolderAsFile",
                 "OUT --from 0 --to 100 --cameras 1 --out OUT/c.avi",
                 "",
                 2,
                 ": is a folder, not a file",
                 {}},
        ModeCase{
            "BadCameraList", "FILE --from 0 --to 100 --cameras 1,5 --out OUT/c.avi", "", 2, "usage:", {}},
        ModeCase{"RangeBackwards", "FILE --from 300 --to 100 --cameras 1 --out OUT/c.avi", "", 2, "--to", {}},
        ModeCase{
            "PastTheEnd", "FILE --from 0 --to 9000 --cameras 1 --out OUT/c.avi", "", 2, "ends at 600", {}},
        ModeCase{"MissingFolder",
                 "FILE --from 0 --to 100 --cameras 1 --out OUT/sub/c.avi",
                 "",
                 1,
                 "No such file or directory",
                 {}},
        ModeCase{"FolderInTheWay",
                 "FILE --from 0 --to 100 --cameras 1 --out OUT/sub",
                 "mkdir -p OUT/sub &&",
                 2,
                 "sub: is a folder, not a file",
                 {}},
        // A disk that fills up: writes past 300 kB fail with EFBIG.
        ModeCase{"FullDisk",
                 "FILE --from 0 --to 600 --cameras 1,2,3,4 --out OUT/c.avi",
                 "ulimit -f 300 && trap '' XFSZ &&",
                 1,
                 "File too large",
                 {}},
        // The same limit with the signal as the shell leaves it: the player
        // ignores it and fails the write, instead of dying with the
        // temporary file left.
        ModeCase{"FileSizeLimit",
                 "FILE --from 0 --to 600 --cameras 1,2,3,4 --out OUT/c.avi",
                 "ulimit -f 300 &&",
                 1,
                 "File too large",
                 {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
