#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

// Peak signal-to-noise ratio of two byte images of n bytes, in dB; 99 for
// identical images.
inline double Psnr(const uint8_t* a, const uint8_t* b, std::size_t n) {
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / (sum / n));
}
