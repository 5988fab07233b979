#pragma once

#include <atomic>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --export-evidence FILE --from CENTIS --to CENTIS --cameras LIST
// --out DIR`: an evidence package of a range of the recording (or of the
// numbered run FILE starts) in the new or empty folder DIR:
//   clip.avi (clip-001.avi, … for long ranges)  the chosen cameras, frames as recorded
//   metadata.csv        the --export-metadata rows of the range, with the source file named
//   track.gpx           the positions of the range
//   bookmarks.csv       the bookmarks kept for the recording (evidence/bookmarks.h) in the range
//   camera-N.jpg        each chosen camera's first frame of the range
//   integrity.txt, integrity.json   the --check report of the sources
//   manifest.json       tool, sources (paths, sizes, SHA-256), range, cameras, clips
//   MANIFEST.sha256     every file above and every source, as sha256sum writes it
//
// The sources are the files of the run the range uses. The package is built
// in a private folder on DIR's file system and put in place only when every
// file of it is written (evidence/staged_folder.h): on any failure nothing of
// it is left, DIR is removed when the run made it and stays empty when it was.
//
// Exit status: kExitDone; kExitBadInput for a bad command line, a FILE that
// can't be read, a range no file covers, a camera the recording lacks or a
// first frame of the range that is no picture; kExitOutputFailed when DIR is
// not empty or a file can't be written. `err` gets one line with the reason.
int RunExportEvidenceMode(const std::vector<std::string>& args, std::ostream& err);

struct EvidenceRequest {
  std::string recording;  // the first file of the run
  int64_t fromCentis = 0, toCentis = 0;
  std::vector<int> cameras;  // 1..4, ascending
  std::string folder;
};

// Builds the package; the window runs it on a worker thread. Returns the
// exit status above with `message` set on failure. `progress` (0..1) is
// called from the calling thread.
int ExportEvidencePackage(const EvidenceRequest& request, const std::atomic<bool>& cancel,
                          const std::function<void(double)>& progress, std::string& message);
