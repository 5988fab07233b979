#pragma once

// Writes one segment's output straight from the sources the cameras' walks
// chose, with the project's own writer: video of the first camera, its
// audio (none for a camera without sound), video of the next camera, its
// audio, and so on. Frames, stream headers and format blocks are copied byte
// for byte; each camera's audio follows its frames in slices of whole audio
// blocks, so the file interleaves as a player reads it. One pass, no
// temporary copies: it is as fast as the disk, and faster than joining
// temporary files through a media pipeline.
//
// Runs on the extracting thread; `cancel` is looked at before every frame.

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "clip/camera_segment_copy.h"

namespace clip {

enum class MuxEnd { kDone, kReadError, kWriteError, kCancelled };

struct MuxResult {
  MuxEnd end = MuxEnd::kDone;
  std::string detail;  // one line: the file and the reason
};

// Writes `output` (created or replaced) from walks that reached their end.
// On failure the file may be left incomplete: the caller writes to a
// temporary name and removes it.
MuxResult MuxSegment(const std::vector<CameraWalk>& cameras, const std::filesystem::path& output,
                     const std::atomic<bool>& cancel, const std::function<void(double)>& progress = {});

}  // namespace clip
