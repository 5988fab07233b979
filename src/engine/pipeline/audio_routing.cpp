#include "engine/pipeline/audio_routing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

RoutingMatrix DefaultRoutes() {
  RoutingMatrix r{};
  for (VideoView v : VideoView::All())
    for (int c = 0; c < kChannelCount; ++c) r[v.Number()][c] = v.IsQuad() || v.Camera() == c;
  return r;
}

RoutingMatrix StackedLayoutRoutes() {
  RoutingMatrix r{};
  for (VideoView v : {VideoView::Camera(0), VideoView::Camera(1), VideoView::Quad()}) r[v.Number()][0] = true;
  return r;
}

AudioSettings ComputeAudioSettings(const RoutingMatrix& routes, const std::array<int, kChannelCount>& volume,
                                   VideoView view, bool stereoPair) {
  AudioSettings s;
  s.rendererVolume.fill(kSilentVolume);
  const std::array<bool, kChannelCount>& heard = routes[view.Number()];
  if (!stereoPair) {
    for (int c = 0; c < kChannelCount; ++c) s.rendererVolume[c] = heard[c] ? volume[c] : kSilentVolume;
    return s;
  }
  const bool a = heard[0];
  const bool b = heard[1];
  const int volA = volume[0];
  const int volB = volume[1];
  if (a && b) {
    s.rendererVolume[0] = std::max(volA, volB);
    // The quieter camera is attenuated relative to the louder one. The drop is
    // kept at or above zero: volumes 40 dB apart would otherwise give a
    // negative gain, which inverts that camera's samples instead of muting it.
    const int quieter = std::clamp(int(100.0 - 3.0 * std::abs(volA - volB) / 10000.0 * 100.0), 0, 100);
    s.gainA = volA < volB ? quieter : 100;
    s.gainB = volB < volA ? quieter : 100;
  } else if (a) {
    s.rendererVolume[0] = volA;
    s.gainA = 100;
    s.gainB = 0;
  } else if (b) {
    s.rendererVolume[0] = volB;
    s.gainA = 0;
    s.gainB = 100;
  } else {
    s.gainA = s.gainB = 0;
  }
  return s;
}

int PercentToVolume(int percent) {
  return std::clamp(percent, 0, 100) * 40 - 4000;
}

int VolumeToPercent(int volume) {
  return (volume + 4000) / 40;
}

double VolumeToLinear(int volume) {
  if (volume <= kSilentVolume) return 0.0;
  return std::pow(10.0, volume / 2000.0);
}
