// The engine's settling and speeds on generated recordings: graphs built off
// the engine's lock still follow one another frame by frame, every camera
// keeps step at every rate, and the following file starts at the same rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine_test_support.h"
#include "frame_mark.h"
#include "temp_dir.h"

namespace {

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
    EndOfRecording end;
    PlaybackEngine e(&frames, nullptr, &end, TestConfig());
    ASSERT_EQ(e.OpenSequence(paths), kGraphOk);
    e.Pause();
    e.SetRate(r.rate);
    e.Seek(-1, r.from);
    ASSERT_TRUE(Settled(e));
    EXPECT_EQ(e.CurrentFileIndex(), 7);
    ASSERT_TRUE(frames.WaitForCount(1));
    frames.Clear();
    e.Play();
    ASSERT_TRUE(end.Wait()) << r.rate;
    std::vector<int64_t> shown = frames.Numbers();
    std::vector<int64_t> want;
    for (int64_t n = r.from / 10 + 1; n < 45; ++n) want.push_back(n);
    // The paused frame may come again as the first one played.
    if (!shown.empty() && shown.front() == r.from / 10) shown.erase(shown.begin());
    EXPECT_EQ(shown, want) << r.rate;
  }
}

namespace {

// The generator's frame numbers of every channel's frames, in order.
class AllChannels : public FrameConsumer {
 public:
  void OnVideoFrame(const VideoFrame& f) override {
    const int64_t n = recgen::DecodeFrameNumber(f.bgrx, f.width, f.height, f.strideBytes);
    std::lock_guard<std::mutex> l(lock_);
    if (f.channel >= 0 && f.channel < 4) numbers_[size_t(f.channel)].push_back(n);
  }
  std::array<std::vector<int64_t>, 4> Take() {
    std::lock_guard<std::mutex> l(lock_);
    return std::exchange(numbers_, {});
  }

 private:
  std::mutex lock_;
  std::array<std::vector<int64_t>, 4> numbers_;
};

}  // namespace

// Two files of 30 pictures a second, played from a paused start to the end
// at each rate: the four cameras show the same frames, the second file at
// the rate of the first; from 4 times on only one frame per span of `rate`
// display periods is decoded, and below every frame is shown.
TEST(EngineSpeed, CamerasKeepStepAtEveryRateAndTheNextFileStartsAtTheSameRate) {
  struct Row {
    double rate;
    int64_t from;  // centis
    int keepEvery;
  } rows[] = {{0.125, 170, 1}, {0.25, 160, 1}, {0.5, 150, 1}, {1, 100, 1},
              {2, 50, 1},      {4, 0, 4},      {8, 0, 8},     {16, 0, 16}};
  TempDir dir;
  auto o = SmallOptions();
  o.fps = 30;
  o.audio = {true, false, false, false};
  const auto paths = WriteSmallSequence(dir.path(), 2, o);
  AllChannels frames;
  EndOfRecording end;
  PlaybackEngine e(&frames, nullptr, &end, TestConfig());
  ASSERT_EQ(e.OpenSequence(paths), kGraphOk);
  for (const Row& r : rows) {
    e.Pause();
    e.SetRate(r.rate);
    EXPECT_EQ(e.Rate(), r.rate);
    e.Seek(-1, r.from);
    ASSERT_TRUE(Settled(e));
    frames.Take();
    end.Rearm();
    e.Play();
    ASSERT_TRUE(end.Wait()) << r.rate;
    std::array<std::vector<int64_t>, 4> shown = frames.Take();
    std::vector<int64_t> want;
    // The frame at the start was shown paused, before the play.
    for (int64_t n = r.from * 30 / 100 + 1; n < 60; ++n) {
      if ((n % 30) % r.keepEvery == 0) want.push_back(n);
    }
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(shown[size_t(c)], want) << "rate " << r.rate << " camera " << c;
    }
  }
}

// Exact frame steps on two files of 15 frames each at 30 a second (frame
// times off the hundredths): each step shows the camera's next or previous
// frame, across the boundary both ways, and nothing moves past either end.
TEST(EngineFrames, StepsMoveTheCameraByExactlyOneFrameAcrossFiles) {
  TempDir dir;
  auto o = SmallOptions();
  o.fps = 30;
  o.seconds = 0.5;
  const auto paths = WriteSmallSequence(dir.path(), 2, o);
  for (int camera : {0, 2}) {
    FrameRecorder frames(camera);
    PlaybackEngine e(&frames, nullptr, nullptr, TestConfig());
    ASSERT_EQ(e.OpenSequence(paths), kGraphOk);
    e.Pause();
    struct Row {
      int64_t seekCentis;  // -1: step from where the last row left
      int direction;
      int64_t want;  // the generator's frame number, 0..29
      int64_t wantInFile;
    } rows[] = {{40, 1, 13, 13},  {-1, 1, 14, 14},  {-1, 1, 15, 0}, {-1, 1, 16, 1},  {-1, -1, 15, 0},
                {-1, -1, 14, 14}, {-1, -1, 13, 13}, {0, -1, 0, 0},  {99, 1, 29, 14}, {52, -1, 14, 14}};
    for (const Row& r : rows) {
      if (r.seekCentis >= 0) {
        e.Seek(-1, r.seekCentis);
        ASSERT_TRUE(Settled(e));
        ASSERT_TRUE(frames.WaitForCount(1));
      }
      frames.Clear();
      e.StepExactFrame(r.direction, camera);
      ASSERT_TRUE(Settled(e));
      // At an end nothing moves: the frame there stays, and none comes.
      if (r.want != 0 && r.want != 29) {
        ASSERT_TRUE(frames.WaitForCount(1)) << r.want;
        EXPECT_EQ(frames.Last(), r.want) << "camera " << camera;
      } else {
        EXPECT_TRUE(frames.Numbers().empty()) << r.want;
      }
      int64_t frame = -1, count = 0, ns = -1;
      ASSERT_TRUE(e.ShownFrame(camera, frame, count, ns));
      EXPECT_EQ(frame, r.wantInFile) << r.want;
      EXPECT_EQ(count, 15);
      EXPECT_NEAR(double(ns), r.wantInFile * 1e9 / 30, 1.0) << r.want;
    }
  }
}
