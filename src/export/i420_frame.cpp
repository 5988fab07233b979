#include "export/i420_frame.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace video_export {
namespace {

// BT.709 limited range in 16-bit fractions: 219 luma and 224 chroma levels.
constexpr int kYr = 11966, kYg = 40254, kYb = 4064;
constexpr int kUr = -6596, kUg = -22189, kUb = 28784;
constexpr int kVr = 28784, kVg = -26145, kVb = -2639;

inline uint8_t Luma(const uint8_t* p) {
  return uint8_t(16 + ((kYr * p[2] + kYg * p[1] + kYb * p[0] + 32768) >> 16));
}

// From the sums of the red, green and blue of four pixels.
inline uint8_t Blue(int red, int green, int blue) {
  return uint8_t(128 + ((kUr * red + kUg * green + kUb * blue + 131072) >> 18));
}
inline uint8_t Red(int red, int green, int blue) {
  return uint8_t(128 + ((kVr * red + kVg * green + kVb * blue + 131072) >> 18));
}

// Pixels [from, width) of a row pair, one at a time.
void RowPairScalar(const uint8_t* top, const uint8_t* bottom, int from, int width, uint8_t* yTop,
                   uint8_t* yBottom, uint8_t* u, uint8_t* v) {
  for (int x = from; x < width; ++x) {
    yTop[x] = Luma(top + x * 4);
    if (yBottom) yBottom[x] = Luma(bottom + x * 4);
  }
  for (int x = from; x < width; x += 2) {
    const uint8_t* a = top + x * 4;
    const uint8_t* b = bottom + x * 4;
    // A lone last column counts twice.
    const uint8_t* c = x + 1 < width ? a + 4 : a;
    const uint8_t* d = x + 1 < width ? b + 4 : b;
    const int blue = a[0] + b[0] + c[0] + d[0], green = a[1] + b[1] + c[1] + d[1],
              red = a[2] + b[2] + c[2] + d[2];
    u[x / 2] = Blue(red, green, blue);
    v[x / 2] = Red(red, green, blue);
  }
}

// The same arithmetic in 32-bit lanes, 16 pixels of a row pair at a time.
__attribute__((target("avx2"))) inline __m256i Channel(__m256i pixels, int shift) {
  return _mm256_and_si256(_mm256_srli_epi32(pixels, shift), _mm256_set1_epi32(0xFF));
}

__attribute__((target("avx2"))) inline __m256i Weighted(__m256i r, __m256i g, __m256i b, int cr, int cg,
                                                        int cb, int round, int shift) {
  __m256i sum = _mm256_add_epi32(_mm256_mullo_epi32(r, _mm256_set1_epi32(cr)),
                                 _mm256_mullo_epi32(g, _mm256_set1_epi32(cg)));
  sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(b, _mm256_set1_epi32(cb)));
  return _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(round)), shift);
}

// 16 values of two vectors, each plus `offset`, saturated to bytes.
__attribute__((target("avx2"))) inline void Store16(uint8_t* to, __m256i a, __m256i b, int offset) {
  const __m256i base = _mm256_set1_epi32(offset);
  __m256i words = _mm256_packs_epi32(_mm256_add_epi32(a, base), _mm256_add_epi32(b, base));
  words = _mm256_permute4x64_epi64(words, 0xD8);
  __m256i bytes = _mm256_packus_epi16(words, _mm256_setzero_si256());
  bytes = _mm256_permute4x64_epi64(bytes, 0xD8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(bytes));
}

// 8 values plus 128, saturated to bytes.
__attribute__((target("avx2"))) inline void Store8(uint8_t* to, __m256i a) {
  const __m256i words =
      _mm256_packs_epi32(_mm256_add_epi32(a, _mm256_set1_epi32(128)), _mm256_setzero_si256());
  const __m256i bytes = _mm256_packus_epi16(words, _mm256_setzero_si256());
  const uint32_t low = uint32_t(_mm256_extract_epi32(bytes, 0)),
                 high = uint32_t(_mm256_extract_epi32(bytes, 4));
  std::memcpy(to, &low, 4);
  std::memcpy(to + 4, &high, 4);
}

