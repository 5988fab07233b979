#pragma once

// Verifying an evidence package: every file against MANIFEST.sha256, and,
// where the source recordings can be found, their hashes and every clip
// frame against the source frames of the package's range.

#include <cstdint>
#include <string>
#include <vector>

namespace evidence {

struct VerifyResult {
  std::string error;                    // the package can't be read at all (no or bad manifest)
  std::vector<std::string> mismatches;  // one line each, naming the file, or the clip and the frame
  std::vector<std::string> notes;       // what could not be checked, and why
  std::vector<std::string> derived;     // one line per derived file: checked by hash only
  int64_t filesChecked = 0;
  int64_t framesChecked = 0;

  bool Passed() const { return error.empty() && mismatches.empty(); }
  // Passed, and every clip frame was compared with its source frame: what
  // "Verified" means. Hashes alone do not show a clip is the recording's.
  bool Verified() const { return Passed() && framesChecked > 0; }
};

// `sources`: where the source recordings are now, matched to the recorded
// ones by file name; recorded sources not given are looked for at their
// recorded paths. Without them the frame check is left out (a note says so).
VerifyResult VerifyPackage(const std::string& folder, const std::vector<std::string>& sources);

}  // namespace evidence
