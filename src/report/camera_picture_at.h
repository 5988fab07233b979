#pragma once

// A camera's picture at a moment of the timeline, decoded from the frame
// the recording stores for it: the first frame at or after the moment, the
// same frame a clip of the range starting there begins with. Plain C++ over
// the AVI reader and libjpeg; never writes to the recording. Any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "clip/clip_extraction.h"

namespace report {

struct CameraPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // packed RGB rows, top row first
  std::string file;          // the file the frame was read from, without its folder
  int64_t frame = -1;        // the frame's number within that file
  int64_t centis = -1;       // the frame's time on the timeline
};

// Camera `camera` (0..3) at `centis`. False with a one-line reason when no
// file of the timeline has a frame of the camera at or after it, or the
// frame cannot be read or decoded.
bool CameraPictureAt(const std::vector<clip::ClipSourceFile>& files, int camera, int64_t centis,
                     CameraPicture& picture, std::string& error);

}  // namespace report
