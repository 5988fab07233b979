#pragma once

// JPEG frames for the decoder tests, and libjpeg's own decode of them as
// the reference the BGRx decoder must match.

#include <cstdint>
#include <vector>

// A colourful width × height picture (gradients and a checker, so chroma
// upsampling and block edges show) encoded at quality 85, 4:2:0.
std::vector<uint8_t> TestJpeg(int width, int height);

// libjpeg's decode of `jpeg` as top-down BGRx rows of width × 4 bytes with
// the X byte zero; empty when libjpeg refuses it.
std::vector<uint8_t> ReferenceBgrx(const std::vector<uint8_t>& jpeg);

// `picture` (rows `strideBytes` apart) equals `reference` (packed rows) in
// the blue, green and red bytes of every pixel.
bool SameColours(const uint8_t* picture, int strideBytes, const std::vector<uint8_t>& reference, int width,
                 int height);
