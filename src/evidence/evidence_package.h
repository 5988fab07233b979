#pragma once

// An evidence package of a range of the recording (or of the numbered run
// its file starts) in a new or empty folder:
//   clip.avi (clip-001.avi, … for long ranges)  the chosen cameras, frames as recorded
//   metadata.csv        the metadata rows of the range, with the source file named
//   track.gpx           the positions of the range
//   camera-N.jpg        each chosen camera's first frame of the range
//   integrity.txt, integrity.json   the integrity report of the sources
//   derived files       a video, a report, … when asked for (PackageDerivative)
//   log.txt             each step of the build with its time
//   manifest.json       tool, sources (paths, sizes, SHA-256), range, cameras, clips,
//                       and the derived files with what they were made from and how
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
#include <utility>
#include <vector>

#include "evidence/export_status.h"

namespace evidence {

// A file made from the range for people to view, which the package holds
// beside the evidence and names as derived. `make` writes it at `path` (in
// the package's private folder) and adds how it was made to `how` (the
// builder adds the tool, range and cameras); it returns "" when done, else
// the reason. It runs on the builder's thread and watches `cancel`.
struct PackageDerivative {
  std::string file;  // its name in the package: "video.mp4"
  std::string kind;  // "video", "report"
  std::function<std::string(const std::string& path, const std::atomic<bool>& cancel,
                            std::vector<std::pair<std::string, std::string>>& how)>
      make;
};

struct PackageRequest {
  std::string recording;  // the first file of the run
  int64_t fromCentis = 0, toCentis = 0;
  std::vector<int> cameras;  // 1..4, ascending
  std::string folder;
  std::vector<PackageDerivative> derivatives;
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
