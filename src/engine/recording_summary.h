#pragma once

#include <array>
#include <string>

#include "avi/avi_reader.h"
#include "engine/recording_properties.h"
#include "metadata/dvr_layout.h"

// What the command-line modes learn about a recording without building a
// pipeline: the properties texts, the layout and which AVI stream is which
// channel. Nothing here writes to the file.
struct RecordingSummary {
  RecordingProperties props;
  DvrLayout dvrKind = DvrLayout::kFourChannel;  // after the two-channel re-check the pipeline makes
  bool h264 = false;
  // Per AVI stream: the channel (0..3) of a video or audio stream, -1 for
  // streams that belong to no channel.
  std::vector<int> streamChannel;
};

// Reads `path` (already opened in `reader`) without modifying it.
RecordingSummary SummariseRecording(const std::string& path, const avi::AviReader& reader);

// The pad name a demuxer gives AVI stream `index`: its strn text, or "Stream NN".
std::string StreamName(const avi::AviReader& reader, std::size_t index);
