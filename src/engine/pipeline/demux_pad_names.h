#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "avi/avi_format.h"

// Maps the AVI demuxer's pads onto the names the pin rules know.
//
// The demuxer names its pads by type, counting each type in file order
// ("video_0", "audio_0", "video_1", …, "subtitle_0" for a 'txts' stream). The
// pin rules expect the recorder's naming: the stream's own 'strn' name when
// the file has one, else "Stream NN" with NN the stream's index in the file.

struct DemuxStream {
  avi::FourCC type = 0;     // strh fccType: 'vids', 'auds', 'txts', …
  std::string name;         // strn text, "" when absent
  uint64_t chunkCount = 0;  // chunks the file's index lists for the stream
  bool hasFormat = true;    // the stream has a 'strf' chunk
};

struct DemuxPad {
  int streamIndex = -1;
  std::string padName;  // the demuxer's pad name
  std::string pinName;  // the name the pin rules see
  // The demuxer only creates a pad for a stream it knows the type of, that
  // has a format chunk and data; a pad that never appears must not be waited
  // for. A stream without a format chunk is skipped whole: it takes no number
  // in the per-type count either.
  bool exposed = false;
};

std::vector<DemuxPad> MapDemuxPads(const std::vector<DemuxStream>& streams);
