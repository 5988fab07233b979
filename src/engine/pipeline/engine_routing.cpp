// Views, audio routing, overlay switches and snapshots.
#include "engine/pipeline/playback_engine.h"
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

void PlaybackEngine::ApplyRouting() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (!slots_) return;
  const int view = view_;
  ForEachSlotGraph(-1, [&](RecordingGraph& g) {
    const bool stereoPair = g.dvrKind != 0 && g.audioPresent[0];
    const AudioSettings s = ComputeAudioSettings(routes_, volume_, view, stereoPair);
    for (int c = 0; c < kChannelCount; ++c) {
      if (!g.volume[c]) continue;
      const double linear = VolumeToLinear(s.rendererVolume[c]);
      g_object_set(g.volume[c], "volume", linear, "mute", linear == 0.0, nullptr);
    }
    if (stereoPair) {
      if (COverlayFilter* t = g.OverlayOf(g.audioTransform[0])) t->SetGains(s.gainA, s.gainB);
    }
  });
}

void PlaybackEngine::ApplyOverlaySwitches(RecordingGraph& g) {
  for (GstElement* e : g.overlay) {
    if (COverlayFilter* f = g.OverlayOf(e)) {
      f->SetOverlayOn(overlayText_);
      f->SetFastDeinterlace(fastDeinterlace_);
    }
  }
}

void PlaybackEngine::SetView(int view) {
  view_ = view;
  ApplyRouting();
}

void PlaybackEngine::SetAudioRoute(int view, int channel, bool on) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (view < 0 || view >= kViewCount || channel < 0 || channel >= kChannelCount) return;
  routes_[view][channel] = on;
  ApplyRouting();
}

bool PlaybackEngine::GetAudioRoute(int view, int channel) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (view < 0 || view >= kViewCount || channel < 0 || channel >= kChannelCount) return false;
  return routes_[view][channel];
}

void PlaybackEngine::SetAudioVolume(int channel, int percent) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (channel < 0 || channel >= kChannelCount) return;
  volume_[channel] = PercentToVolume(percent);
  ApplyRouting();
}

int PlaybackEngine::GetAudioVolume(int channel) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (channel < 0 || channel >= kChannelCount) return 0;
  return VolumeToPercent(volume_[channel]);
}

void PlaybackEngine::SetOverlayText(bool on) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  overlayText_ = on;
  ForEachSlotGraph(-1, [&](RecordingGraph& g) { ApplyOverlaySwitches(g); });
}

void PlaybackEngine::SetDeinterlace(bool fast) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  fastDeinterlace_ = fast;
  ForEachSlotGraph(-1, [&](RecordingGraph& g) { ApplyOverlaySwitches(g); });
}

VideoArrangement PlaybackEngine::ArrangeVideo(bool quad, int which) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  VideoArrangement shown;
  bool haveShown = false;
  ForEachSlotGraph(which, [&](RecordingGraph& g) {
    std::array<ChannelVideo, 4> ch;
    for (int c = 0; c < 4; ++c) ch[c] = {g.videoPresent[c], g.width[c], g.height[c]};
    const VideoArrangement a = ArrangeChannels(ch, g.dvrKind, quad, view_);
    for (int c = 0; c < 4; ++c) {
      if (COverlayFilter* f = g.OverlayOf(g.overlay[c]); f && g.videoPresent[c]) {
        f->SetGpsLinesOn(a.gpsLinesOn[c]);
        f->SetTimeLinesOn(a.timeLinesOn[c]);
      }
    }
    int w, h;
    if (!videoSizeKnown_ && LayoutVideoSize(ch, w, h)) {
      videoWidth_ = w;
      videoHeight_ = h;
      videoSizeKnown_ = true;
    }
    if (&g == slots_->current().graph.get() || !haveShown) {
      shown = a;
      haveShown = true;
    }
  });
  return shown;
}

void PlaybackEngine::VideoSize(int& width, int& height, bool& known) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  width = videoWidth_;
  height = videoHeight_;
  known = videoSizeKnown_;
}

bool PlaybackEngine::TakeSnapshot(int channel, const std::string& path) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (channel < 0 || channel > 3 || !slots_ || !slots_->current().graph) return false;
  RecordingGraph& g = *slots_->current().graph;
  COverlayFilter* f = g.OverlayOf(g.overlay[channel]);
  return f && f->SaveSnapshot(path);
}

std::array<bool, 4> PlaybackEngine::ChannelPresent() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (!slots_ || !slots_->current().graph) return {};
  return slots_->current().graph->videoPresent;
}

std::array<bool, 4> PlaybackEngine::AudioPresent() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (!slots_ || !slots_->current().graph) return {};
  return slots_->current().graph->audioPresent;
}

int PlaybackEngine::DvrKind() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (!slots_ || !slots_->current().graph) return 0;
  return slots_->current().graph->dvrKind;
}

int PlaybackEngine::H264Mode() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  return props_.h264Mode;
}

RecordingProperties PlaybackEngine::Properties() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  return props_;
}
