#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/video_view.h"

// One audio output of a live session: plays 8 kHz mono μ-law blocks.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Queues one block; the output owns it from now on.
  virtual void Write(std::vector<uint8_t> block) = 0;
  // Blocks written and not yet played.
  virtual int QueuedBlocks() const = 0;
  // 0..65,535.
  virtual void SetVolume(uint32_t volume) = 0;
};

// The live sound of a session's four audio channels: which channel is heard
// in which view, the volumes, and the queueing of received μ-law bytes into
// blocks of at least kMinBlockBytes, at most kMaxBlocks queued per output.
//
// Routes default to channel k heard in camera k's view and in the quad view.
// Volumes are asked for in percent and reach the outputs at the next
// ApplyVolumes (the receive thread calls it before every chunk).
//
// Threads: routes and volumes are set on the window thread, Play and
// ApplyVolumes run on the receive thread; shared values are atomic.
class LiveAudio {
 public:
  static constexpr int kChannels = 4;
  static constexpr std::size_t kMinBlockBytes = 1024;
  static constexpr int kMaxBlocks = 10;
  static constexpr std::size_t kPendingBytes = 1000000;
  static constexpr uint32_t kFullVolume = 65535;

  LiveAudio();

  // Outputs 0..3 (null: that channel is silent). Before the first Play.
  void SetOutputs(std::array<std::unique_ptr<AudioOutput>, kChannels> outputs);
  // Drops the outputs (the receive thread ends with them).
  void CloseOutputs();

  void SetRoute(VideoView view, int channel, bool on);
  bool Route(VideoView view, int channel) const;
  // percent 0..100 → volume percent × 65,535 / 100, truncated.
  void SetVolumePercent(int channel, int percent);
  uint32_t DesiredVolume(int channel) const;

  void ApplyVolumes();
  // Bytes of audio channel `channel` received while `view` is shown: dropped
  // unless routed to the view; queued as one block once kMinBlockBytes are
  // pending, or dropped when kMaxBlocks blocks are still queued.
  void Play(const uint8_t* bytes, std::size_t length, int channel, VideoView view);

 private:
  struct Channel {
    std::unique_ptr<AudioOutput> output;
    std::vector<uint8_t> pending;
    std::atomic<uint32_t> desired{kFullVolume};
    uint32_t applied = kFullVolume;
    std::array<std::atomic<bool>, VideoView::kCount> route{};  // by view number
  };
  std::array<Channel, kChannels> channels_;
};
