#include "mulaw_tone.h"

#include <cmath>

namespace recgen {

double ToneFrequency(int camera) {
  return 400.0 * camera;
}

uint8_t LinearToMuLaw(int16_t sample) {
  constexpr int kBias = 0x84, kClip = 32635;
  int s = sample;
  const int sign = s < 0 ? 0x80 : 0;
  if (s < 0) s = -s;
  if (s > kClip) s = kClip;
  s += kBias;
  int exponent = 7;
  for (int mask = 0x4000; exponent > 0 && !(s & mask); mask >>= 1) --exponent;
  const int mantissa = (s >> (exponent + 3)) & 0x0F;
  return uint8_t(~(sign | exponent << 4 | mantissa));
}

std::vector<uint8_t> MuLawTone(int camera, int64_t first, int64_t count) {
  std::vector<uint8_t> out(std::size_t(count > 0 ? count : 0));
  const double step = 2.0 * 3.14159265358979323846 * ToneFrequency(camera) / kAudioRate;
  for (std::size_t i = 0; i < out.size(); ++i) {
    // Reduce the sample number over whole periods of the 8 kHz clock (every
    // tone here repeats after 20 samples) to keep the phase exact far out.
    const int64_t n = (first + int64_t(i)) % 8000;
    out[i] = LinearToMuLaw(int16_t(std::lround(16000.0 * std::sin(step * double(n)))));
  }
  return out;
}

int64_t AudioSampleOfFrame(double fps, int64_t globalFrame) {
  return int64_t(std::floor(double(globalFrame) * kAudioRate / fps + 1e-6));
}

}  // namespace recgen
