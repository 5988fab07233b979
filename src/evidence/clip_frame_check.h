#pragma once

// Whether the clips of a package hold, frame for frame, the bytes the source
// recordings hold for the package's range.

#include <string>
#include <vector>

#include "evidence/package_manifest.h"

namespace evidence {

// Each clip holds one video stream per camera of `package`, in camera order;
// the clips are segments, one after the other. `clipPaths` and `sourcePaths`
// are where the clips and the sources are now (same order as in `package`).
// For every camera the clips' frames, all segments in a row, must be a run of
// the camera's source frames that starts at the range's start (within two
// seconds, since the extractor counts frame durations) — byte for byte.
// Returns one line per mismatch ("CLIP: camera N frame K differs from
// SOURCE frame J"); at most a few per camera, then a count. `frames` gets the
// number of clip frames compared.
std::vector<std::string> CheckClipFrames(const PackageDescription& package,
                                         const std::vector<std::string>& clipPaths,
                                         const std::vector<std::string>& sourcePaths, int64_t& frames);

}  // namespace evidence
