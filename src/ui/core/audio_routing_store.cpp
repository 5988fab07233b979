#include "ui/core/audio_routing_store.h"

#include <cctype>

#include "base/settings.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Leading digits as a decimal number (after an optional sign); 0 without
// any. Saturates instead of overflowing on a hostile value.
int LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 2147483647LL) value = 2147483647LL;
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

AudioRouting DefaultAudioRouting() {
  AudioRouting r;
  r.hear = DefaultRoutes();
  r.volume.fill(100);
  return r;
}

std::string RouteSettingName(VideoView view, int channel) {
  const std::string audio = "Aud" + std::to_string(channel + 1);
  return view.IsQuad() ? "Quad" + audio : "Vid" + std::to_string(view.Camera() + 1) + audio;
}

std::string VolumeSettingName(int channel) {
  return "Volume" + std::to_string(channel + 1);
}

AudioRouting LoadAudioRouting() {
  AudioRouting r = DefaultAudioRouting();
  for (VideoView v : VideoView::All()) {
    for (int c = 0; c < 4; ++c) {
      const std::string value = Lower(ReadSetting(RouteSettingName(v, c)));
      if (value == "yes") r.hear[v.Number()][c] = true;
      if (value == "no") r.hear[v.Number()][c] = false;
    }
  }
  for (int c = 0; c < 4; ++c) {
    const std::string value = ReadSetting(VolumeSettingName(c));
    if (!value.empty()) r.volume[c] = LeadingNumber(value);
  }
  return r;
}

void SaveAudioRouting(const AudioRouting& routing) {
  auto yesNo = [](bool on) { return on ? "yes" : "no"; };
  for (VideoView v : VideoView::All()) {
    if (v.IsQuad()) continue;
    for (int c = 0; c < 4; ++c) WriteSetting(RouteSettingName(v, c), yesNo(routing.hear[v.Number()][c]));
  }
  for (int c = 0; c < 4; ++c) WriteSetting(VolumeSettingName(c), std::to_string(routing.volume[c]));
  const VideoView quad = VideoView::Quad();
  for (int c = 0; c < 4; ++c) WriteSetting(RouteSettingName(quad, c), yesNo(routing.hear[quad.Number()][c]));
}
