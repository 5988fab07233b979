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
// The range's frames are worked out as the extractor works them out (from
// the source it starts in, at that file's frame rate, avi/frame_timing.h);
// for every camera clip frame k, all segments in a row, must be the bytes of
// range frame k, and the clips together must hold exactly the range's frames.
// Returns one line per finding, each naming the clip, the camera and the
// frame: a frame that differs from its source frame (at most a few per
// camera, then a count; two swapped frames are two lines), a clip that
// starts late or early, range frames in no clip (a missing segment, named
// by its file too when the segments' numbers skip it), clip frames outside
// the range, and the frame counts when they differ. `frames` gets the
// number of clip frames compared with a source frame.
std::vector<std::string> CheckClipFrames(const PackageDescription& package,
                                         const std::vector<std::string>& clipPaths,
                                         const std::vector<std::string>& sourcePaths, int64_t& frames);

}  // namespace evidence
