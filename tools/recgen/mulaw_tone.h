#pragma once

// Test tones as the DVR stores audio: G.711 μ-law, 8,000 samples per second.
// Camera n sounds a sine of 400 × n Hz (400, 800, 1200, 1600) at half of full
// scale, so a listener or a test can tell the channels apart.

#include <cstdint>
#include <vector>

namespace recgen {

inline constexpr int kAudioRate = 8000;

double ToneFrequency(int camera);

// G.711 μ-law code of a 16-bit linear sample.
uint8_t LinearToMuLaw(int16_t sample);

// Samples [first, first + count) of camera `camera`'s tone, one byte each;
// the phase follows from the absolute sample number, so pieces join up.
std::vector<uint8_t> MuLawTone(int camera, int64_t first, int64_t count);

// Audio sample number at which global video frame g starts.
int64_t AudioSampleOfFrame(double fps, int64_t globalFrame);

}  // namespace recgen
