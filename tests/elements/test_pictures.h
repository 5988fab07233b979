#pragma once

// JPEG frames for the decoder tests, and libjpeg's own decode of them as
// the reference the BGRx decoder must match.

#include <cstdint>
#include <vector>

// A colourful width × height picture (colour gradients under a brightness
// checker, so block edges show) encoded at quality 85, 4:2:0.
std::vector<uint8_t> TestJpeg(int width, int height);

// libjpeg's decode of `jpeg` as top-down BGRx rows of width × 4 bytes with
// the X byte zero; empty when libjpeg refuses it.
std::vector<uint8_t> ReferenceBgrx(const std::vector<uint8_t>& jpeg);

// How close `picture` (rows `strideBytes` apart) comes to `reference`
// (packed rows) in the blue, green and red bytes: the peak signal-to-noise
// ratio in dB (99 when equal), and the largest difference of one byte. A
// size mismatch gives 0 dB and 255.
struct ColourDistance {
  double psnr;
  int maxDifference;
};
ColourDistance CompareColours(const uint8_t* picture, int strideBytes, const std::vector<uint8_t>& reference,
                              int width, int height);
// What the decoder's merged chroma upsampling may cost against libjpeg's
// default decode of the test pictures (at least 16 pixels wide); a wrong
// decode (swapped channels, shifted rows) falls far below.
inline constexpr double kMinDecodePsnr = 33.0;
inline constexpr int kMaxDecodeDifference = 24;
