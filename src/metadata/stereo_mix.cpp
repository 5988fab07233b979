#include "metadata/stereo_mix.h"

#include <algorithm>

namespace {

inline int ReadSample(const uint8_t* p) {
  return int16_t(uint16_t(p[0] | (p[1] << 8)));
}

inline void WriteSample(uint8_t* p, int v) {
  p[0] = uint8_t(v & 0xFF);
  p[1] = uint8_t((v >> 8) & 0xFF);
}

}  // namespace

void MixStereoPairs(uint8_t* samples, std::size_t bytes, int gainA, int gainB) {
  if (samples == nullptr) return;
  const bool useA = gainA > 0;
  const bool useB = gainB > 0;
  for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
    uint8_t* pair = samples + i;
    int a = ReadSample(pair);
    int b = ReadSample(pair + 2);
    int m = 0;
    if (useA && useB) {
      if (gainA < 100) a = int(gainA * 0.01 * a);
      if (gainB < 100) b = int(gainB * 0.01 * b);
      // Summing two loud channels overflows 16 bits; wrapping would turn
      // peaks into full-scale clicks, so the mix is clamped instead.
      m = std::clamp(2 * (a + b) - (a * b) / 32768, -32768, 32767);
    } else if (useA) {
      m = a;
    } else if (useB) {
      m = b;
    }
    WriteSample(pair, m);
    WriteSample(pair + 2, m);
  }
}
