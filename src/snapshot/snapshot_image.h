#pragma once

#include <cstdint>
#include <vector>

#include "snapshot/jpeg_file.h"

// Turns a TOP-DOWN frame of width × height pixels of 4 bytes (blue, green,
// red, ignored) into the packed RGB image a snapshot writes: 3 bytes per
// pixel (red, green, blue), top row first, no padding. With `doubleRows`
// (the half-height pictures of DVR kind 3) every row is emitted twice, so
// the image has 2 × height rows. Empty for a null frame or a size ≤ 0.
std::vector<uint8_t> BuildSnapshotImage(const uint8_t* frame, int width, int height, bool doubleRows);

// The `cropWidth` × `cropHeight` pixels at (left, top) of a packed RGB image
// of width × height (3 bytes a pixel, no padding), as a packed RGB image of
// their own: the same bytes, nothing resampled. Empty when the area is empty
// or does not lie inside the image.
std::vector<uint8_t> CropSnapshotImage(const std::vector<uint8_t>& image, int width, int height, int left,
                                       int top, int cropWidth, int cropHeight);
