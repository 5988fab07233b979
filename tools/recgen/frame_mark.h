#pragma once

// The global frame number as a row of black and white squares that survives
// JPEG coding, placed mid-picture where the player's text lines (top ~50 and
// bottom ~30 rows) never cover it.
//
// A row of 26 squares: white, black (the start pattern), the 20-bit frame
// number most significant bit first, then a 4-bit check (sum of the number's
// five nibbles, XOR 5). White is a 1. Squares are 16 pixels in pictures 640 or
// more wide and 8 pixels otherwise; the row is centred horizontally and sits
// on the middle row of the picture, both aligned to the square size so every
// square covers whole JPEG blocks.

#include <cstdint>

namespace recgen {

inline constexpr int64_t kMaxMarkedFrame = (1 << 20) - 1;

// Draws frame number `frame` (taken modulo 2^20) into a top-down RGB picture.
void DrawFrameNumber(uint8_t* rgb, int width, int height, int strideBytes, int64_t frame);

// Reads the number back from a decoded top-down BGRx picture (4 bytes per
// pixel, B first) of the same camera picture size. -1 when the picture is too
// small, a square is neither clearly black nor white, or the check fails.
// For the two-channel kinds pass one camera's picture: kind 2 stacks camera 1
// (rows 0..239) over camera 2 (rows 240..479); kind 3 puts camera 1 in
// columns 0..319 and camera 2 in columns 320..639.
int64_t DecodeFrameNumber(const uint8_t* bgrx, int width, int height, int strideBytes);

}  // namespace recgen

// The name other code uses without the namespace.
using recgen::DecodeFrameNumber;
