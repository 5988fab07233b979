// Views, audio routing, overlay switches, snapshots and what the open
// recording holds.
#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/playback_rate.h"
#include "metadata/overlay_filter.h"

template <class F>
void PlaybackEngine::ForEachSlotGraph(int which, F&& f) {
  if (!slots_) return;
  Slots::Slot* all[3] = {&slots_->previous(), &slots_->current(), &slots_->next()};
  for (int s = 0; s < 3; ++s) {
    if ((which == 0 || which == 1 || which == 2) && which != s) continue;
    if (all[s]->graph) f(*all[s]->graph);
  }
}

void PlaybackEngine::ApplyRoutingLocked() {
  ForEachSlotGraph(-1, [&](RecordingGraph& g) { ApplyRoutingTo(g); });
}

void PlaybackEngine::ApplyRoutingTo(RecordingGraph& g) {
  const VideoView view = view_;
  {
    const bool stereoPair = IsTwoChannel(g.DvrKind()) && g.Volume(0);
    const AudioSettings s = ComputeAudioSettings(routes_, volume_, view, stereoPair);
    for (int c = 0; c < kChannelCount; ++c) {
      if (GstElement* v = g.Volume(c)) {
        // Beyond 1/2 to 2 times the sound would only be noise.
        const double linear = SoundAtRate(rate_) ? VolumeToLinear(s.rendererVolume[c]) : 0.0;
        g_object_set(v, "volume", linear, "mute", linear == 0.0, nullptr);
      }
    }
    if (stereoPair) {
      if (COverlayFilter* t = g.AudioTransform(0)) t->SetGains(s.gainA, s.gainB);
    }
  }
}

void PlaybackEngine::ApplyOverlaySwitches(RecordingGraph& g) {
  for (int c = 0; c < 4; ++c) {
    if (COverlayFilter* f = g.Overlay(c)) f->SetOverlayOn(overlayText_);
  }
  g.SetFastDeinterlace(fastDeinterlace_);
  for (int c = 0; c < 4; ++c) g.SetShownSize(c, shownSize_[size_t(c)].first, shownSize_[size_t(c)].second);
}

void PlaybackEngine::SetShownSize(int channel, int width, int height) {
  if (channel < 0 || channel > 3 || !config_.reducedDecoding) return;
  std::lock_guard<std::mutex> l(lock_);
  if (shownSize_[size_t(channel)] == std::pair(width, height)) return;
  shownSize_[size_t(channel)] = {width, height};
  ForEachSlotGraph(-1, [&](RecordingGraph& g) { g.SetShownSize(channel, width, height); });
}

void PlaybackEngine::SetView(VideoView view) {
  std::lock_guard<std::mutex> l(lock_);
  view_ = view;
  ApplyRoutingLocked();
}

void PlaybackEngine::SetAudioRoute(VideoView view, int channel, bool on) {
  std::lock_guard<std::mutex> l(lock_);
  if (channel < 0 || channel >= kChannelCount) return;
  routes_[view.Number()][channel] = on;
  ApplyRoutingLocked();
}

bool PlaybackEngine::GetAudioRoute(VideoView view, int channel) {
  std::lock_guard<std::mutex> l(lock_);
  if (channel < 0 || channel >= kChannelCount) return false;
  return routes_[view.Number()][channel];
}

void PlaybackEngine::SetAudioVolume(int channel, int percent) {
  std::lock_guard<std::mutex> l(lock_);
  if (channel < 0 || channel >= kChannelCount) return;
  volume_[channel] = PercentToVolume(percent);
  ApplyRoutingLocked();
}

int PlaybackEngine::GetAudioVolume(int channel) {
  std::lock_guard<std::mutex> l(lock_);
  if (channel < 0 || channel >= kChannelCount) return 0;
  return VolumeToPercent(volume_[channel]);
}

void PlaybackEngine::SetOverlayText(bool on) {
  std::lock_guard<std::mutex> l(lock_);
  overlayText_ = on;
  ForEachSlotGraph(-1, [&](RecordingGraph& g) { ApplyOverlaySwitches(g); });
}

void PlaybackEngine::SetDeinterlace(bool fast) {
  std::lock_guard<std::mutex> l(lock_);
  fastDeinterlace_ = fast;
  ForEachSlotGraph(-1, [&](RecordingGraph& g) { ApplyOverlaySwitches(g); });
}

