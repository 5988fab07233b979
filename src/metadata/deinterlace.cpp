#include "metadata/deinterlace.h"

#include <cstddef>

namespace {

inline uint8_t Average(int a, int c) {
  return uint8_t((a + c) >> 1);
}

// Absolute differences stay in bytes and the sums in 16 bits: narrow lanes
// let one SIMD instruction handle 8 or 16 bytes at a time.
inline uint8_t Adaptive(uint8_t a, uint8_t b, uint8_t c) {
  const uint8_t da = uint8_t((a > b ? a : b) - (a > b ? b : a));
  const uint8_t dc = uint8_t((c > b ? c : b) - (c > b ? b : c));
  const uint16_t outer = uint16_t(uint16_t(a) + uint16_t(c));
  const uint8_t blended = uint8_t(uint16_t(outer + 2 * uint16_t(b)) >> 2);
  const uint8_t averaged = uint8_t(outer >> 1);
  return (da < 20 || dc < 20) ? blended : averaged;
}

// The rows never overlap (restrict), and the body runs in blocks of exactly
// 16 bytes: GCC's -O2 cost model vectorises a loop of a fixed 16 iterations
// but not an open-ended one, and this pass must stay a small fraction of a
// frame's decode time.
constexpr std::size_t kBlock = 16;

void AverageRow(const uint8_t* __restrict above, uint8_t* __restrict row, const uint8_t* __restrict below,
                std::size_t bytes) {
  std::size_t i = 0;
  for (; i + kBlock <= bytes; i += kBlock)
    for (std::size_t j = 0; j < kBlock; ++j) row[i + j] = Average(above[i + j], below[i + j]);
  for (; i < bytes; ++i) row[i] = Average(above[i], below[i]);
}

void AdaptiveRow(const uint8_t* __restrict above, uint8_t* __restrict row, const uint8_t* __restrict below,
                 std::size_t bytes) {
  std::size_t i = 0;
  for (; i + kBlock <= bytes; i += kBlock)
    for (std::size_t j = 0; j < kBlock; ++j) row[i + j] = Adaptive(above[i + j], row[i + j], below[i + j]);
  for (; i < bytes; ++i) row[i] = Adaptive(above[i], row[i], below[i]);
}

}  // namespace

void FastDeinterlaceFrame(uint8_t* frame, int width, int height, bool fast) {
  if (frame == nullptr || width <= 0 || height < 3) return;
  const std::size_t stride = std::size_t(width) * 4;
  // First top-down row whose bottom-up index is odd and that has a row on each side.
  const int first = (height % 2 == 0) ? 2 : 1;
  for (int t = first; t <= height - 2; t += 2) {
    uint8_t* row = frame + std::size_t(t) * stride;
    if (fast)
      AverageRow(row - stride, row, row + stride, stride);
    else
      AdaptiveRow(row - stride, row, row + stride, stride);
  }
}
