#pragma once

// The exported frame as the encoder takes it: planar 4:2:0 (Y, then U, then
// V), BT.709 limited range. The export's cameras are drawn in BGRx and
// converted here cell by cell, on the camera's own worker, so the pipeline
// needs no converter of the whole frame.

#include <array>
#include <cstddef>
#include <cstdint>

namespace video_export {

struct I420Layout {
  int width = 0, height = 0;
  std::array<std::size_t, 3> offset{};  // of the Y, U and V planes
  std::array<int, 3> stride{};
  std::size_t size = 0;
};

// GStreamer's default layout of an I420 frame: rows of 4-byte multiples,
// each plane after the other.
I420Layout DefaultI420Layout(int width, int height);

// Converts `width` × `height` BGRx pixels into the frame at (x, y), which
// must be even. Each chroma sample is the mean of its 2 × 2 pixels; an odd
// last column or row stands alone. Writes only the luma rows and columns of
// the rectangle and the chroma blocks it starts, so cells on even
// boundaries can be converted at once from several threads.
void BgrxToI420(const uint8_t* bgrx, int strideBytes, int width, int height, uint8_t* frame,
                const I420Layout& layout, int x, int y);

// Black (Y 16, U and V 128) over the rectangle, under the same rules.
void FillI420Black(uint8_t* frame, const I420Layout& layout, int x, int y, int width, int height);

}  // namespace video_export
