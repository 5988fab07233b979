#pragma once

#include <array>
#include <cstdint>
#include <string>

// One file of an open sequence and its span on the timeline (hundredths of a
// second). Shared with clip extraction.
struct SequenceFile {
  std::string path;
  int videoStreams = 0;
  std::array<int, 4> width{-1, -1, -1, -1};  // -1: the channel has no video
  std::array<int, 4> height{-1, -1, -1, -1};
  int64_t start = 0;
  int64_t end = 0;  // start + length
};
