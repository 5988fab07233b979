#pragma once

// The arithmetic of a video export: where each chosen camera sits in the
// picture, the caption line, which frames are shown and when.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace video_export {

enum class ExportLayout { kSingle, kQuad };

// One camera's picture in the exported frame, in pixels from the top left.
struct ExportCell {
  int camera = 0;  // 0..3
  int x = 0;
  int y = 0;
};

struct ExportGeometry {
  int width = 0;          // of the whole exported frame
  int height = 0;         // pictures plus the caption band
  int pictureHeight = 0;  // rows above the caption band
  std::vector<ExportCell> cells;
};

// Rows of the caption band below the pictures, for a font of `fontHeight`
// rows: the font and a margin, even so the frame stays 4:2:0.
int CaptionBandRows(int fontHeight);

// Single: the first chosen camera at its own size. Quad: a 2 × 2 grid of
// cells of the camera size, filled with the chosen cameras in order (the
// cells of cameras not chosen stay black). Both have the caption band
// below. Empty cells when no camera is chosen or the size is not positive;
// an odd width or height is rounded up to even with black, so every cell
// starts on an even pixel.
ExportGeometry PlanGeometry(ExportLayout layout, const std::array<bool, 4>& cameras, int cameraWidth,
                            int cameraHeight, int captionRows);

// "NAME  |  Camera 1, Camera 3  |  0:01:05 - 0:01:10": the recording's file
// name, the cameras shown and the range on the timeline.
std::string CaptionText(const std::string& recordingName, const std::vector<std::string>& cameraNames,
                        int64_t startCentis, int64_t endCentis);

// The exported stream's frame rate as a fraction, from the source stream's
// rate field as the clip walk reads it (R / 1000 below 100,000, else
// R / 1,000,000).
struct FrameRate {
  int numerator = 0;
  int denominator = 1;
};
FrameRate RateOfStream(uint32_t rateField);

// Presentation time of exported frame k in nanoseconds, and its duration,
// exact to the nanosecond so that k frames end where frame k begins.
uint64_t FrameTimeNs(int64_t frame, FrameRate rate);
uint64_t FrameDurationNs(int64_t frame, FrameRate rate);

// The export's length in frames: the longest camera walk, so every frame a
// chosen camera has in the range is shown once; a camera that ends sooner
// shows black.
int64_t ExportFrameCount(const std::vector<int64_t>& framesPerCamera);

}  // namespace video_export
