#pragma once

// The two descriptions an evidence package carries beside its files:
// MANIFEST.sha256, the `sha256sum` list of every file of the package (by its
// name in the package folder) and of every source recording (by its absolute
// path), and manifest.json, which names the tool, the sources, the range and
// the cameras, so the package can be verified against the recordings later.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace evidence {

inline constexpr const char* kManifestFileName = "MANIFEST.sha256";
inline constexpr const char* kPackageJsonName = "manifest.json";

struct PackageSource {
  std::string path;  // absolute
  uint64_t bytes = 0;
  std::string sha256;
  int64_t startCentis = 0;  // where the file starts on the recording's timeline
};

// A file of the package made from the recording for people to view (a
// video, a report): checked by its hash, never compared frame by frame.
struct DerivedFile {
  std::string file;                   // its name in the package
  std::string kind;                   // "video", "report"
  std::vector<std::string> madeFrom;  // the source recordings, absolute paths
  // How it was made: tool, range, cameras, layout, redactions, settings; in order.
  std::vector<std::pair<std::string, std::string>> how;
};

struct PackageDescription {
  std::string tool;                    // "qmxplayer 0.1"
  std::vector<PackageSource> sources;  // in timeline order
  int64_t fromCentis = 0, toCentis = 0;
  std::vector<int> cameras;        // 1..4, ascending
  std::vector<std::string> clips;  // clip files of the package, in segment order
  std::vector<DerivedFile> derived;
  // How many bookmarks the package's bookmarks.csv holds; none: no such file.
  std::optional<int> bookmarks;
  // The examiner's correction of the recorder's clock (what to add for the
  // true time); 0 for none. The package's recorded times are never changed.
  int64_t clockCorrectionMillis = 0;
};

std::string FormatPackageJson(const PackageDescription& package);
bool ParsePackageJson(const std::string& text, PackageDescription& package, std::string& error);

// Hashes the sources into `package` (sizes and SHA-256). False with
// "PATH: reason" in `error` when one can't be read.
bool HashSources(PackageDescription& package, std::string& error);

// The names of the files in `folder` (not in sub-folders), sorted, leaving
// out MANIFEST.sha256 itself.
std::vector<std::string> PackageFileNames(const std::string& folder);

// Writes folder/MANIFEST.sha256: every file of the folder, then the sources
// of `package` by their paths. False with the reason in `error`.
bool WriteManifest(const std::string& folder, const PackageDescription& package, std::string& error);

}  // namespace evidence
