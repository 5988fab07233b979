#pragma once

// An evidence package of a range of the recording (or of the numbered run
// its file starts) in a new or empty folder:
//   clip.avi (clip-001.avi, … for long ranges)  the chosen cameras, frames as recorded
//   metadata.csv        the metadata rows of the range, with the source file named
//   track.gpx           the positions of the range
//   camera-N.jpg        each chosen camera's first frame of the range
//   integrity.txt, integrity.json   the integrity report of the sources
//   manifest.json       tool, sources (paths, sizes, SHA-256), range, cameras, clips
//   MANIFEST.sha256     every file above and every source, as sha256sum writes it
//
// The sources are the files of the run the range uses. The package is built
// in a private folder on the folder's file system and put in place only when
// every file of it is written (evidence/staged_folder.h): on any failure
// nothing of it is left, the folder is removed when the build made it and
// stays empty when it was.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "evidence/export_status.h"

namespace evidence {

struct PackageRequest {
  std::string recording;  // the first file of the run
  int64_t fromCentis = 0, toCentis = 0;
  std::vector<int> cameras;  // 1..4, ascending
  std::string folder;
};

// Builds the package; the window runs it on a worker thread. `message` gets
// the reason on failure. kBadInput for a recording that can't be read, a
// range no file covers, a camera the recording lacks or a first frame of the
// range that is no picture; kOutputFailed when the folder is not empty, a
// file can't be written or `cancel` was set. `progress` (0..1) is called
// from the calling thread.
ExportStatus BuildPackage(const PackageRequest& request, const std::atomic<bool>& cancel,
                          const std::function<void(double)>& progress, std::string& message);

}  // namespace evidence
