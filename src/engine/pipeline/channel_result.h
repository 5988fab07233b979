#pragma once

#include <array>

// What a recording file's graph found on one camera channel: whether its
// pictures and its sound reached the sinks, and the pictures' size. Until
// the graph's preroll has told, a planned video channel reads present with
// the size unknown (-1). Pure data.
struct ChannelResult {
  bool video = false;
  bool audio = false;
  int width = -1;
  int height = -1;
  bool operator==(const ChannelResult&) const = default;
};

using ChannelResults = std::array<ChannelResult, 4>;