// Returns the pixels done, a multiple of 16.
__attribute__((target("avx2"))) int RowPairAvx2(const uint8_t* top, const uint8_t* bottom, int width,
                                                uint8_t* yTop, uint8_t* yBottom, uint8_t* u, uint8_t* v) {
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    __m256i luma[2][2], pairs[3][2];  // [row][half], [channel][half]
    for (int half = 0; half < 2; ++half) {
      const __m256i rows[2] = {
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + (x + half * 8) * 4)),
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + (x + half * 8) * 4))};
      __m256i column[3] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
      for (int row = 0; row < 2; ++row) {
        const __m256i r = Channel(rows[row], 16), g = Channel(rows[row], 8), b = Channel(rows[row], 0);
        luma[row][half] = Weighted(r, g, b, kYr, kYg, kYb, 32768, 16);
        column[0] = _mm256_add_epi32(column[0], r);
        column[1] = _mm256_add_epi32(column[1], g);
        column[2] = _mm256_add_epi32(column[2], b);
      }
      for (int k = 0; k < 3; ++k) pairs[k][half] = column[k];
    }
    Store16(yTop + x, luma[0][0], luma[0][1], 16);
    if (yBottom) Store16(yBottom + x, luma[1][0], luma[1][1], 16);
    // Adjacent columns summed: the lanes come out as 0 1 4 5 | 2 3 6 7.
    __m256i sums[3];
    for (int k = 0; k < 3; ++k)
      sums[k] = _mm256_permute4x64_epi64(_mm256_hadd_epi32(pairs[k][0], pairs[k][1]), 0xD8);
    Store8(u + x / 2, Weighted(sums[0], sums[1], sums[2], kUr, kUg, kUb, 131072, 18));
    Store8(v + x / 2, Weighted(sums[0], sums[1], sums[2], kVr, kVg, kVb, 131072, 18));
  }
  return x;
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

int RoundUp4(int n) {
  return (n + 3) & ~3;
}

}  // namespace

I420Layout DefaultI420Layout(int width, int height) {
  I420Layout l;
  l.width = width;
  l.height = height;
  const int chromaWidth = (width + 1) / 2, chromaRows = (height + 1) / 2;
  l.stride = {RoundUp4(width), RoundUp4(chromaWidth), RoundUp4(chromaWidth)};
  l.offset[0] = 0;
  l.offset[1] = std::size_t(l.stride[0]) * std::size_t(chromaRows * 2);
  l.offset[2] = l.offset[1] + std::size_t(l.stride[1]) * std::size_t(chromaRows);
  l.size = l.offset[2] + std::size_t(l.stride[2]) * std::size_t(chromaRows);
  return l;
}

void BgrxToI420(const uint8_t* bgrx, int strideBytes, int width, int height, uint8_t* frame,
                const I420Layout& layout, int x, int y) {
  width = std::min(width, layout.width - x);
  height = std::min(height, layout.height - y);
  if (width <= 0 || height <= 0 || x < 0 || y < 0) return;
  const bool avx2 = HasAvx2();
  for (int row = 0; row < height; row += 2) {
    const uint8_t* top = bgrx + std::size_t(row) * std::size_t(strideBytes);
    // A lone last row counts twice in its chroma and has no second luma row.
    const bool pair = row + 1 < height;
    const uint8_t* bottom = pair ? top + strideBytes : top;
    uint8_t* yTop =
        frame + layout.offset[0] + std::size_t(y + row) * std::size_t(layout.stride[0]) + std::size_t(x);
    uint8_t* yBottom = pair ? yTop + layout.stride[0] : nullptr;
    const std::size_t chromaRow = std::size_t((y + row) / 2);
    uint8_t* u = frame + layout.offset[1] + chromaRow * std::size_t(layout.stride[1]) + std::size_t(x / 2);
    uint8_t* v = frame + layout.offset[2] + chromaRow * std::size_t(layout.stride[2]) + std::size_t(x / 2);
    const int done = avx2 ? RowPairAvx2(top, bottom, width, yTop, yBottom, u, v) : 0;
    RowPairScalar(top, bottom, done, width, yTop, yBottom, u, v);
  }
}

void FillI420Black(uint8_t* frame, const I420Layout& layout, int x, int y, int width, int height) {
  width = std::min(width, layout.width - x);
  height = std::min(height, layout.height - y);
  if (width <= 0 || height <= 0 || x < 0 || y < 0) return;
  for (int row = 0; row < height; ++row)
    std::memset(
        frame + layout.offset[0] + std::size_t(y + row) * std::size_t(layout.stride[0]) + std::size_t(x), 16,
        std::size_t(width));
  const int chromaWidth = (width + 1) / 2;
  for (int row = 0; row < height; row += 2)
    for (int plane = 1; plane < 3; ++plane)
      std::memset(frame + layout.offset[std::size_t(plane)] +
                      std::size_t((y + row) / 2) * std::size_t(layout.stride[std::size_t(plane)]) +
                      std::size_t(x / 2),
                  128, std::size_t(chromaWidth));
}

}  // namespace video_export
