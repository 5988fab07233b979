#pragma once

// Copies one camera's frames and the matching stretch of its audio out of a
// run of recording files into two new files: a video-only AVI that keeps the
// source's stream header, format block and frame bytes, and a WAV file (the
// 46-byte header of wave_file_header.h, then the audio bytes as stored).
//
// The walk: frame k of the run, counted across files, lies at k / fps and is
// copied exactly when start <= k / fps < end (FramesOfTimeSpan). The frame
// rate comes from the first file's video stream header, as FramesPerSecond
// reads it (avi/frame_timing.h).
// The audio of each file is cut in the proportion of its frames: with L
// frames, T audio bytes, `skipped` frames before and `written` frames copied,
// bytes floor(skipped / L * T) up to floor((skipped + written) / L * T) (no
// alignment to the audio block). Frames and audio are found through the
// index: skipping a frame reads none of its bytes.
//
// Runs on the extracting thread. The progress callback gets elapsed / end
// before every frame; `cancel` is looked at before every frame.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "avi/avi_format.h"
#include "engine/camera_streams.h"

namespace avi {
class AviReader;
}

namespace clip {

struct CameraSegment {
  std::vector<std::string> files;  // the files that cover the range, first file first
  int camera = 0;  // 0..3: the camera's video is the camera-th "vids" stream, its audio the camera-th "auds"
  double start = 0;   // seconds from the first frame of the first file
  double length = 0;  // seconds
  std::filesystem::path videoPath;
  std::filesystem::path audioPath;
};

enum class CopyEnd {
  kReachedEnd,   // every wanted frame was copied
  kRanOut,       // the files ended before start + length
  kSourceError,  // a source could not be opened or read, or lacks the camera's streams
  kWriteError,   // a temporary file could not be written
  kCancelled,
};

struct CopyResult {
  CopyEnd end = CopyEnd::kRanOut;
  std::string message;  // the user's message text; empty when the walk has none (ran out, cancelled)
  std::string detail;   // one line: the file and the system's reason, when known
  int64_t framesWritten = 0;
  uint64_t audioBytesWritten = 0;
  bool ok() const { return end == CopyEnd::kReachedEnd; }
};

// A stored frame larger than this ends its file, as a failed read does.
inline constexpr uint32_t kMaxFrameBytes = 1'256'000;

// The audio slice of one file, in bytes from the start of its audio data.
struct AudioSlice {
  uint64_t first = 0;
  uint64_t count = 0;
};
AudioSlice AudioSliceOf(uint64_t skipped, uint64_t written, uint64_t frames, uint64_t audioBytes);

// The sources of one extraction, each opened (and its index read) once.
class SourceFiles {
 public:
  SourceFiles();
  ~SourceFiles();
  // nullptr with the reader's reason in `error` when `path` can't be opened.
  const avi::AviReader* Open(const std::string& path, std::string& error);

 private:
  std::map<std::string, std::unique_ptr<avi::AviReader>> readers_;
};

// What the walk takes out of one source file: frames firstFrame ..
// firstFrame + frames - 1 of its video stream and a slice of its audio.
struct WalkPiece {
  const avi::AviReader* reader = nullptr;
  std::string path;
  int videoStream = -1;
  int audioStream = -1;  // -1 in a file without any sound
  std::size_t firstFrame = 0;
  std::size_t frames = 0;
  AudioSlice audio;
};

// The walk of one camera over the index alone: which frames and which audio
// bytes a copy takes, and the first file's headers it is written under.
struct CameraWalk {
  CopyEnd end = CopyEnd::kRanOut;
  std::string message;  // as CopyResult
  std::string detail;
  std::vector<WalkPiece> pieces;  // files with at least one frame taken
  bool headersKnown = false;      // the first file and its streams were found
  avi::MainHeader main;
  std::vector<uint8_t> videoStrh, videoStrf;
  std::vector<uint8_t> videoVprp;    // the display aspect the source states, kept for the clip
  std::vector<uint8_t> audioFormat;  // empty: the camera has no sound
  int64_t Frames() const;            // taken, over all pieces
};

// Reads no frame or audio bytes. The paths of `segment` are not used.
CameraWalk WalkCameraSegment(const CameraSegment& segment, SourceFiles& sources,
                             const std::atomic<bool>& cancel,
                             const std::function<void(double)>& progress = {});

// The files at both paths are created (or replaced); the WAV file only when
// the camera has sound. A copy that ends early still leaves both files
// complete and valid for what was copied. A WAV file that can't be created
// leaves the copy without audio, and without a message.
CopyResult CopyCameraSegment(const CameraSegment& segment, const std::atomic<bool>& cancel,
                             const std::function<void(double)>& progress = {});

}  // namespace clip
