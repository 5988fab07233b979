#pragma once

// Joins the temporary files of one segment's cameras into one AVI file with
// the project's own writer: video of the first camera, its audio, video of
// the next camera, its audio, and so on. Video chunks, stream headers and
// format blocks are copied byte for byte from the temporary AVI files; each
// camera's audio follows its frames in slices of whole audio blocks, so the
// file interleaves as a player reads it.
//
// Runs on the extracting thread; `cancel` is looked at before every frame.

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace clip {

struct CameraTemporaries {
  std::filesystem::path video;  // AVI with one video stream
  std::filesystem::path audio;  // WAV as CopyCameraSegment writes it; a missing file means no audio
};

enum class MuxEnd { kDone, kReadError, kWriteError, kCancelled };

struct MuxResult {
  MuxEnd end = MuxEnd::kDone;
  std::string detail;  // one line: the file and the reason
};

// Writes `output` (created or replaced). On failure the file may be left
// incomplete: the caller writes to a temporary name and removes it.
MuxResult MuxSegment(const std::vector<CameraTemporaries>& cameras, const std::filesystem::path& output,
                     const std::atomic<bool>& cancel, const std::function<void(double)>& progress = {});

}  // namespace clip
