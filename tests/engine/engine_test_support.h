#pragma once

// Generated recordings and a frame recorder shared by the pipeline tests.

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "engine/pipeline/channel_result.h"
#include "engine/pipeline/engine_config.h"
#include "engine/pipeline/engine_events.h"
#include "engine/pipeline/frame_consumer.h"
#include "recording_options.h"

class PlaybackEngine;

// Waits (bounded, generously) until the engine has performed every transport
// command posted so far.
bool Settled(PlaybackEngine& engine);

// Engine tests never need a sound card: audio goes to a clocked fakesink
// unless a test records it.
EngineConfig TestConfig();

// Which channels have pictures, and which sound: the halves of a result
// that recording options are written with.
std::array<bool, 4> VideoOf(const ChannelResults& channels);
std::array<bool, 4> AudioOf(const ChannelResults& channels);

// Small, quick recordings: 320x240 at 10 fps, 1 s, all four channels.
recgen::RecordingOptions SmallOptions();
std::string WriteSmall(const std::filesystem::path& path, const recgen::RecordingOptions& options);
std::vector<std::string> WriteSmallSequence(const std::filesystem::path& dir, int count,
                                            const recgen::RecordingOptions& options);

// Tells when the engine has played to the end of the recording.
class EndOfRecording : public EngineEvents {
 public:
  void OnEndOfRecording() override;
  // Waits (bounded) for the end reported since the last Rearm.
  bool Wait(std::chrono::seconds limit = std::chrono::seconds(30));
  void Rearm();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool ended_ = false;
};

// Keeps the generator's frame number of every frame shown on one channel.
class FrameRecorder : public FrameConsumer {
 public:
  explicit FrameRecorder(int channel = 0) : channel_(channel) {}
  void OnVideoFrame(const VideoFrame& frame) override;

  std::vector<int64_t> Numbers();
  int64_t Last();
  // Waits (bounded) until `n` frames have been recorded in all.
  bool WaitForCount(size_t n, std::chrono::seconds limit = std::chrono::seconds(10));
  void Clear();

 private:
  int channel_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<int64_t> numbers_;
};