VideoArrangement PlaybackEngine::ArrangeVideo(bool quad, int which) {
  std::lock_guard<std::mutex> l(lock_);
  arrangedQuad_ = quad;
  VideoArrangement shown;
  ArrangeLocked(quad, which, &shown);
  return shown;
}

void PlaybackEngine::ArrangeLocked(bool quad, int which, VideoArrangement* shown) {
  bool haveShown = false;
  ForEachSlotGraph(which, [&](RecordingGraph& g) {
    const ChannelResults ch = g.Channels();
    const VideoArrangement a = ArrangeChannels(ch, g.DvrKind(), quad, view_);
    for (int c = 0; c < 4; ++c) {
      if (COverlayFilter* f = g.Overlay(c); f && ch[c].video) {
        f->SetGpsLinesOn(a.gpsLinesOn[c]);
        f->SetTimeLinesOn(a.timeLinesOn[c]);
      }
    }
    int w, h;
    if (!videoSizeKnown_ && g.Ready() && LayoutVideoSize(ch, w, h)) {
      videoWidth_ = w;
      videoHeight_ = h;
      videoSizeKnown_ = true;
    }
    if (shown && (&g == slots_->current().graph.get() || !haveShown)) {
      *shown = a;
      haveShown = true;
    }
  });
}

PlaybackEngine::OverlaySwitches PlaybackEngine::ShownOverlaySwitches() {
  OverlaySwitches out;
  GraphPtr cur = Current();
  for (int c = 0; c < 4 && cur; ++c) {
    if (const COverlayFilter* f = cur->Overlay(c)) {
      out.text[c] = f->OverlayOn();
      out.gpsLines[c] = f->GpsLinesOn();
      out.timeLines[c] = f->TimeLinesOn();
    }
  }
  return out;
}

OverlayTexts PlaybackEngine::ShownOverlayTexts(int channel) {
  GraphPtr cur = Current();
  const COverlayFilter* f = cur && channel >= 0 && channel < 4 ? cur->Overlay(channel) : nullptr;
  return f ? f->Texts() : InitialOverlayTexts();
}

void PlaybackEngine::VideoSize(int& width, int& height, bool& known) {
  std::lock_guard<std::mutex> l(lock_);
  width = videoWidth_;
  height = videoHeight_;
  known = videoSizeKnown_;
}

bool PlaybackEngine::TakeSnapshot(int channel, const std::string& path) {
  if (channel < 0 || channel > 3) return false;
  GraphPtr cur = Current();
  if (!cur) return false;
  // A picture shown reduced is not the recorded frame: that is decoded again.
  const RecordingGraph::FullSnapshot full = cur->SaveFullSnapshot(channel, path);
  if (full != RecordingGraph::FullSnapshot::kNotReduced) return full == RecordingGraph::FullSnapshot::kDone;
  COverlayFilter* f = cur->Overlay(channel);
  return f && f->SaveSnapshot(path);
}

bool PlaybackEngine::SnapshotImage(int channel, std::vector<uint8_t>& rgb, int& width, int& rows) {
  rgb.clear();
  width = rows = 0;
  if (channel < 0 || channel > 3) return false;
  GraphPtr cur = Current();
  if (!cur) return false;
  // A picture shown reduced is not the recorded frame: that is decoded again.
  const RecordingGraph::FullSnapshot full = cur->FullSnapshotImage(channel, rgb, width, rows);
  if (full != RecordingGraph::FullSnapshot::kNotReduced) return full == RecordingGraph::FullSnapshot::kDone;
  COverlayFilter* f = cur->Overlay(channel);
  return f && f->SnapshotImage(rgb, width, rows);
}

ChannelResults PlaybackEngine::Channels() {
  GraphPtr cur = Current();
  return cur ? cur->Channels() : ChannelResults{};
}

DvrLayout PlaybackEngine::DvrKind() {
  GraphPtr cur = Current();
  return cur ? cur->DvrKind() : DvrLayout::kFourChannel;
}

VideoCoding PlaybackEngine::H264Mode() {
  return h264Mode_;
}

RecordingProperties PlaybackEngine::Properties() {
  GraphPtr cur;
  uint64_t bytes;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (slots_) cur = slots_->current().graph;
    bytes = sequenceBytes_;
  }
  if (!cur) return RecordingProperties{};
  RecordingProperties p = cur->Properties();
  p.byteTotal = int64_t(bytes);
  p.sizeText = std::to_string(bytes / 1000000) + " mb";
  return p;
}
