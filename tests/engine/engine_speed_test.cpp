// The engine's settling and speeds on generated recordings: graphs built off
// the engine's lock still follow one another frame by frame, every camera
// keeps step at every rate, and the following file starts at the same rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine_test_support.h"
#include "temp_dir.h"

namespace {

bool WaitUntilStopped(PlaybackEngine& e, std::chrono::seconds limit = std::chrono::seconds(30)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (e.IsPlaying()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

recgen::RecordingOptions OneCamera(double seconds) {
  auto o = SmallOptions();
  o.video = {true, false, false, false};
  o.audio = {false, false, false, false};
  o.seconds = seconds;
  return o;
}

}  // namespace

// Beyond the seven files built at open, a far seek builds its file without
// the engine's lock, and the files after it are built by the preparer while
// the earlier ones play: playing on from there to the end still shows every
// frame once, in order, whatever the rate.
TEST(EngineSettling, PlaysOnFromAFarSeekThroughFilesBuiltLaterAtEveryRate) {
  struct Row {
    double rate;
    int64_t from;  // centis, in file 7 of 9
  } rows[] = {{1, 350}, {2, 360}, {0.5, 380}};
  TempDir dir;
  const auto paths = WriteSmallSequence(dir.path(), 9, OneCamera(0.5));
  for (const Row& r : rows) {
    FrameRecorder frames(0);
    PlaybackEngine e(&frames, nullptr, nullptr, TestConfig());
    ASSERT_EQ(e.OpenSequence(paths), kGraphOk);
    e.Pause();
    e.SetRate(r.rate);
    e.Seek(-1, r.from);
    ASSERT_TRUE(Settled(e));
    EXPECT_EQ(e.CurrentFileIndex(), 7);
    ASSERT_TRUE(frames.WaitForCount(1));
    frames.Clear();
    e.Play();
    ASSERT_TRUE(WaitUntilStopped(e)) << r.rate;
    std::vector<int64_t> shown = frames.Numbers();
    std::vector<int64_t> want;
    for (int64_t n = r.from / 10 + 1; n < 45; ++n) want.push_back(n);
    // The paused frame may come again as the first one played.
    if (!shown.empty() && shown.front() == r.from / 10) shown.erase(shown.begin());
    EXPECT_EQ(shown, want) << r.rate;
  }
}
