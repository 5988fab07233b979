// Recordings with damaged headers or indexes, through the modes that read
// them: a damaged header list is refused at once with its reason, before any
// pipeline is built, and frames an index says are empty are copied and
// verified as empty.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <utility>

#include "avi/avi_format.h"
#include "clip_fixtures.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first strl list says it is 3 bytes long.
std::string ShortStrl(std::string bytes) {
  const std::size_t at = bytes.find("strl");
  avi::WriteLE32(reinterpret_cast<uint8_t*>(bytes.data() + at - 4), 3);
  return bytes;
}

// Every idx1 entry of camera 1's video but the first says its frame is 0
// bytes (the first stays a picture: a package needs its start snapshot).
std::string EmptyCameraOneFrames(std::string bytes) {
  const std::size_t idx1 = bytes.rfind("idx1");
  const uint32_t size = avi::ReadLE32(reinterpret_cast<const uint8_t*>(bytes.data() + idx1 + 4));
  bool first = true;
  for (std::size_t e = idx1 + 8; e + 16 <= idx1 + 8 + size; e += 16) {
    if (bytes.compare(e, 4, "00dc") == 0 && !std::exchange(first, false))
      avi::WriteLE32(reinterpret_cast<uint8_t*>(bytes.data() + e + 12), 0);
  }
  return bytes;
}

TEST(DamagedHeaders, ModesRefuseOrCopyWhatTheFileHolds) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "good.avi", cliptest::SmallOptions(2, 30), error)) << error;
  const std::string good = ReadAll(dir / "good.avi");
  std::ofstream(dir / "strl.avi", std::ios::binary) << ShortStrl(good);
  std::ofstream(dir / "empty.avi", std::ios::binary) << EmptyCameraOneFrames(good);
  const std::string strl = ShellQuote((dir / "strl.avi").string());
  const std::string empty = ShellQuote((dir / "empty.avi").string());
  const std::string out = ShellQuote((dir / "out").string());
  const struct {
    std::string args;
    int status;
    std::string said;
  } rows[] = {
      {"--snapshot " + strl + " --at 50 --channel 1 --out " + out + ".jpg", 2,
       "strl.avi: header list is damaged (a list of 3 bytes)"},
      {"--extract " + strl + " --from 0 --to 100 --cameras 1 --out " + out + ".avi", 2, "strl.avi: "},
      {"--info " + strl, 2, "strl.avi: header list is damaged (a list of 3 bytes)"},
      // Empty frames are frames: copied, and compared without a data pointer.
      {"--export-evidence " + empty + " --from 0 --to 100 --cameras 1,2 --out " + out, 0, ""},
      {"--verify " + out, 0, "Verified: 10 files and 60 clip frames"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    int status = -1;
    const std::string said =
        RunCommand("timeout 60 " + std::string(QMX_APP_DIR) + "/qmxplayer " + row.args + " 2>&1", &status);
    EXPECT_EQ(status, row.status) << said;
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
  }
}

}  // namespace
