#pragma once

// Length of a recording file measured from its stream headers alone, for
// files of a sequence that are not opened for playback.

#include <cstdint>
#include <string>

namespace avi {

struct AviLength {
  int64_t lengthCentis = 0;  // hundredths of a second
  int videoStreams = 0;
};

// Reads the headers of `path` and, for each of its first four video streams
// in turn, takes dwLength / fps × 100 truncated, fps as FramesPerSecond
// (frame_timing.h) reads the header; the result is the last one read and how
// many were read. {0, 0} when the file can't be opened as an AVI. A stream
// whose rate is 0 (or whose length does not fit) measures 0 rather than
// dividing by zero.
AviLength ReadAviLength(const std::string& path);

}  // namespace avi
