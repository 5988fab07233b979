#pragma once

#include <array>
#include <string>

#include "engine/pipeline/audio_routing.h"
#include "engine/video_view.h"

// The stored audio routing: which of the four audio channels is heard in
// each of the five views, and the four channel
// volumes in percent. Kept as 24 settings values: "Vid1Aud1".."Vid4Aud4",
// "QuadAud1".."QuadAud4" ("yes"/"no") and "Volume1".."Volume4" ("%d").

struct AudioRouting {
  RoutingMatrix hear{};         // [view number][channel]
  std::array<int, 4> volume{};  // percent, stored without range check
  bool operator==(const AudioRouting&) const = default;
};

// Video n hears audio n, quad hears all four, volumes 100.
AudioRouting DefaultAudioRouting();

// The settings value name of (view, channel 0..3): "Vid2Aud3", "QuadAud2".
std::string RouteSettingName(VideoView view, int channel);
std::string VolumeSettingName(int channel);

// Defaults, overridden by every stored value that reads: a route of "yes"
// or "no" in any letter case (anything else keeps the default); a non-empty
// volume as a decimal number (leading digits; no number reads as 0).
AudioRouting LoadAudioRouting();
// Writes the 16 single-view routes (view 1 first), the volumes, then the
// quad routes.
void SaveAudioRouting(const AudioRouting& routing);

// Gives a player the routing: the four volumes, then every view's routes.
// `Player` is anything with SetAudioVolume(channel, percent) and
// SetAudioRoute(view, channel, on): the playback engine or a live session.
template <class Player>
void ApplyAudioRouting(const AudioRouting& routing, Player& player) {
  for (int c = 0; c < 4; ++c) player.SetAudioVolume(c, routing.volume[c]);
  for (VideoView v : VideoView::All()) {
    for (int c = 0; c < 4; ++c) player.SetAudioRoute(v, c, routing.hear[v.Number()][c]);
  }
}
