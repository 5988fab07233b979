// `qmxplayer --live` run as a fleet runs it, against the DVR simulator.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "live_test_support.h"
#include "run_command.h"
#include "snapshot/jpeg_file.h"
#include "temp_dir.h"

namespace {

struct LiveRun {
  int status = -1;
  std::string err;
};

LiveRun RunLive(const std::string& args, const TempDir& dir) {
  const std::string errPath = (dir / "stderr.txt").string();
  LiveRun run;
  RunCommand("timeout 60 " + std::string(QMX_APP_DIR) + "/qmxplayer --live " + args + " 2>" + errPath,
             &run.status);
  std::ifstream err(errPath);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

TEST(LiveMode, SavesTheAskedCameraOrSaysWhyNot) {
  const struct {
    const char* name;
    dvrsim::Fault fault;
    std::string args;  // after the address
    int status;
    const char* message;  // in stderr
    int camera;           // whose picture is saved, 0 for none
  } cases[] = {
      {"camera 2", dvrsim::Fault::kNone, "--channel 2", 0, "", 2},
      {"camera 4 with the overlay", dvrsim::Fault::kNone, "--channel 4 --overlay --wait 5", 0, "", 4},
      {"a refusing unit", dvrsim::Fault::kRefuse, "--channel 1", 3, "Can't connect to this device!", 0},
      {"a unit that sends nothing", dvrsim::Fault::kStall, "--channel 1 --wait 0.5", 4,
       "no frame of camera 1", 0},
      {"no camera", dvrsim::Fault::kNone, "--channel 5", 2, "usage:", 0},
      {"a bad wait", dvrsim::Fault::kNone, "--channel 1 --wait soon", 2, "usage:", 0},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dvrsim::SimulatorOptions options;
    options.fault = c.fault;
    auto sim = livetest::StartSimulator(options);
    const std::string out = (dir / "camera.jpg").string();
    const LiveRun run = RunLive(sim->Address() + " " + c.args + " --out " + ShellQuote(out), dir);
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
    if (!c.camera) {
      EXPECT_FALSE(std::filesystem::exists(out)) << c.name;
      continue;
    }
    int w = 0, h = 0;
    const auto rgb = ReadJpegFile(out.c_str(), w, h);
    ASSERT_TRUE(rgb) << c.name;
    EXPECT_EQ(w, sim->Width(c.camera - 1));
    EXPECT_EQ(h, sim->Height(c.camera - 1));
    // The generated pictures are tinted red, green, blue and amber for
    // cameras 1..4: compare the average colour of a corner.
    long sum[3] = {0, 0, 0};
    for (int y = h - 20; y < h; ++y)
      for (int x = w - 20; x < w; ++x)
        for (int k = 0; k < 3; ++k) sum[k] += rgb[(std::size_t(y) * w + x) * 3 + k];
    const bool redish = sum[0] > sum[2] && sum[0] >= sum[1];
    const bool greenish = sum[1] > sum[0] && sum[1] > sum[2];
    EXPECT_TRUE(c.camera == 2 ? greenish : redish)
        << c.name << " " << sum[0] << "," << sum[1] << "," << sum[2];
  }
}

}  // namespace
