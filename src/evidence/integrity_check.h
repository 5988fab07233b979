#pragma once

// The integrity check of a recording or a numbered run: per camera the
// frames, the declared and the measured frame rate, and every place where the
// recording is not what a steady recorder writes: frames missing, repeated or
// out of time, pictures that do not decode, sound missing, files cut short.
// Reads each file through its AVI index (video chunks in file order, audio
// only from the index sizes) and never writes to it. Plain C++, any thread;
// the full check decodes the pictures on worker threads of its own, which it
// joins before it returns.

#include <cstdint>
#include <string>
#include <vector>

namespace evidence {

enum class FindingKind {
  kDroppedFrame,    // the time between two frames is about two frame intervals: one frame missing
  kTimeGap,         // the time between two frames is more than two frame intervals
  kTimeBackwards,   // a frame's time is before its predecessor's
  kDuplicateFrame,  // a frame is byte for byte the frame before it
  kDamagedFrame,    // a frame is no whole JPEG, or can't be read
  kMissingAudio,    // a camera's audio is shorter than its video by whole chunks
  kFileGap,         // the time from one file's last frame to the next file's first is too long or negative
  kCutShort,   // a file holds fewer frames than its headers declare, lacks its index, or ends in a cut chunk
  kEmptyFile,  // a file of the run holds no recording (4,000 bytes or less) and was skipped
};

// "dropped frame", "time gap", "time goes backwards", "duplicate frame",
// "damaged frame", "audio chunks missing", "gap between files", "cut short",
// "empty file skipped".
const char* FindingName(FindingKind kind);

struct Finding {
  FindingKind kind = FindingKind::kTimeGap;
  int camera = 0;      // 1..4; 0 for a gap between files
  int file = 0;        // index of the file in the run (for a file gap: the earlier file)
  int64_t frame = -1;  // frame of the camera within its file, from 0; -1 when none applies
  double seconds = 0;  // length of the gap or jump, or of the missing audio
  int64_t count = 0;   // frames or audio chunks missing, where that applies
  std::string detail;  // what is wrong with a damaged frame, or how a file is cut short
  double at = -1;      // where in the file, seconds from its start by the declared rate; -1 when none applies
  // A camera's cut-short file: the frames its header declares and those it
  // holds; -1 when not applicable.
  int64_t declared = -1, found = -1;
};

struct CameraSummary {
  int camera = 0;  // 1..4
  int64_t frames = 0;
  double declaredFps = 0;    // from the first file's stream header
  double measuredFps = 0;    // from the frames' own times; 0 when they carry none
  int64_t audioChunks = -1;  // -1: the camera has no audio stream
};

struct FileSummary {
  std::string path;
  uint64_t bytes = 0;
  // With CheckOptions::hashFiles: 64 hex digits, or "" when the file could
  // not be read to its end.
  std::string sha256;
};

struct IntegrityReport {
  std::vector<FileSummary> files;
  std::vector<CameraSummary> cameras;  // in camera order, only cameras with video
  std::vector<double> boundaryGaps;    // seconds from file i's last frame to file i+1's first
  std::vector<Finding> findings;       // in the order they were found
  std::string error;                   // "PATH: reason" when a file could not be read at all

  bool Readable() const { return error.empty(); }
  bool Clean() const { return error.empty() && findings.empty(); }
};

struct CheckOptions {
  // Decode every frame's entropy-coded data (JpegEntropyCheck) to find
  // pictures that do not decode cleanly. Off: the quick check, which looks
  // at each frame's headers and end only (JpegStructureProblem).
  bool decodePictures = true;
  int workers = 0;  // threads that decode; 0: one per core
  // Also each file's SHA-256, from the same reads the walk over its frames
  // makes: every byte is read once for both.
  bool hashFiles = false;
};

// One file of the timeline; an `empty` one (4,000 bytes or less) is not read
// but named as skipped.
struct CheckFile {
  std::string path;
  bool empty = false;
};

// Checks the files of one timeline, in order. A file that can't be opened as
// an AVI ends the check with `error` set and what was found so far. Findings
// come in file order and, within a file, in frame order, whatever the number
// of workers.
IntegrityReport CheckRecording(const std::vector<CheckFile>& files, const CheckOptions& options = {});
IntegrityReport CheckRecording(const std::vector<std::string>& paths, const CheckOptions& options = {});

}  // namespace evidence
