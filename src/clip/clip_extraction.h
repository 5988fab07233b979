#pragma once

// Cutting a time range of chosen cameras out of a recording (one file or a
// numbered run) into new AVI files, frames copied byte for byte.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace clip {

// One file of the recording's timeline, as the engine lists it.
struct ClipSourceFile {
  std::string path;
  int videoChannels = 0;
  int64_t startCentis = 0;  // position of the file's first frame on the timeline
  int64_t endCentis = 0;
};

struct ExtractRequest {
  std::vector<ClipSourceFile> files;  // the timeline, in order
  int64_t startCentis = -1;           // hundredths of a second on the timeline
  int64_t endCentis = -1;
  std::array<bool, 4> cameras{};          // camera 1..4 chosen
  std::string destination;                // OUT.avi; longer ranges become OUT-001.avi, OUT-002.avi, ...
  std::vector<std::string> triggerNames;  // eleven, appended with the title after the AVI data
  std::string dvrTitle;
};

enum class ExtractStatus {
  Done,         // every output written and closed
  NothingToDo,  // empty range, or no file covers it
  NoFrames,     // the range holds no frame of a chosen camera: refused, nothing written
  Cancelled,    // stopped on request; the unfinished output was removed
  ReadFailed,   // a source could not be read (missing, damaged, truncated)
  WriteFailed,  // an output could not be written (permission, full disk, existing file)
  // An output is a file of the recording, or no regular file: nothing was written.
  OutputRefused,
};

struct ExtractOutcome {
  ExtractStatus status = ExtractStatus::NothingToDo;
  std::string message;               // the reason, for the user; empty when Done
  std::string detail;                // one line naming the file and the system's reason, when known
  std::vector<std::string> outputs;  // complete output files, in segment order
};

// Every file the request writes, in segment order: the destination, or
// OUT-001.avi, OUT-002.avi, ... when the range needs several segments.
std::vector<std::string> OutputNames(const ExtractRequest& request);

// Called from the extracting thread: overall progress 0..1.
using ExtractProgress = std::function<void(double fraction)>;

// Runs on the caller's thread until done, failed or `cancel` turns true.
// Before anything is written, every output name is checked against every
// file of the timeline (OutputRefused, the detail naming the output).
ExtractOutcome ExtractClip(const ExtractRequest& request, const std::atomic<bool>& cancel,
                           const ExtractProgress& progress = {});

// The timeline files of the recording `path` starts (a numbered run is one timeline).
// Empty when `path` is no readable recording.
std::vector<ClipSourceFile> ListTimelineFiles(const std::string& path);

}  // namespace clip
