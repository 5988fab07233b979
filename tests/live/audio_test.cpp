// Live audio: routes, volumes and the 1,024-byte blocks, as plain code and
// through the real per-channel pipelines with their output captured.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "live/live_audio.h"
#include "live/mulaw_output.h"
#include "live_test_support.h"
#include "temp_dir.h"

namespace {

using namespace std::chrono_literals;

constexpr VideoView kCamera1 = VideoView::Camera(0), kCamera2 = VideoView::Camera(1),
                    kCamera4 = VideoView::Camera(3), kQuad = VideoView::Quad();

// An output that keeps what it is given; `played` blocks count as done.
class RecordingOutput : public AudioOutput {
 public:
  struct Log {
    std::vector<std::size_t> blocks;
    std::vector<uint32_t> volumes;
    int played = 0;
  };
  explicit RecordingOutput(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  void Write(std::vector<uint8_t> block) override { log_->blocks.push_back(block.size()); }
  int QueuedBlocks() const override { return int(log_->blocks.size()) - log_->played; }
  void SetVolume(uint32_t volume) override { log_->volumes.push_back(volume); }

 private:
  std::shared_ptr<Log> log_;
};

TEST(LiveAudio, BlocksRoutesAndVolumes) {
  struct Step {
    int channel;
    std::size_t bytes;
    VideoView view;
  };
  const struct {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::vector<std::size_t>> blocks;  // per channel
  } cases[] = {
      {"two 600-byte chunks make one 1,200-byte block",
       {{0, 600, kCamera1}, {0, 600, kCamera1}},
       {{1200}, {}, {}, {}}},
      {"one chunk of 1,024 is a block at once",
       {{0, 1024, kCamera1}, {0, 100, kCamera1}},
       {{1024}, {}, {}, {}}},
      {"channel 2 is not heard in channel 1's view", {{1, 2000, kCamera1}}, {{}, {}, {}, {}}},
      {"every channel is heard in quad",
       {{0, 1500, kQuad}, {1, 1500, kQuad}, {2, 1500, kQuad}, {3, 1500, kQuad}},
       {{1500}, {1500}, {1500}, {1500}}},
      {"channel 4 in its own view",
       {{3, 700, kCamera4}, {3, 700, kCamera4}, {3, 700, kCamera1}},
       {{}, {}, {}, {1400}}},
      {"channels outside 0..3 are ignored", {{4, 2000, kQuad}, {-1, 2000, kQuad}}, {{}, {}, {}, {}}},
      {"ten queued blocks drop the eleventh",
       std::vector<Step>(11, Step{0, 1024, kCamera1}),
       {std::vector<std::size_t>(10, 1024), {}, {}, {}}},
  };
  for (const auto& c : cases) {
    LiveAudio audio;
    std::array<std::shared_ptr<RecordingOutput::Log>, 4> logs;
    std::array<std::unique_ptr<AudioOutput>, 4> outputs;
    for (int k = 0; k < 4; ++k) {
      logs[k] = std::make_shared<RecordingOutput::Log>();
      outputs[k] = std::make_unique<RecordingOutput>(logs[k]);
    }
    audio.SetOutputs(std::move(outputs));
    const std::vector<uint8_t> bytes(100000, 0x7F);
    for (const Step& s : c.steps) audio.Play(bytes.data(), s.bytes, s.channel, s.view);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(logs[k]->blocks, c.blocks[k]) << c.name << ", channel " << k + 1;
  }
}

TEST(LiveAudio, FinishedBlocksMakeRoomAgain) {
  LiveAudio audio;
  auto log = std::make_shared<RecordingOutput::Log>();
  std::array<std::unique_ptr<AudioOutput>, 4> outputs;
  outputs[0] = std::make_unique<RecordingOutput>(log);
  audio.SetOutputs(std::move(outputs));
  const std::vector<uint8_t> bytes(1024, 0x7F);
  for (int k = 0; k < 10; ++k) audio.Play(bytes.data(), bytes.size(), 0, kCamera1);
  audio.Play(bytes.data(), bytes.size(), 0, kCamera1);
  EXPECT_EQ(log->blocks.size(), 10u);
  log->played = 1;
  audio.Play(bytes.data(), bytes.size(), 0, kCamera1);
  EXPECT_EQ(log->blocks.size(), 11u);
}

TEST(LiveAudio, VolumesReachTheOutputsWhenApplied) {
  const struct {
    int percent;
    uint32_t volume;
  } cases[] = {{100, 65535}, {50, 32767}, {0, 0}, {33, 21626}, {150, 65535}, {-5, 0}};
  for (const auto& c : cases) {
    LiveAudio audio;
    auto log = std::make_shared<RecordingOutput::Log>();
    std::array<std::unique_ptr<AudioOutput>, 4> outputs;
    outputs[1] = std::make_unique<RecordingOutput>(log);
    audio.SetOutputs(std::move(outputs));
    audio.SetVolumePercent(1, c.percent);
    EXPECT_EQ(audio.DesiredVolume(1), c.volume) << c.percent;
    EXPECT_TRUE(log->volumes.empty());
    audio.ApplyVolumes();
    audio.ApplyVolumes();
    const std::vector<uint32_t> expected =
        c.volume == 65535 ? std::vector<uint32_t>{} : std::vector<uint32_t>{c.volume};
    EXPECT_EQ(log->volumes, expected) << c.percent;
  }
}

TEST(LiveAudio, DefaultRoutesAndTheMaskTheyMake) {
  auto sim = livetest::StartSimulator();
  LiveSession session(livetest::ConfigFor(*sim));
  for (VideoView v : VideoView::All())
    for (int k = 0; k < 4; ++k)
      EXPECT_EQ(session.GetAudioRoute(v, k), v.Camera() == k || v.IsQuad()) << v.Number() << "," << k;
  const struct {
    VideoView view;
    std::vector<std::pair<VideoView, int>> extraRoutes;  // (view, channel) switched on
    uint32_t mask;
  } cases[] = {{kCamera1, {}, 1},
               {kQuad, {}, 15},
               {kCamera1, {{kCamera1, 2}}, 5},
               {kCamera2, {{kCamera2, 3}, {kCamera1, 2}}, 10}};
  for (const auto& c : cases) {
    LiveSession s(livetest::ConfigFor(*sim));
    for (auto [view, channel] : c.extraRoutes) s.SetAudioRoute(view, channel, true);
    s.SetView(c.view);
    EXPECT_EQ(s.ChannelMask(), c.mask) << c.view.Number();
  }
}

std::uintmax_t FileSize(const std::filesystem::path& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

TEST(LiveAudio, RoutedChannelsPlayThroughTheirPipelines) {
  TempDir dir;
  auto sim = livetest::StartSimulator();
  LiveSessionConfig config = livetest::ConfigFor(*sim);
  // 16-bit samples after the μ-law decoder: two bytes per received byte.
  config.audioSink =
      "filesink buffer-mode=unbuffered location=" + (dir.path() / "channel{channel}.raw").string();
  auto session = std::make_unique<LiveSession>(config);
  ASSERT_TRUE(livetest::PollUntil(*session, [&] { return FileSize(dir / "channel1.raw") >= 4 * 2048; }));
  session->SetAudioRoute(kCamera1, 2, true);  // channel 3 heard in channel 1's view as well
  EXPECT_EQ(session->ChannelMask(), 5u);
  ASSERT_TRUE(livetest::PollUntil(*session, [&] { return FileSize(dir / "channel3.raw") >= 2 * 2048; }));
  session.reset();
  EXPECT_EQ(FileSize(dir / "channel2.raw"), 0u);
  EXPECT_EQ(FileSize(dir / "channel4.raw"), 0u);
  EXPECT_EQ(FileSize(dir / "channel1.raw") % 2, 0u);
}

TEST(LiveAudio, AMissingSinkLeavesTheChannelSilent) {
  EXPECT_EQ(MakeMulawOutput(0, "nosuchelement"), nullptr);
  auto output = MakeMulawOutput(0, "fakesink");
  ASSERT_NE(output, nullptr);
  output->Write(std::vector<uint8_t>(1024, 0xFF));
  output->SetVolume(1000);
}

}  // namespace
