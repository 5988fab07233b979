#include "frame_mark.h"

#include <cstring>

namespace recgen {
namespace {

constexpr int kDataBits = 20;
constexpr int kSquares = 2 + kDataBits + 4;

struct MarkGeometry {
  int square, x0, y0;
};

bool Geometry(int width, int height, MarkGeometry& g) {
  g.square = width >= 640 ? 16 : 8;
  if (width < kSquares * g.square || height < 4 * g.square) return false;
  g.x0 = (width - kSquares * g.square) / 2 / g.square * g.square;
  g.y0 = (height / 2 - g.square / 2) / g.square * g.square;
  return true;
}

uint32_t Check(uint32_t value) {
  uint32_t sum = 0;
  for (int i = 0; i < kDataBits; i += 4) sum += (value >> i) & 0xF;
  return (sum ^ 5u) & 0xF;
}

// Bit i (0 = leftmost square) of the mark for `value`.
bool MarkBit(uint32_t value, int i) {
  if (i == 0) return true;
  if (i == 1) return false;
  if (i < 2 + kDataBits) return (value >> (kDataBits - 1 - (i - 2))) & 1;
  return (Check(value) >> (3 - (i - 2 - kDataBits))) & 1;
}

}  // namespace

void DrawFrameNumber(uint8_t* rgb, int width, int height, int strideBytes, int64_t frame) {
  MarkGeometry g;
  if (!rgb || !Geometry(width, height, g)) return;
  const uint32_t value = uint32_t(frame) & uint32_t(kMaxMarkedFrame);
  for (int i = 0; i < kSquares; ++i) {
    const uint8_t level = MarkBit(value, i) ? 255 : 0;
    for (int y = g.y0; y < g.y0 + g.square; ++y)
      std::memset(rgb + std::size_t(y) * std::size_t(strideBytes) + std::size_t(g.x0 + i * g.square) * 3,
                  level, std::size_t(g.square) * 3);
  }
}

int64_t DecodeFrameNumber(const uint8_t* bgrx, int width, int height, int strideBytes) {
  MarkGeometry g;
  if (!bgrx || strideBytes < width * 4 || !Geometry(width, height, g)) return -1;
  uint32_t value = 0, check = 0;
  for (int i = 0; i < kSquares; ++i) {
    // Average the middle half of the square, away from the edges JPEG blurs.
    const int quarter = g.square / 4;
    int sum = 0, count = 0;
    for (int y = g.y0 + quarter; y < g.y0 + g.square - quarter; ++y) {
      const uint8_t* row = bgrx + std::size_t(y) * std::size_t(strideBytes);
      for (int x = g.x0 + i * g.square + quarter; x < g.x0 + (i + 1) * g.square - quarter; ++x) {
        const uint8_t* p = row + std::size_t(x) * 4;
        sum += (p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8;
        ++count;
      }
    }
    const int luma = sum / count;
    if (luma > 64 && luma < 192) return -1;
    const bool bit = luma >= 192;
    if (i < 2) {
      if (bit != (i == 0)) return -1;
    } else if (i < 2 + kDataBits) {
      value = value << 1 | uint32_t(bit);
    } else {
      check = check << 1 | uint32_t(bit);
    }
  }
  return check == Check(value) ? int64_t(value) : -1;
}

}  // namespace recgen
