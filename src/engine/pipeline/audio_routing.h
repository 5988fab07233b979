#pragma once

#include <array>

#include "engine/video_view.h"

// How the routing matrix and the channel volumes turn into what the audio
// chains of a graph are set to. Plain arithmetic, no pipeline involved.
//
// Volumes are in hundredths of a decibel: -4000 (quietest audible) .. 0 (full),
// and kSilentVolume for a channel that must not be heard.

inline constexpr int kChannelCount = 4;
inline constexpr int kSilentVolume = -10000;

// [view number][channel]: the rows are kept by the views' stored numbers.
using RoutingMatrix = std::array<std::array<bool, kChannelCount>, VideoView::kCount>;

// A camera's view hears that camera only; the quad view hears all four.
RoutingMatrix DefaultRoutes();
// Two stacked cameras in one frame (layout kind 2): the views of the first
// two cameras and quad hear channel 0 (which carries both cameras' sound),
// the other two views nothing.
RoutingMatrix StackedLayoutRoutes();

struct AudioSettings {
  std::array<int, kChannelCount> rendererVolume{};  // hundredths of a dB, per channel's audio chain
  int gainA = 100;                                  // two-camera stereo mix, percent per camera
  int gainB = 100;
};

// `stereoPair`: the recording is a two-channel layout whose two cameras'
// sound share the stereo stream of channel 0 (first sample camera 1, second
// camera 2).
AudioSettings ComputeAudioSettings(const RoutingMatrix& routes, const std::array<int, kChannelCount>& volume,
                                   VideoView view, bool stereoPair);

// Percent 0..100 (clamped) → hundredths of a dB (-4000..0), and back.
int PercentToVolume(int percent);
int VolumeToPercent(int volume);
// Hundredths of a dB → linear factor 10^(h/2000); kSilentVolume and below → 0.
double VolumeToLinear(int volume);
