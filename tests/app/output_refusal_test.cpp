// Every mode that writes, run as users run it, given an output that is a
// file of the recording (by its own name, a link, a hard link, another file
// of the run, a later segment's name) or no regular file: it refuses before
// writing anything, in one line, with status 2, and the recording keeps
// every byte (sha256sum, run beside the player, says so).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct PlayerRun {
  int status = -1;
  std::string err;
};

PlayerRun RunPlayer(const std::string& args, const TempDir& scratch) {
  const std::string errPath = (scratch / "stderr.txt").string();
  PlayerRun run;
  RunCommand("timeout 60 " + std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>" + ShellQuote(errPath),
             &run.status);
  std::ifstream err(errPath);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

std::string Sha256(const fs::path& path) {
  return RunCommand("sha256sum " + ShellQuote(path.string()) + " | cut -d' ' -f1");
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

class OutputRefusal : public ::testing::Test {
 protected:
  // A run of two files, the first over twenty minutes long, so that a clip
  // of all of it takes two segments: Long-002.avi then Long-003.avi.
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    recgen::RecordingOptions o;
    o.width = 320, o.height = 240, o.fps = 1, o.seconds = 1210;
    o.video = {true, false, false, false};
    o.audio = {true, false, false, false};
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(Source(0), o, error)) << error;
    o.firstFrame = recgen::FrameCount(o);
    o.seconds = 10;
    ASSERT_TRUE(recgen::WriteRecording(Source(1), o, error)) << error;
  }
  static void TearDownTestSuite() { delete dir_; }
  static fs::path Source(int k) { return *dir_ / (k == 0 ? "Long-002.avi" : "Long-003.avi"); }
  static TempDir* dir_;
};
TempDir* OutputRefusal::dir_ = nullptr;

TEST_F(OutputRefusal, EveryModeRefusesAnOutputThatIsASourceOrNoRegularFile) {
  const fs::path dir = dir_->path();
  fs::create_symlink(Source(0), dir / "link.avi");
  fs::create_hard_link(Source(0), dir / "hard.avi");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::string first = Source(0).string();
  const std::string recording = "would replace the recording ";

  struct Output {
    const char* what;
    std::string path;
    std::string reason, folderReason;  // for a file output; for --export-evidence's DIR
  };
  const std::vector<Output> outputs = {
      {"its own name", first, recording + "it is made from", recording + "it is made from"},
      {"a symbolic link", (dir / "link.avi").string(), recording + first, recording + first},
      {"a hard link", (dir / "hard.avi").string(), recording + first, recording + first},
      {"another file of the run", Source(1).string(), recording + "it is made from",
       recording + "it is made from"},
      {"a FIFO", (dir / "fifo").string(), "is a FIFO, not a regular file", "is a FIFO, not a folder"},
      {"a device", "/dev/null", "is a device, not a regular file", "is a device, not a folder"},
  };
  struct Mode {
    std::string args;  // OUT follows
    bool recording;    // reads FILE (--live reads none)
    bool folder;       // OUT is a folder
  };
  const std::string file = ShellQuote(first);
  const std::vector<Mode> modes = {
      {"--extract " + file + " --from 0 --to 100 --cameras 1 --out ", true, false},
      {"--snapshot " + file + " --at 10 --channel 1 --out ", true, false},
      {"--export-track " + file + " --format gpx --out ", true, false},
      {"--map-image " + file + " --at 10 --out ", true, false},
      {"--export-evidence " + file + " --from 0 --to 100 --cameras 1 --out ", true, true},
      {"--live 127.0.0.1:9 --channel 1 --wait 1 --out ", false, false},
  };
  const std::string sums[] = {Sha256(Source(0)), Sha256(Source(1))};
  ASSERT_EQ(sums[0].size(), 65u) << "sha256sum: " << sums[0];
  const std::set<std::string> before = Names(dir);
  TempDir scratch;

  auto expectRefused = [&](const std::string& args, const std::string& output, const std::string& reason) {
    const PlayerRun run = RunPlayer(args, scratch);
    EXPECT_EQ(run.status, 2) << args << "\n" << run.err;
    EXPECT_EQ(run.err, "qmxplayer: " + output + ": " + reason + "\n") << args;
    EXPECT_EQ(Sha256(Source(0)), sums[0]) << args;
    EXPECT_EQ(Sha256(Source(1)), sums[1]) << args;
    EXPECT_EQ(Names(dir), before) << args << ": nothing written beside the recording";
    EXPECT_TRUE(fs::is_fifo(dir / "fifo")) << args;
  };
  for (const Mode& mode : modes) {
    for (const Output& out : outputs) {
      if (!mode.recording && out.reason.rfind(recording, 0) == 0) continue;
      SCOPED_TRACE(out.what);
      expectRefused(mode.args + ShellQuote(out.path), out.path, mode.folder ? out.folderReason : out.reason);
    }
  }
  // A clip of the whole run takes two segments, Long-001.avi and
  // Long-002.avi: the second name is the first source, so not even the
  // first segment is written.
  const std::string segments = (dir / "Long.avi").string();
  expectRefused("--extract " + file + " --from 0 --to 121500 --cameras 1 --out " + ShellQuote(segments),
                (dir / "Long-002.avi").string(), recording + "it is made from");
  EXPECT_FALSE(fs::exists(dir / "Long-001.avi"));
}

}  // namespace
