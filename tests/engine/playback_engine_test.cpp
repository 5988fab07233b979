// The engine on generated recordings: transport states, accurate seeks,
// sequences across files, routing to the audio outputs and snapshots.
#include "engine/pipeline/playback_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <thread>

#include "engine/pipeline/graph_result.h"
#include "engine_test_support.h"
#include "metadata/trigger_names.h"
#include "temp_dir.h"

namespace {

// Waits (bounded) until the engine has stopped by itself at the end.
bool WaitUntilStopped(PlaybackEngine& e, std::chrono::seconds limit = std::chrono::seconds(15)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (e.IsPlaying()) {
    if (std::chrono::steady_clock::now() > until) return false;
    e.GetPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace

TEST(PlaybackEngine, EmptyListAndBrokenFirstFileFail) {
  PlaybackEngine e(nullptr, nullptr, nullptr, TestConfig());
  EXPECT_EQ(e.OpenSequence({}), kGraphFileUnusable);
  TempDir dir;
  EXPECT_EQ(e.OpenSequence({(dir / "missing.avi").string()}), kGraphFileUnusable);
  EXPECT_FALSE(e.IsPlaying());
  // Operations without a recording do nothing.
  e.Play();
  e.Seek(500, -1);
  EXPECT_DOUBLE_EQ(e.GetPosition(), 0.0);
  EXPECT_FALSE(e.TakeSnapshot(0, (dir / "x.jpg").string()));
}

TEST(PlaybackEngine, SeeksShowTheFrameAtTheTargetTime) {
  TempDir dir;
  FrameRecorder frames(1);
  PlaybackEngine e(&frames, nullptr, nullptr, TestConfig());
  auto o = SmallOptions();
  o.seconds = 2;
  ASSERT_EQ(e.OpenSequence({WriteSmall(dir / "a.avi", o)}), kGraphOk);
  EXPECT_EQ(e.GetTotal(), 200);
  e.Pause();
  struct Row {
    double perMille;
    int64_t centis;
    int64_t frame;
  } rows[] = {{-1, 120, 12}, {-1, 55, 5}, {-1, 0, 0}, {250, -1, 5}, {-1, 199, 19}, {1000, -1, 19}};
  for (const Row& r : rows) {
    frames.Clear();
    e.Seek(r.perMille, r.centis);
    ASSERT_TRUE(Settled(e));
    ASSERT_TRUE(frames.WaitForCount(1)) << r.centis;
    EXPECT_EQ(frames.Last(), r.frame) << r.perMille << " " << r.centis;
  }
  e.Seek(-1, 120);
  EXPECT_EQ(e.GetPositionCentis(), 120);
  EXPECT_DOUBLE_EQ(e.GetPosition(), 600.0);
  frames.Clear();
  e.StepFrame(1, true);
  ASSERT_TRUE(Settled(e));
  ASSERT_TRUE(frames.WaitForCount(1));
  EXPECT_EQ(frames.Last(), 13);
  EXPECT_EQ(e.GetPositionCentis(), 135);
  EXPECT_NEAR(e.LastStepPosition(), 675.0, 1e-9);
}

TEST(PlaybackEngine, PlayPauseStopFollowTheUser) {
  TempDir dir;
  FrameRecorder frames(0);
  PlaybackEngine e(&frames, nullptr, nullptr, TestConfig());
  ASSERT_EQ(e.OpenSequence({WriteSmall(dir / "a.avi", SmallOptions())}), kGraphOk);
  EXPECT_TRUE(e.IsPlaying());
  ASSERT_TRUE(frames.WaitForCount(3));
  e.Pause();
  EXPECT_FALSE(e.IsPlaying());
  ASSERT_TRUE(Settled(e));
  const int64_t paused = e.GetPositionCentis();
  const size_t shown = frames.Numbers().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(e.GetPositionCentis(), paused);
  EXPECT_EQ(frames.Numbers().size(), shown);
  e.Stop();
  EXPECT_FALSE(e.IsPlaying());
  EXPECT_EQ(e.GetPositionCentis(), 0);
  ASSERT_TRUE(Settled(e));
  EXPECT_EQ(e.GetPositionCentis(), 0);
  EXPECT_EQ(frames.Last(), 0);
  e.Play();
  EXPECT_TRUE(WaitUntilStopped(e));  // plays to the real end and stops there
  const std::vector<int64_t> all = frames.Numbers();
  EXPECT_EQ(all.back(), 9);
}

TEST(PlaybackEngine, SequencePlaysAcrossFilesWithoutSkippingOrRepeatingFrames) {
  TempDir dir;
  FrameRecorder frames(0);
  PlaybackEngine e(&frames, nullptr, nullptr, TestConfig());
  auto o = SmallOptions();
  o.seconds = 0.8;
  const auto paths = WriteSmallSequence(dir.path(), 3, o);
  ASSERT_EQ(e.OpenSequence(paths), kGraphOk);
  EXPECT_EQ(e.GetTotal(), 240);
  const std::vector<SequenceFile> files = e.Files();
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1].start, 80);
  EXPECT_EQ(files[2].end, 240);
  ASSERT_TRUE(WaitUntilStopped(e));
  std::vector<int64_t> want(24);
  for (int i = 0; i < 24; ++i) want[i] = i;
  EXPECT_EQ(frames.Numbers(), want);
  EXPECT_EQ(e.CurrentFileIndex(), 2);
}

TEST(PlaybackEngine, NineFileSequenceBuildsSevenAndSeeksAcrossFiles) {
  TempDir dir;
  FrameRecorder frames(0);
  PlaybackEngine e(&frames, nullptr, nullptr, TestConfig());
  auto o = SmallOptions();
  o.video = {true, false, false, false};
  o.audio = {false, false, false, false};
  o.seconds = 0.5;
  ASSERT_EQ(e.OpenSequence(WriteSmallSequence(dir.path(), 9, o)), kGraphOk);
  e.Pause();
  EXPECT_EQ(e.GetTotal(), 450);
  const std::vector<SequenceFile> files = e.Files();
  EXPECT_EQ(files[8].start, 400);  // measured from its header
  EXPECT_EQ(files[8].channels[0].width, 320);
  struct Row {
    int64_t centis;
    int file;
    int64_t frame;
  } rows[] = {{270, 5, 27}, {210, 4, 21}, {445, 8, 44}, {10, 0, 1}};
  for (const Row& r : rows) {
    frames.Clear();
    e.Seek(-1, r.centis);
    ASSERT_TRUE(Settled(e));
    EXPECT_EQ(e.CurrentFileIndex(), r.file);
    ASSERT_TRUE(frames.WaitForCount(1));
    EXPECT_EQ(frames.Last(), r.frame);
    EXPECT_EQ(e.GetPositionCentis(), r.centis);
  }
}

TEST(PlaybackEngine, SnapshotWritesTheChannelsFrame) {
  TempDir dir;
  PlaybackEngine e(nullptr, nullptr, nullptr, TestConfig());
  auto o = SmallOptions();
  o.video = {false, true, false, false};
  ASSERT_EQ(e.OpenSequence({WriteSmall(dir / "a.avi", o)}), kGraphOk);
  e.Pause();
  e.Seek(-1, 50);
  ASSERT_TRUE(Settled(e));
  EXPECT_TRUE(e.TakeSnapshot(1, (dir / "shot.jpg").string()));
  EXPECT_FALSE(e.TakeSnapshot(0, (dir / "none.jpg").string()));  // no video on channel 1
  EXPECT_FALSE(e.TakeSnapshot(4, (dir / "bad.jpg").string()));
  std::ifstream f(dir / "shot.jpg", std::ios::binary);
  unsigned char soi[2] = {};
  f.read(reinterpret_cast<char*>(soi), 2);
  EXPECT_EQ(soi[0], 0xFF);
  EXPECT_EQ(soi[1], 0xD8);
}

// Forward steps near the end stay on the last frame; a step without `show`
// moves the position but hands no frame on.
TEST(PlaybackEngine, StepsStopAtTheEndAndShowOnlyWhenAsked) {
  TempDir dir;
  FrameRecorder frames(0);
  PlaybackEngine e(&frames, nullptr, nullptr, TestConfig());
  auto o = SmallOptions();
  o.seconds = 2;
  ASSERT_EQ(e.OpenSequence({WriteSmall(dir / "a.avi", o)}), kGraphOk);
  e.Pause();
  struct Row {
    int64_t from;
    int direction;
    int64_t frame;  // shown after the step
  } rows[] = {{190, 1, 19}, {199, 1, 19}, {186, 1, 19}, {20, -1, 0}, {100, 1, 11}};
  for (const Row& r : rows) {
    e.Seek(-1, r.from);
    ASSERT_TRUE(Settled(e));
    frames.Clear();
    e.StepFrame(r.direction, true);
    ASSERT_TRUE(Settled(e));
    ASSERT_TRUE(frames.WaitForCount(1)) << r.from;
    EXPECT_EQ(frames.Last(), r.frame) << r.from;
    EXPECT_EQ(e.CurrentFileIndex(), 0);
  }
  e.Seek(-1, 100);
  ASSERT_TRUE(Settled(e));
  frames.Clear();
  e.StepFrame(1, false);
  EXPECT_EQ(e.GetPositionCentis(), 115);
  ASSERT_TRUE(Settled(e));
  EXPECT_EQ(e.GetPositionCentis(), 115);
  EXPECT_TRUE(frames.Numbers().empty()) << "nothing shown without show";
  e.Play();
  ASSERT_TRUE(frames.WaitForCount(1));
  EXPECT_EQ(frames.Numbers().front(), 11) << "the frame at the step comes first when playing";
}

// Each file keeps its own texts; the size and the timeline are the whole
// run's, fixed at open; the names a file sets are in force once it is read.
TEST(PlaybackEngine, PropertiesFollowTheFileShownAndTotalsStayFixed) {
  TempDir dir;
  auto first = SmallOptions(), second = SmallOptions();
  first.title = "First DVR";
  first.triggerNames = {"Door",  "Brake",   "Left", "Right", "Horn",  "Lights",
                        "Siren", "Reverse", "Stop", "Ten",   "Eleven"};
  second.title = "Second DVR";
  second.firstFrame = 10;
  const std::string a = WriteSmall(dir / "Trip-001.avi", first);
  const std::string b = WriteSmall(dir / "Trip-002.avi", second);
  const int64_t bytes = int64_t(std::filesystem::file_size(a) + std::filesystem::file_size(b));
  PlaybackEngine e(nullptr, nullptr, nullptr, TestConfig());
  ASSERT_EQ(e.OpenSequence({a, b}), kGraphOk);
  EXPECT_EQ((*TriggerNames())[0], "Door");
  e.Pause();
  struct Row {
    int64_t centis;
    const char* title;
  } rows[] = {{0, "First DVR"}, {150, "Second DVR"}, {50, "First DVR"}, {199, "Second DVR"}};
  for (const Row& r : rows) {
    e.Seek(-1, r.centis);
    ASSERT_TRUE(Settled(e));
    const RecordingProperties p = e.Properties();
    EXPECT_EQ(p.dvrTitle, r.title) << r.centis;
    EXPECT_EQ(p.dvrType, "4 Channel DVR");
    EXPECT_EQ(p.byteTotal, bytes) << "navigation does not add up sizes";
    EXPECT_EQ(p.formatText[0], "320x240, 10.00 fps");
    EXPECT_EQ(e.GetTotal(), 200);
  }
}

// The view's line switches and the text switch reach every file shown,
// whether a seek or the end of a file brought it.
TEST(PlaybackEngine, OverlaySwitchesFollowEveryFileShown) {
  TempDir dir;
  auto o = SmallOptions();
  o.video = {false, true, true, true};
  o.seconds = 0.5;
  PlaybackEngine e(nullptr, nullptr, nullptr, TestConfig());
  ASSERT_EQ(e.OpenSequence(WriteSmallSequence(dir.path(), 4, o)), kGraphOk);
  e.Pause();
  ASSERT_TRUE(Settled(e));
  e.SetOverlayText(true);
  e.SetView(VideoView::Quad());
  e.ArrangeVideo(true, -1);
  // Quad: the GPS lines on the first channel with video, the time on channel 3.
  const std::array<bool, 4> gps{false, true, false, false}, time{false, false, true, false},
      text{false, true, true, true};
  auto expectQuad = [&](const char* when) {
    const PlaybackEngine::OverlaySwitches s = e.ShownOverlaySwitches();
    EXPECT_EQ(s.gpsLines, gps) << when;
    EXPECT_EQ(s.timeLines, time) << when;
    EXPECT_EQ(s.text, text) << when;
  };
  expectQuad("at open");
  e.Seek(-1, 160);  // file 3, prepared ahead in the cache
  ASSERT_TRUE(Settled(e));
  EXPECT_EQ(e.CurrentFileIndex(), 3);
  expectQuad("after a seek");
  e.Seek(-1, 20);
  ASSERT_TRUE(Settled(e));
  e.Play();
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (e.CurrentFileIndex() == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(e.CurrentFileIndex(), 1);
  expectQuad("after the end of a file");
}
