// `qmxplayer --live` run as a fleet runs it, against the DVR simulator.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
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
  double cpuSeconds = 0;  // of the run, user and system
};

double ChildrenCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  auto s = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

// The largest resident size of any program run so far, in kilobytes.
long ChildrenMaxResidentKilobytes() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_maxrss;
}

// The bounds below are of the player's own use of memory and CPU; a
// sanitizer build costs a few times the CPU. A ThreadSanitizer build's player
// also carries the sanitizer's shadow memory and per-thread histories,
// several times its own resident size. AddressSanitizer's quarantine holds
// freed frames back by design, so it is off for the child. A source that
// spins still costs several times the scaled bounds.
#if defined(QMX_THREAD_SANITIZER)
constexpr const char* kChildEnvironment = "";
constexpr long kMemoryScale = 3;
constexpr double kCpuScale = 4;
#elif defined(__SANITIZE_ADDRESS__)
constexpr const char* kChildEnvironment =
    "ASAN_OPTIONS=quarantine_size_mb=0:thread_local_quarantine_size_kb=0 ";
constexpr long kMemoryScale = 1;
constexpr double kCpuScale = 3;
#else
constexpr const char* kChildEnvironment = "";
constexpr long kMemoryScale = 1;
constexpr double kCpuScale = 1;
#endif

LiveRun RunLive(const std::string& args, const TempDir& dir) {
  const std::string errPath = (dir / "stderr.txt").string();
  LiveRun run;
  const double cpuBefore = ChildrenCpuSeconds();
  RunCommand(std::string(kChildEnvironment) + "timeout 60 " + std::string(QMX_APP_DIR) +
                 "/qmxplayer --live " + args + " 2>" + errPath,
             &run.status);
  run.cpuSeconds = ChildrenCpuSeconds() - cpuBefore;
  std::ifstream err(errPath);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

TEST(LiveMode, SavesTheAskedCameraOrSaysWhyNot) {
  const struct {
    const char* name;
    dvrsim::Fault fault;
    bool undecodable;  // every frame the unit sends
    std::string args;  // after the address
    int status;
    const char* message;  // in stderr
    int camera;           // whose picture is saved, 0 for none
  } cases[] = {
      {"camera 2", dvrsim::Fault::kNone, false, "--channel 2", 0, "", 2},
      {"camera 4 with the overlay", dvrsim::Fault::kNone, false, "--channel 4 --overlay --wait 5", 0, "", 4},
      {"a refusing unit", dvrsim::Fault::kRefuse, false, "--channel 1", 3, "Can't connect to this device!",
       0},
      {"a unit that sends nothing", dvrsim::Fault::kStall, false, "--channel 1 --wait 0.5", 4,
       "no frame of camera 1", 0},
      {"no camera", dvrsim::Fault::kNone, false, "--channel 5", 2, "usage:", 0},
      {"a bad wait", dvrsim::Fault::kNone, false, "--channel 1 --wait soon", 2, "usage:", 0},
      // The first decodable frame is saved when the first one is not a
      // JPEG or is cut short.
      {"a first frame of noise", dvrsim::Fault::kBadFirst, false, "--channel 4 --wait 5", 0, "", 4},
      {"a first frame cut short", dvrsim::Fault::kCutFirst, false, "--channel 1 --wait 5", 0, "", 1},
      // Frames that never decode: the wait runs out quietly, with neither
      // a busy core nor a growing memory.
      {"no frame decodes", dvrsim::Fault::kNone, true, "--channel 1 --wait 3", 4, "no frame of camera 1", 0},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dvrsim::SimulatorOptions options;
    options.fault = c.fault;
    if (c.undecodable) options.framePayload.assign(6000, 0x11);
    auto sim = livetest::StartSimulator(options);
    const std::string out = (dir / "camera.jpg").string();
    const LiveRun run = RunLive(sim->Address() + " " + c.args + " --out " + ShellQuote(out), dir);
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
    // A run takes about 55 MB and a tenth of a second of CPU; a source that
    // spins on an undecodable frame took over 230 MB and a second within
    // three seconds.
    EXPECT_LT(ChildrenMaxResidentKilobytes(), 160 * 1024 * kMemoryScale) << c.name;
    if (c.undecodable) {
      EXPECT_LT(run.cpuSeconds, 0.6 * kCpuScale) << c.name;
    }
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
