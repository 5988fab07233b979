// The headless snapshot command and the numbered run it opens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "engine/numbered_run.h"
#include "engine_test_support.h"
#include "frame_mark.h"
#include "snapshot/jpeg_file.h"
#include "temp_dir.h"

namespace {

int RunPlayer(const std::string& args) {
  const std::string cmd = std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>/dev/null";
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Touch(const std::filesystem::path& p, size_t bytes) {
  std::ofstream f(p, std::ios::binary);
  f << std::string(bytes, 'x');
}

}  // namespace

TEST(NumberedRun, StartsAtTheChosenFileAndStopsAtTheFirstGap) {
  TempDir dir;
  for (const char* name : {"Trip-001.avi", "Trip-002.avi", "Trip#-003.avi", "Trip-005.avi"})
    Touch(dir / name, 5000);
  Touch(dir / "Tiny-001.avi", 4000);  // 4,000 bytes count as empty
  const std::string d = dir.path().string() + "/";
  EXPECT_EQ(NumberedRunFrom(d + "Trip-002.avi"),
            (std::vector<std::string>{d + "Trip-002.avi", d + "Trip#-003.avi"}));
  EXPECT_EQ(NumberedRunFrom(d + "Trip#-001.avi").size(), 3u);
  EXPECT_TRUE(NumberedRunFrom(d + "Tiny-001.avi").empty());
  Touch(dir / "plain.avi", 5000);
  EXPECT_EQ(NumberedRunFrom(d + "plain.avi"), (std::vector<std::string>{d + "plain.avi"}));
  EXPECT_TRUE(NumberedRunFrom(d + "absent.avi").empty());
}

TEST(SnapshotMode, SavesTheChannelsFrameAtTheTimeAcrossTheRun) {
  TempDir dir;
  auto o = SmallOptions();
  const auto paths = WriteSmallSequence(dir.path(), 2, o);
  const std::string out = (dir / "shot.jpg").string();
  ASSERT_EQ(RunPlayer("--snapshot " + paths[0] + " --at 130 --channel 2 --out " + out), 0);
  int w = 0, h = 0;
  std::unique_ptr<uint8_t[]> rgb = ReadJpegFile(out.c_str(), w, h);
  ASSERT_TRUE(rgb);
  ASSERT_EQ(w, 320);
  ASSERT_EQ(h, 240);
  // RGB → BGRx to read the frame number drawn in the picture.
  std::vector<uint8_t> bgrx(size_t(w) * h * 4);
  for (int i = 0; i < w * h; ++i) {
    bgrx[i * 4] = rgb[i * 3 + 2];
    bgrx[i * 4 + 1] = rgb[i * 3 + 1];
    bgrx[i * 4 + 2] = rgb[i * 3];
  }
  EXPECT_EQ(recgen::DecodeFrameNumber(bgrx.data(), w, h, w * 4), 13);
}

TEST(SnapshotMode, ExportFilterGraphWritesThePipelineIntoTheTemporaryFolder) {
  TempDir dir;
  const std::string file = WriteSmall(dir / "one.avi", SmallOptions());
  const std::string shot = " --at 0 --channel 1 --out " + (dir / "shot.jpg").string();
  const std::string env = "TMPDIR=" + dir.path().string() + " ";
  EXPECT_EQ(
      std::system(
          (env + std::string(QMX_APP_DIR) + "/qmxplayer --snapshot " + file + shot + " 2>/dev/null").c_str()),
      0);
  EXPECT_FALSE(std::filesystem::exists(dir / "QMXgraph.dot"));
  EXPECT_EQ(std::system((env + std::string(QMX_APP_DIR) + "/qmxplayer --snapshot " + file + shot +
                         " exportfiltergraph 2>/dev/null")
                            .c_str()),
            0);
  std::ifstream dot(dir / "QMXgraph.dot");
  const std::string text((std::istreambuf_iterator<char>(dot)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("MJPEG Decompressor 1"), std::string::npos);
}

TEST(SnapshotMode, FailuresExitWithStatusTwo) {
  TempDir dir;
  const std::string out = (dir / "shot.jpg").string();
  EXPECT_EQ(RunPlayer("--snapshot " + (dir / "none-001.avi").string() + " --at 0 --channel 1 --out " + out),
            2);
  auto o = SmallOptions();
  o.video = {true, false, false, false};
  const std::string file = WriteSmall(dir / "one.avi", o);
  EXPECT_EQ(RunPlayer("--snapshot " + file + " --at 0 --channel 2 --out " + out),
            2);  // no video on channel 2
  EXPECT_EQ(RunPlayer("--snapshot " + file + " --at 0 --channel 9 --out " + out), 2);
  EXPECT_EQ(RunPlayer("--snapshot " + file + " --at x --channel 1 --out " + out), 2);
  EXPECT_FALSE(std::filesystem::exists(out));
}

// Viewing never writes: a one-stream header stays as it is on disk.
TEST(SnapshotMode, LeavesAnOldOneStreamHeaderUnchanged) {
  TempDir dir;
  auto o = SmallOptions();
  o.oneStreamHeader = true;
  const std::string file = WriteSmall(dir / "old.avi", o);
  std::ifstream in(file, std::ios::binary);
  const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(RunPlayer("--snapshot " + file + " --at 50 --channel 1 --out " + (dir / "shot.jpg").string()), 0);
  std::ifstream again(file, std::ios::binary);
  const std::string after((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(before == after) << "the recording was modified";
  EXPECT_TRUE(std::filesystem::exists(dir / "shot.jpg"));
}
