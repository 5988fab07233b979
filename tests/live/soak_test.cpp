// A minute of a flaky link: the simulator drops the connection every few
// seconds; the session reconnects every time, shows pictures again, keeps
// its memory flat and leaves no thread behind. Labelled "soak":
//   ctest -L soak

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "live_test_support.h"

namespace {

using namespace std::chrono_literals;

long ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int Threads() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

TEST(LiveSoak, ReconnectsEveryTimeWithFlatMemoryAndNoThreadLeft) {
  dvrsim::SimulatorOptions options;
  options.dropEvery = 3s;
  auto sim = livetest::StartSimulator(options);
  // A first session warms up what GStreamer keeps for the process (its
  // registry, thread pools), so the counts below are the session's own.
  {
    LiveSession warmUp(livetest::ConfigFor(*sim));
    ASSERT_TRUE(livetest::PollUntil(warmUp, [&] { return warmUp.FramesShown(0) > 0; }));
  }
  ASSERT_TRUE(livetest::WaitUntil([&] { return sim->Connections() >= 1; }));
  const int threadsBefore = Threads();
  const int connectionsBefore = sim->Connections();

  auto session = std::make_unique<LiveSession>(livetest::ConfigFor(*sim));
  session->SetView(VideoView::Quad());
  long baseline = 0;
  int reconnects = 0;
  const auto end = std::chrono::steady_clock::now() + 45s;
  while (std::chrono::steady_clock::now() < end) {
    const int connection = session->Connections();
    // Every connection shows pictures of all four cameras again.
    ASSERT_TRUE(livetest::PollUntil(
        *session,
        [&] { return session->Connections() == connection && session->GraphsBuilt(3) >= connection; }, 8s))
        << "connection " << connection;
    ASSERT_TRUE(livetest::PollUntil(
        *session, [&] { return session->FramesShown(3) > 0; }, 8s));
    if (connection == 2) baseline = ResidentKilobytes();
    ASSERT_TRUE(livetest::PollUntil(
        *session, [&] { return session->Connections() > connection; }, 8s))
        << "no reconnect after connection " << connection;
    ++reconnects;
  }
  EXPECT_GE(reconnects, 6);
  // The unit counts a connection when it accepts it, which may come just
  // after the session's connect returned.
  EXPECT_TRUE(livetest::WaitUntil([&] { return sim->Connections() - connectionsBefore >= reconnects; }))
      << sim->Connections() - connectionsBefore << " accepted, " << reconnects << " reconnects";
  EXPECT_FALSE(session->FailureReported());
  const long growth = ResidentKilobytes() - baseline;
  EXPECT_LT(growth, 16 * 1024) << "resident memory grew by " << growth << " kB";

  const auto start = std::chrono::steady_clock::now();
  session.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
  // GStreamer ends its streaming threads shortly after the pipelines stop.
  EXPECT_TRUE(livetest::WaitUntil([&] { return Threads() <= threadsBefore; }, 5s))
      << Threads() << " threads, " << threadsBefore << " before";
}

}  // namespace
