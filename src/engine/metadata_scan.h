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
  int64_t startCentis = 0;             // the file's start on the timeline of its run
  int64_t lengthCentis = 0;            // the file's length
  bool textLines = false;              // the frames carry text lines, not records: no values to scan
  bool fromMetadataStream = false;     // the records came from the file's metadata stream
  std::vector<ScannedRecord> records;  // in time order; frames without a record are left out
  std::string error;                   // empty when the file was read to its end
};

// A record's time on the run's timeline, hundredths.
inline int64_t TimelineCentis(const FileScan& file, const ScannedRecord& record) {
  return file.startCentis + record.centis;
}

struct RecordingScan {
  std::vector<FileScan> files;            // the numbered run the first file starts, in order
  std::vector<std::string> triggerNames;  // eleven, from the first file's settings
  std::vector<std::string> emptyFiles;    // files of the run skipped for holding no recording
};

// The error of a file whose scan was cancelled part-way.
inline constexpr const char* kScanCancelledError = "scan cancelled";

// Called between files and every few thousand records: fraction 0..1 of the work.
using ScanProgress = std::function<void(double fraction)>;

// Scans one file. `cameraChannel` 0..3 picks whose frames carry the records
// when the file has no metadata stream (the first camera present when that
// one is missing). Record times come from the stream's own rate and scale.
// startCentis is 0 and lengthCentis the length its headers give (as the
// engine measures files of a sequence). A file that is not an AVI, is cut
// short or can't be read gives what was read and a one-line `error` that
// does not repeat the path.
FileScan ScanRecordingFile(const std::string& path, int cameraChannel = 0);
// The same, stopping (with kScanCancelledError) when `cancel` turns true;
// `progress` gets the fraction of this file's records read.
FileScan ScanRecordingFile(const std::string& path, int cameraChannel, const std::atomic<bool>* cancel,
                           const ScanProgress& progress);

// Scans the numbered run `path` starts (just `path` when it is not numbered),
// each file starting where the one before ends by its header length. Files
// of 4,000 bytes or less are skipped (named in `emptyFiles`) and the run
// goes on. Stops early, with what was read, when `cancel` turns true. Trigger names
// are the defaults where the first file names none. Never writes to a file.
RecordingScan ScanRecording(const std::string& path, const std::atomic<bool>* cancel = nullptr,
                            const ScanProgress& progress = {});

// The same with each file's scan made by `scanFile` (a cache in front of
// ScanRecordingFile, for one); its result's startCentis is set here.
using FileScanner = std::function<FileScan(const std::string& path, const std::atomic<bool>* cancel,
                                           const ScanProgress& progress)>;
RecordingScan ScanRecording(const std::string& path, const std::atomic<bool>* cancel,
                            const ScanProgress& progress, const FileScanner& scanFile);

// The files of a sequence the caller already knows (the engine's list: a
// numbered run, or a date-stamped file with its continuations), in order.
RecordingScan ScanRecordingFiles(const std::vector<std::string>& paths, const std::atomic<bool>* cancel,
                                 const ScanProgress& progress, const FileScanner& scanFile);
