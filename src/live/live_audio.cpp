#include "live/live_audio.h"

#include <algorithm>

namespace {

bool ValidChannel(int c) {
  return c >= 0 && c < LiveAudio::kChannels;
}

}  // namespace

LiveAudio::LiveAudio() {
  for (int c = 0; c < kChannels; ++c) {
    channels_[c].route[VideoView::Camera(c).Number()] = true;
    channels_[c].route[VideoView::Quad().Number()] = true;
    channels_[c].pending.reserve(kMinBlockBytes * 2);
  }
}

void LiveAudio::SetOutputs(std::array<std::unique_ptr<AudioOutput>, kChannels> outputs) {
  for (int c = 0; c < kChannels; ++c) {
    channels_[c].output = std::move(outputs[c]);
    channels_[c].pending.clear();
    channels_[c].applied = kFullVolume;
  }
}

void LiveAudio::CloseOutputs() {
  for (Channel& ch : channels_) ch.output.reset();
}

void LiveAudio::SetRoute(VideoView view, int channel, bool on) {
  if (ValidChannel(channel)) channels_[channel].route[view.Number()] = on;
}

bool LiveAudio::Route(VideoView view, int channel) const {
  return ValidChannel(channel) && channels_[channel].route[view.Number()];
}

void LiveAudio::SetVolumePercent(int channel, int percent) {
  if (!ValidChannel(channel)) return;
  channels_[channel].desired = uint32_t(std::clamp(percent, 0, 100) / 100.0 * kFullVolume);
}

uint32_t LiveAudio::DesiredVolume(int channel) const {
  return ValidChannel(channel) ? channels_[channel].desired.load() : 0;
}

void LiveAudio::ApplyVolumes() {
  for (Channel& ch : channels_) {
    const uint32_t desired = ch.desired;
    if (desired == ch.applied) continue;
    if (ch.output) ch.output->SetVolume(desired);
    ch.applied = desired;
  }
}

void LiveAudio::Play(const uint8_t* bytes, std::size_t length, int channel, VideoView view) {
  if (!ValidChannel(channel) || !Route(view, channel)) return;
  Channel& ch = channels_[channel];
  // A chunk is at most 100,000 bytes and the pending area empties at 1,024,
  // so the cap only guards against a caller breaking that promise.
  length = std::min(length, kPendingBytes - ch.pending.size());
  ch.pending.insert(ch.pending.end(), bytes, bytes + length);
  if (ch.pending.size() < kMinBlockBytes) return;
  if (ch.output && ch.output->QueuedBlocks() < kMaxBlocks) ch.output->Write(ch.pending);
  ch.pending.clear();
}
