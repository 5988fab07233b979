#pragma once

// One pass over a recording's per-frame metadata records, for views of the
// whole trip (timeline graphs, map tracks, track exports, integrity checks).
// Reads through the AVI index only the bytes that hold the records: the
// 56-byte record at byte 24 of each compressed frame of one camera, or the
// samples of a metadata stream. Plain C++, any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "metadata/metadata_sample.h"

struct ScannedRecord {
  int64_t centis = 0;  // the frame's (or metadata sample's) time in its file, hundredths
  MetadataSample sample;
};

struct FileScan {
  std::string path;
  int64_t startCentis = 0;   // the file's start on the timeline of its run
  int64_t lengthCentis = 0;  // the file's length
  bool textLines = false;    // the frames carry text lines, not records: no values to scan
  std::vector<ScannedRecord> records;  // in time order; frames without a record are left out
  std::string error;                   // empty when the file was read to its end
};

struct RecordingScan {
  std::vector<FileScan> files;           // the numbered run the first file starts, in order
  std::vector<std::string> triggerNames;  // eleven, from the first file's settings
};

// Called between files and every few thousand records: fraction 0..1 of the work.
using ScanProgress = std::function<void(double fraction)>;

// Scans one file. `cameraChannel` 0..3 picks whose frames carry the records
// when the file has no metadata stream.
FileScan ScanRecordingFile(const std::string& path, int cameraChannel = 0);

// Scans the numbered run `path` starts (just `path` when it is not numbered).
// Stops early, with what was read, when `cancel` turns true.
RecordingScan ScanRecording(const std::string& path, const std::atomic<bool>* cancel = nullptr,
                            const ScanProgress& progress = {});

