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

namespace {

struct Measured {
  bool ok = false;
  double rms = 0;
  double toneShare = 0;  // share of the energy at the channel's own frequency
};

// Reads the S16LE samples of a WAV file's "data" chunk.
std::vector<int16_t> ReadWavSamples(const std::filesystem::path& path, int& rate) {
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<int16_t> out;
  rate = 0;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = b[at + 4] | b[at + 5] << 8 | b[at + 6] << 16 | uint32_t(b[at + 7]) << 24;
    const std::string id(reinterpret_cast<const char*>(&b[at]), 4);
    if (id == "fmt " && at + 16 <= b.size()) rate = b[at + 12] | b[at + 13] << 8 | b[at + 14] << 16;
    if (id == "data") {
      const size_t end = std::min(b.size(), at + 8 + size);
      for (size_t i = at + 8; i + 1 < end; i += 2) out.push_back(int16_t(b[i] | b[i + 1] << 8));
      break;
    }
    at += 8 + size + (size & 1);
  }
  return out;
}

Measured Measure(const std::filesystem::path& path, double hz) {
  int rate = 0;
  const std::vector<int16_t> s = ReadWavSamples(path, rate);
  Measured m;
  if (s.empty() || rate <= 0) return m;
  m.ok = true;
  double energy = 0, re = 0, im = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    energy += double(s[i]) * s[i];
    re += s[i] * std::cos(2 * M_PI * hz * i / rate);
    im += s[i] * std::sin(2 * M_PI * hz * i / rate);
  }
  m.rms = std::sqrt(energy / s.size());
  if (energy > 0) m.toneShare = 2 * (re * re + im * im) / s.size() / energy;
  return m;
}

void PlayToEnd(PlaybackEngine& e) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (e.IsPlaying() && std::chrono::steady_clock::now() < until) {
    e.GetPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

class AudioOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string sink = "wavenc ! filesink location=" + (dir / "out{channel}.wav").string();
    setenv("QMX_AUDIO_SINK", sink.c_str(), 1);
    path = WriteSmall(dir / "a.avi", SmallOptions());
  }
  Measured Channel(int c) { return Measure(dir / ("out" + std::to_string(c + 1) + ".wav"), 400.0 * (c + 1)); }

  TempDir dir;
  std::string path;
};

constexpr double kHalfScaleRms = 32767 / 2 / M_SQRT2;  // ≈ 11585

}  // namespace

TEST_F(AudioOutput, SingleViewHearsOnlyItsChannelAtItsVolume) {
  {
    PlaybackEngine e;
    e.SetView(1);
    e.SetAudioVolume(1, 50);  // -20 dB: a tenth of the amplitude
    ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
    PlayToEnd(e);
  }
  for (int c : {0, 2, 3}) {
    const Measured m = Channel(c);
    ASSERT_TRUE(m.ok) << c;
    EXPECT_EQ(m.rms, 0.0) << "channel " << c + 1 << " is not routed to view 2";
  }
  const Measured heard = Channel(1);
  ASSERT_TRUE(heard.ok);
  EXPECT_NEAR(heard.rms, kHalfScaleRms / 10, kHalfScaleRms / 50);
  EXPECT_GT(heard.toneShare, 0.8);
}

TEST_F(AudioOutput, QuadViewHearsEveryChannelsOwnTone) {
  {
    PlaybackEngine e;
    e.SetView(4);
    ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
    EXPECT_TRUE(e.GetAudioRoute(4, 3));
    PlayToEnd(e);
  }
  for (int c = 0; c < 4; ++c) {
    const Measured m = Channel(c);
    ASSERT_TRUE(m.ok) << c;
    EXPECT_NEAR(m.rms, kHalfScaleRms, kHalfScaleRms / 10) << c;
    EXPECT_GT(m.toneShare, 0.8) << c;
  }
}
