#pragma once

// A per-file store of whole-trip metadata scans, so a recording opened again
// shows its timeline at once. One cache file per recording file, keyed by the
// recording's absolute path, size and modification time: a recording that
// changes in any of them is scanned again. Plain C++, any thread; two
// threads storing the same file at once leave one complete entry (each
// writes a private temporary file and renames it into place).
//
// Cache files are read as untrusted input: every count and length is
// checked against the file's size before anything is allocated, and a
// damaged, foreign or stale entry reads as absent.

#include <atomic>
#include <optional>
#include <string>

#include "engine/metadata_scan.h"

// $XDG_CACHE_HOME/qmxplayer/scans, or ~/.cache/qmxplayer/scans; empty when
// neither variable is set.
std::string ScanCacheFolder();

// The cached scan of `path` when its key still matches (startCentis 0).
std::optional<FileScan> LoadCachedScan(const std::string& path);
// Stores `scan` for its path; false when the folder or file can't be
// written (the scan is then just not cached). A cancelled scan is refused.
bool StoreCachedScan(const FileScan& scan);

// The cached scan, or a fresh ScanRecordingFile (camera 0) that is then
// stored. A ScanRecording FileScanner.
FileScan CachedScanRecordingFile(const std::string& path, const std::atomic<bool>* cancel,
                                 const ScanProgress& progress);

// ScanRecording through the cache.
RecordingScan ScanRecordingCached(const std::string& path, const std::atomic<bool>* cancel = nullptr,
                                  const ScanProgress& progress = {});
RecordingScan ScanRecordingFilesCached(const std::vector<std::string>& paths, const std::atomic<bool>* cancel,
                                       const ScanProgress& progress);
