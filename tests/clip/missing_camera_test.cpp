// A recording without camera 2: its cameras keep their numbers in every mode
// that takes cameras, camera 3 stays camera 3.
#include <gtest/gtest.h>

#include "clip_fixtures.h"
#include "ffmpeg_packets.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

TEST(MissingCamera, CamerasAreNamedByTheirNumbers) {
  TempDir dir;
  recgen::RecordingOptions o = cliptest::SmallOptions(3, 10);
  o.video = o.audio = {true, false, true, false};
  const std::vector<std::string> run = cliptest::WriteRun(dir.path(), "Gap", 1, o);
  const std::string file = ShellQuote(run[0]);
  const struct {
    std::string args;  // OUT: a fresh output name
    int status;
    std::string said;  // in the output
  } rows[] = {
      {"--extract " + file + " --from 50 --to 250 --cameras 3 --out OUT.avi", 0, ""},
      {"--extract " + file + " --from 50 --to 250 --cameras 1,3 --out OUT.avi", 0, ""},
      {"--extract " + file + " --from 50 --to 250 --cameras 2 --out OUT.avi", 2,
       "the recording has no camera 2"},
      {"--extract " + file + " --from 50 --to 250 --cameras 4 --out OUT.avi", 2,
       "the recording has no camera 4"},
      {"--export-evidence " + file + " --from 50 --to 250 --cameras 3 --out OUT", 0, ""},
      {"--export-evidence " + file + " --from 50 --to 250 --cameras 2 --out OUT", 2, "camera 2 has no video"},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    const std::string out = (dir / ("out" + std::to_string(++n))).string();
    std::string args = row.args;
    args.replace(args.find("OUT"), 3, ShellQuote(out));
    int status = -1;
    const std::string said =
        RunCommand("timeout 60 " + std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>&1", &status);
    EXPECT_EQ(status, row.status) << said;
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
    if (status != 0) continue;
    if (row.args.starts_with("--extract")) {
      // Camera 3's frames 5..24 are the clip's last video stream.
      const auto frames = cliptest::SourceFrames(run, 2);
      const auto clip = cliptest::Chunks(out + ".avi", row.args.find("1,3") != std::string::npos ? 2 : 0);
      EXPECT_EQ(clip, std::vector<std::vector<uint8_t>>(frames.begin() + 5, frames.begin() + 25));
    } else {
      const std::string verified =
          RunCommand(std::string(QMX_APP_DIR) + "/qmxplayer --verify " + ShellQuote(out), &status);
      EXPECT_EQ(status, 0) << verified;
      EXPECT_NE(verified.find("and 20 clip frames"), std::string::npos) << verified;
    }
  }
}

}  // namespace
