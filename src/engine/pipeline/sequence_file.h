#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/pipeline/channel_result.h"

// One file of an open sequence and its span on the timeline (hundredths of a
// second). Shared with clip extraction.
struct SequenceFile {
  std::string path;
  int videoStreams = 0;
  ChannelResults channels{};  // what the sequence's first file holds
  int64_t start = 0;
  int64_t end = 0;  // start + length
};
