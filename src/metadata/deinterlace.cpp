#include "metadata/deinterlace.h"

#include <cstddef>

#include "base/wide_vectors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Both rules in bytes, without branches or wider sums:
//   (a + c) / 2 rounded down is the rounded-up average less the lost half;
//   (a + 2b + c) / 4 rounded down equals ((a + c) / 2 + b) / 2 with both
//   halvings rounded down (the half dropped first never carries).
// So the rows go through 16 bytes per instruction with the scalar results.
inline uint8_t HalfSum(uint8_t a, uint8_t c) {
  return uint8_t((unsigned(a) + unsigned(c)) >> 1);
}

inline uint8_t Adaptive(uint8_t a, uint8_t b, uint8_t c) {
  const uint8_t da = uint8_t(a > b ? a - b : b - a);
  const uint8_t dc = uint8_t(c > b ? c - b : b - c);
  const uint8_t averaged = HalfSum(a, c);
  return (da < 20 || dc < 20) ? HalfSum(averaged, b) : averaged;
}

#if defined(__SSE2__)
inline __m128i HalfSum(__m128i a, __m128i c) {
  const __m128i lostHalf = _mm_and_si128(_mm_xor_si128(a, c), _mm_set1_epi8(1));
  return _mm_sub_epi8(_mm_avg_epu8(a, c), lostHalf);
}

// The blend is HalfSum(averaged, b) where a neighbour is close and
// HalfSum(averaged, averaged) = averaged where none is, so one HalfSum of
// a selected operand does both.
inline __m128i Adaptive(__m128i a, __m128i b, __m128i c) {
  const __m128i da = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
  const __m128i dc = _mm_or_si128(_mm_subs_epu8(c, b), _mm_subs_epu8(b, c));
  const __m128i nearest = _mm_min_epu8(da, dc);
  // nearest < 20 ⇔ min(nearest, 19) = nearest.
  const __m128i close = _mm_cmpeq_epi8(_mm_min_epu8(nearest, _mm_set1_epi8(19)), nearest);
  const __m128i averaged = HalfSum(a, c);
  const __m128i operand = _mm_or_si128(_mm_and_si128(close, b), _mm_andnot_si128(close, averaged));
  return HalfSum(averaged, operand);
}
#endif

template <bool kFast>
void RebuildRowFrom(const uint8_t* __restrict above, uint8_t* __restrict row, const uint8_t* __restrict below,
                    std::size_t i, std::size_t bytes) {
#if defined(__SSE2__)
  for (; i + 16 <= bytes; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(below + i));
    __m128i* out = reinterpret_cast<__m128i*>(row + i);
    if constexpr (kFast) {
      _mm_storeu_si128(out, HalfSum(a, c));
    } else {
      _mm_storeu_si128(out, Adaptive(a, _mm_loadu_si128(out), c));
    }
  }
#endif
  for (; i < bytes; ++i) row[i] = kFast ? HalfSum(above[i], below[i]) : Adaptive(above[i], row[i], below[i]);
}

#if defined(QMX_HAVE_AVX2_PATH)
// The same rules 32 bytes at a time, on processors that have AVX2 (chosen
// at run time, so the program still runs on any x86-64).
__attribute__((target("avx2"))) inline __m256i HalfSum256(__m256i a, __m256i c) {
  const __m256i lostHalf = _mm256_and_si256(_mm256_xor_si256(a, c), _mm256_set1_epi8(1));
  return _mm256_sub_epi8(_mm256_avg_epu8(a, c), lostHalf);
}

__attribute__((target("avx2"))) inline __m256i Adaptive256(__m256i a, __m256i b, __m256i c) {
  const __m256i da = _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
  const __m256i dc = _mm256_or_si256(_mm256_subs_epu8(c, b), _mm256_subs_epu8(b, c));
  const __m256i nearest = _mm256_min_epu8(da, dc);
  const __m256i close = _mm256_cmpeq_epi8(_mm256_min_epu8(nearest, _mm256_set1_epi8(19)), nearest);
  const __m256i averaged = HalfSum256(a, c);
  return HalfSum256(averaged, _mm256_blendv_epi8(averaged, b, close));
}

template <bool kFast>
__attribute__((target("avx2"))) void RebuildRowAvx2(const uint8_t* __restrict above, uint8_t* __restrict row,
                                                    const uint8_t* __restrict below, std::size_t bytes) {
  std::size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(above + i));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + i));
    __m256i* out = reinterpret_cast<__m256i*>(row + i);
    if constexpr (kFast) {
      _mm256_storeu_si256(out, HalfSum256(a, c));
    } else {
      _mm256_storeu_si256(out, Adaptive256(a, _mm256_loadu_si256(out), c));
    }
  }
  RebuildRowFrom<kFast>(above, row, below, i, bytes);
}

#endif

WideVectorSwitch& WideVectors() {
  static WideVectorSwitch wide;
  return wide;
}

template <bool kFast>
void RebuildRow(const uint8_t* __restrict above, uint8_t* __restrict row, const uint8_t* __restrict below,
                std::size_t bytes) {
#if defined(QMX_HAVE_AVX2_PATH)
  if (WideVectors().On()) return RebuildRowAvx2<kFast>(above, row, below, bytes);
#endif
  RebuildRowFrom<kFast>(above, row, below, 0, bytes);
}

}  // namespace

void DeinterlaceRows(uint8_t* frame, int width, int height, std::size_t strideBytes, int firstRow, int endRow,
                     bool fast) {
  if (frame == nullptr || width <= 0 || height < 3 || strideBytes < std::size_t(width) * 4) return;
  const std::size_t bytes = std::size_t(width) * 4;
  // The first top-down row whose bottom-up index is odd and that has a row
  // on each side, then every second row from there.
  const int first = FirstDeinterlacedRow(height);
  int t = firstRow <= first ? first : firstRow + ((firstRow - first) & 1);
  const int last = (endRow < height ? endRow : height) - 2;
  for (; t <= last; t += 2) {
    uint8_t* row = frame + std::size_t(t) * strideBytes;
    if (fast)
      RebuildRow<true>(row - strideBytes, row, row + strideBytes, bytes);
    else
      RebuildRow<false>(row - strideBytes, row, row + strideBytes, bytes);
  }
}

void FastDeinterlaceFrame(uint8_t* frame, int width, int height, bool fast) {
  if (width <= 0) return;
  DeinterlaceRows(frame, width, height, std::size_t(width) * 4, 0, height, fast);
}

bool DeinterlaceWithWideVectors(bool on) {
  return WideVectors().Set(on);
}
