// What reaches the audio outputs: each channel's output is recorded to a
// WAV file through the sink override and its tone measured. The generator
// gives camera n a sine of 400 × n Hz at half of full scale.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <thread>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine_test_support.h"
#include "temp_dir.h"
#include "wav_tone.h"

namespace {

void PlayToEnd(PlaybackEngine& e) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (e.IsPlaying() && std::chrono::steady_clock::now() < until) {
    e.GetPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

class AudioOutput : public ::testing::Test {
 protected:
  void SetUp() override { path = WriteSmall(dir / "a.avi", SmallOptions()); }
  ToneMeasure Channel(int c) {
    return MeasureTone(dir / ("out" + std::to_string(c + 1) + ".wav"), 400.0 * (c + 1));
  }

  TempDir dir;
  // Each channel's output recorded to its own WAV file.
  EngineConfig Recording() const {
    EngineConfig c;
    c.audioSink = "wavenc ! filesink location=" + (dir / "out{channel}.wav").string();
    return c;
  }
  std::string path;
};

constexpr double kHalfScaleRms = 32767 / 2 / M_SQRT2;  // ≈ 11585

}  // namespace

TEST_F(AudioOutput, SingleViewHearsOnlyItsChannelAtItsVolume) {
  {
    PlaybackEngine e(nullptr, nullptr, nullptr, Recording());
    e.SetView(VideoView::Camera(1));
    e.SetAudioVolume(1, 50);  // -20 dB: a tenth of the amplitude
    ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
    PlayToEnd(e);
  }
  for (int c : {0, 2, 3}) {
    const ToneMeasure m = Channel(c);
    ASSERT_TRUE(m.ok) << c;
    EXPECT_EQ(m.rms, 0.0) << "channel " << c + 1 << " is not routed to view 2";
  }
  const ToneMeasure heard = Channel(1);
  ASSERT_TRUE(heard.ok);
  EXPECT_NEAR(heard.rms, kHalfScaleRms / 10, kHalfScaleRms / 50);
  EXPECT_GT(heard.toneShare, 0.8);
}

TEST_F(AudioOutput, QuadViewHearsEveryChannelsOwnTone) {
  {
    PlaybackEngine e(nullptr, nullptr, nullptr, Recording());
    e.SetView(VideoView::Quad());
    ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
    EXPECT_TRUE(e.GetAudioRoute(VideoView::Quad(), 3));
    PlayToEnd(e);
  }
  for (int c = 0; c < 4; ++c) {
    const ToneMeasure m = Channel(c);
    ASSERT_TRUE(m.ok) << c;
    EXPECT_NEAR(m.rms, kHalfScaleRms, kHalfScaleRms / 10) << c;
    EXPECT_GT(m.toneShare, 0.8) << c;
  }
}

// Two-channel recordings carry both cameras in one stereo stream (camera 1
// 400 Hz first, camera 2 800 Hz second in each pair); the routes of the view
// (after opening: view 1 hears camera 1, view 2 camera 2, quad both, views 3
// and 4 neither) and the volumes decide which camera is heard.
TEST_F(AudioOutput, TwoCameraStereoFollowsRoutesAndGains) {
  auto o = SmallOptions();
  o.kind = 3;
  const std::string twoCamera = WriteSmall(dir / "two.avi", o);
  struct Row {
    VideoView view;
    int volumeB;
    bool hearA, hearB;
  } rows[] = {{VideoView::Camera(0), 100, true, false},
              {VideoView::Camera(1), 100, false, true},
              {VideoView::Quad(), 50, true, true},
              {VideoView::Camera(2), 100, false, false}};
  for (const Row& r : rows) {
    {
      PlaybackEngine e(nullptr, nullptr, nullptr, Recording());
      e.SetView(r.view);
      e.SetAudioVolume(1, r.volumeB);
      ASSERT_EQ(e.OpenSequence({twoCamera}), kGraphOk);
      ASSERT_EQ(e.DvrKind(), DvrLayout::kTwoChannelWide);
      EXPECT_EQ(e.GetAudioRoute(r.view, 0), r.hearA);
      EXPECT_EQ(e.GetAudioRoute(r.view, 1), r.hearB);
      PlayToEnd(e);
    }
    const ToneMeasure a = MeasureTone(dir / "out1.wav", 400), b = MeasureTone(dir / "out1.wav", 800);
    ASSERT_TRUE(a.ok) << "view " << r.view.Number();
    EXPECT_EQ(a.channels, 2);
    if (!r.hearA && !r.hearB) {
      EXPECT_EQ(a.rms, 0.0) << "view " << r.view.Number();
      continue;
    }
    EXPECT_EQ(a.toneShare > 0.1, r.hearA) << "view " << r.view.Number() << ": 400 Hz share " << a.toneShare;
    EXPECT_EQ(b.toneShare > 0.1, r.hearB) << "view " << r.view.Number() << ": 800 Hz share " << b.toneShare;
    if (r.hearA && r.hearB) {
      EXPECT_GT(a.toneShare, b.toneShare) << "camera 2 is the quieter one";
    }
  }
}
