#pragma once

#include <cstddef>
#include <cstdint>

// Mixes every stereo pair of interleaved signed 16-bit little-endian samples
// in place by the routing gains of a channel (percent, 0..100):
//  - both gains 0: silence;
//  - both gains > 0: each sample scaled by its gain when below 100, then
//    m = 2(a + b) − ab / 32768, saturated to the 16-bit range, into both;
//  - only one gain > 0: that side's sample, unscaled, into both.
// `bytes` need not be a multiple of 4: a trailing partial pair is left alone.
// The buffer needs no particular alignment.
void MixStereoPairs(uint8_t* samples, std::size_t bytes, int gainA, int gainB);
