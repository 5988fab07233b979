#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/pipeline/playback_engine.h"
#include "frame_mark.h"
#include "recording_writer.h"

std::array<bool, 4> VideoOf(const ChannelResults& channels) {
  std::array<bool, 4> video{};
  for (int c = 0; c < 4; ++c) video[c] = channels[c].video;
  return video;
}

std::array<bool, 4> AudioOf(const ChannelResults& channels) {
  std::array<bool, 4> audio{};
  for (int c = 0; c < 4; ++c) audio[c] = channels[c].audio;
  return audio;
}

bool Settled(PlaybackEngine& engine) {
  return engine.WaitTransport(std::chrono::seconds(30));
}

void EndOfRecording::OnEndOfRecording() {
  {
    std::lock_guard<std::mutex> l(lock_);
    ended_ = true;
  }
  changed_.notify_all();
}

bool EndOfRecording::Wait(std::chrono::seconds limit) {
  std::unique_lock<std::mutex> l(lock_);
  return changed_.wait_for(l, limit, [this] { return ended_; });
}

void EndOfRecording::Rearm() {
  std::lock_guard<std::mutex> l(lock_);
  ended_ = false;
}

EngineConfig TestConfig() {
  EngineConfig c;
  c.audioSink = "fakesink sync=true";
  return c;
}

recgen::RecordingOptions SmallOptions() {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.fps = 10;
  o.seconds = 1;
  return o;
}

std::string WriteSmall(const std::filesystem::path& path, const recgen::RecordingOptions& options) {
  std::string error;
  EXPECT_TRUE(recgen::WriteRecording(path, options, error)) << error;
  return path.string();
}

std::vector<std::string> WriteSmallSequence(const std::filesystem::path& dir, int count,
                                            const recgen::RecordingOptions& options) {
  std::string error;
  EXPECT_TRUE(recgen::WriteSequence(dir, "Trip", count, options, error)) << error;
  std::vector<std::string> paths;
  for (int i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Trip-%03d.avi", i);
    paths.push_back((dir / name).string());
  }
  return paths;
}

void FrameRecorder::OnVideoFrame(const VideoFrame& frame) {
  if (frame.channel != channel_) return;
  const int64_t n = recgen::DecodeFrameNumber(frame.bgrx, frame.width, frame.height, frame.strideBytes);
  std::lock_guard<std::mutex> l(lock_);
  numbers_.push_back(n);
  changed_.notify_all();
}

std::vector<int64_t> FrameRecorder::Numbers() {
  std::lock_guard<std::mutex> l(lock_);
  return numbers_;
}

int64_t FrameRecorder::Last() {
  std::lock_guard<std::mutex> l(lock_);
  return numbers_.empty() ? -100 : numbers_.back();
}

bool FrameRecorder::WaitForCount(size_t n, std::chrono::seconds limit) {
  std::unique_lock<std::mutex> l(lock_);
  return changed_.wait_for(l, limit, [&] { return numbers_.size() >= n; });
}

void FrameRecorder::Clear() {
  std::lock_guard<std::mutex> l(lock_);
  numbers_.clear();
}
