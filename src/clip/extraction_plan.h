#pragma once

// The arithmetic of an extraction, shared by the dialog, the headless
// extractor and the worker: segments of at most 20 minutes, their output
// names, the files a range needs, positions as text.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "clip/clip_extraction.h"

namespace clip {

inline constexpr double kSegmentSeconds = 1200;

// "%d:%02d:%02d" of a position in hundredths of a second: 0 -> "0:00:00",
// 6000 -> "0:01:00", 360000 -> "1:00:00". Negative positions count as 0.
std::string FormatPosition(int64_t centis);

// The planned number of segments: truncation of (seconds / 1200 + 1); a
// range of exactly 1200 s plans 2 and writes one.
int SegmentCount(double seconds);

// The length of each segment of a range, in order: 1200 s pieces and the rest.
std::vector<double> SegmentLengths(double seconds);

// The output of segment `number` (1-based): the destination as typed when
// the range is one segment, otherwise the destination without its last four
// characters followed by "-%03d.avi".
std::string SegmentOutputName(const std::string& destination, int number, bool severalSegments);

// The files a range needs: from the first file whose end lies after the
// start, up to and including the first file whose end reaches the end.
// Empty when no file ends after the start.
std::vector<ClipSourceFile> FilesForRange(const std::vector<ClipSourceFile>& files, int64_t startCentis,
                                          int64_t endCentis);

// Whether camera `camera` (0..3) is offered: on a four-channel recording
// when the first file has a video stream of that camera (CamerasWithVideo),
// otherwise only camera 0 (a two-channel recording's pictures share one
// stream).
bool CameraOffered(bool fourChannel, const std::array<bool, 4>& firstFileCameras, int camera);

// Extract is possible when a camera is chosen, both positions are marked
// (not -1) and a destination is given; start and end are not compared.
bool ExtractPossible(const std::array<bool, 4>& cameras, int64_t startCentis, int64_t endCentis,
                     const std::string& destination);

// Overall progress 0..1 of an extraction of `segments` segments, each made of
// `stepsPerSegment` steps (one per camera and the joining), while step
// `step` (0-based) of segment `segment` (0-based) is `fraction` done.
double OverallProgress(int segment, int segments, int step, int stepsPerSegment, double fraction);

}  // namespace clip
