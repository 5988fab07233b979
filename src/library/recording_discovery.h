#pragma once

// Walks folders and groups their AVI files into recordings the way the
// window opens them: a numbered run ("Trip-001.avi", "Trip-002.avi", ...),
// a date-stamped file with its continuation files, or a file alone. Only
// names and sizes are looked at here; nothing is opened.

#include <string>
#include <vector>

namespace library {

struct FoundRecording {
  std::vector<std::string> files;  // absolute paths, in timeline order
  std::vector<bool> empty;         // per file: 4,000 bytes or less, holds no recording
};

struct OddFile {
  std::string path;
  std::string reason;
};

struct TreeListing {
  std::vector<FoundRecording> recordings;  // ordered by first file
  std::vector<OddFile> odd;                // roots or folders that can't be read, files holding nothing
};

// Every recording under `roots` (folders, walked to any depth; links to
// folders are not followed, so a loop can't trap the walk). A root that is
// a file stands for its own recording.
TreeListing FindRecordings(const std::vector<std::string>& roots);

}  // namespace library
