#include "snapshot/bgrx_scaler.h"

#include <algorithm>
#include <cstring>

#include "base/wide_vectors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// ((128 - w) × a + w × b + 64) / 128 rounded down: the blend of two samples
// (C++20 shifts negative values arithmetically; every path gives this).
inline uint8_t Blend(uint8_t a, uint8_t b, int w) {
  return uint8_t(a + (((int(b) - int(a)) * w + 64) >> 7));
}

// Output pixels [x, width) of a row, one byte at a time.
void SampleColumnsFrom(const uint8_t* blended, const int* columns, const uint8_t* weights, int x, int width,
                       uint8_t* out) {
  for (; x < width; ++x) {
    const uint8_t* p = blended + std::size_t(columns[x]) * 4;
    for (int k = 0; k < 4; ++k)
      out[std::size_t(x) * 4 + std::size_t(k)] = Blend(p[k], p[k + 4], weights[x * 8 + 1]);
  }
}

#if defined(__SSE2__)
// The same on eight 16-bit lanes.
inline __m128i Blend16(__m128i a, __m128i b, __m128i w) {
  const __m128i d = _mm_mullo_epi16(_mm_sub_epi16(b, a), w);
  return _mm_add_epi16(a, _mm_srai_epi16(_mm_add_epi16(d, _mm_set1_epi16(64)), 7));
}

void BlendRowsSse2(const uint8_t* a, const uint8_t* b, int w, uint8_t* out, std::size_t bytes) {
  std::size_t i = 0;
  const __m128i zero = _mm_setzero_si128(), weight = _mm_set1_epi16(int16_t(w));
  for (; i + 16 <= bytes; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i lo = Blend16(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero), weight);
    const __m128i hi = Blend16(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero), weight);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
  for (; i < bytes; ++i) out[i] = Blend(a[i], b[i], w);
}

void SampleColumnsSse2(const uint8_t* blended, const int* columns, const uint8_t* weights, int width,
                       uint8_t* out) {
  int x = 0;
  const __m128i zero = _mm_setzero_si128();
  // Two output pixels a register: each one's two samples, then their
  // weights, on 16-bit lanes.
  auto pair = [&](int i) {
    const __m128i s0 = _mm_unpacklo_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(blended + std::size_t(columns[i]) * 4)), zero);
    const __m128i s1 = _mm_unpacklo_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(blended + std::size_t(columns[i + 1]) * 4)), zero);
    const __m128i w = _mm_unpacklo_epi64(_mm_set1_epi16(weights[std::size_t(i) * 8 + 1]),
                                         _mm_set1_epi16(weights[std::size_t(i) * 8 + 9]));
    return Blend16(_mm_unpacklo_epi64(s0, s1), _mm_unpackhi_epi64(s0, s1), w);
  };
  for (; x + 4 <= width; x += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + std::size_t(x) * 4),
                     _mm_packus_epi16(pair(x), pair(x + 2)));
  SampleColumnsFrom(blended, columns, weights, x, width, out);
}
#endif

#if defined(QMX_HAVE_AVX2_PATH)
// With AVX2, byte multiplies: the weights (128 - w, w) are the unsigned
// operand and the samples, less 128, the signed one, so
// (128 - w)(a - 128) + w(b - 128) + 128 × 128 is the blend's sum exactly,
// and the whole thing runs in the AVX encoding (after the decoder's own AVX
// code, the older encoding runs at less than half the speed).
__attribute__((target("avx2"))) inline __m256i Finish256(__m256i sums) {
  return _mm256_srli_epi16(_mm256_add_epi16(sums, _mm256_set1_epi16(128 * 128 + 64)), 7);
}
__attribute__((target("avx2"))) inline __m128i Finish128(__m128i sums) {
  return _mm_srli_epi16(_mm_add_epi16(sums, _mm_set1_epi16(128 * 128 + 64)), 7);
}

__attribute__((target("avx2"))) void BlendRowsAvx2(const uint8_t* a, const uint8_t* b, int w, uint8_t* out,
                                                   std::size_t bytes) {
  std::size_t i = 0;
  const __m256i weights = _mm256_set1_epi16(int16_t((w << 8) | (128 - w)));
  const __m256i bias = _mm256_set1_epi8(char(0x80));
  for (; i + 32 <= bytes; i += 32) {
    const __m256i x = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)), bias);
    const __m256i y = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i)), bias);
    // Unpacked and packed again within each 128-bit half: the order holds.
    const __m256i lo = Finish256(_mm256_maddubs_epi16(weights, _mm256_unpacklo_epi8(x, y)));
    const __m256i hi = Finish256(_mm256_maddubs_epi16(weights, _mm256_unpackhi_epi8(x, y)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
  }
  for (; i < bytes; ++i) out[i] = Blend(a[i], b[i], w);
}

// Two output pixels: both samples of each, b g r x b g r x, as
// b b g g r r x x, weighted.
__attribute__((target("avx2"))) inline __m128i SamplePairAvx2(const uint8_t* blended, const int* columns,
                                                              const uint8_t* weights, int i) {
  const __m128i interleave = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
  const __m128i s = _mm_castpd_si128(_mm_loadh_pd(
      _mm_castsi128_pd(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(blended + std::size_t(columns[i]) * 4))),
      reinterpret_cast<const double*>(blended + std::size_t(columns[i + 1]) * 4)));
  const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + std::size_t(i) * 8));
  return Finish128(
      _mm_maddubs_epi16(w, _mm_xor_si128(_mm_shuffle_epi8(s, interleave), _mm_set1_epi8(char(0x80)))));
}

__attribute__((target("avx2"))) void SampleColumnsAvx2(const uint8_t* blended, const int* columns,
                                                       const uint8_t* weights, int width, uint8_t* out) {
  int x = 0;
  auto pair = [&](int i) { return SamplePairAvx2(blended, columns, weights, i); };
  for (; x + 4 <= width; x += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + std::size_t(x) * 4),
                     _mm_packus_epi16(pair(x), pair(x + 2)));
  SampleColumnsFrom(blended, columns, weights, x, width, out);
}

#endif

WideVectorSwitch& WideVectors() {
  static WideVectorSwitch wide;
  return wide;
}

void BlendRows(const uint8_t* a, const uint8_t* b, int w, uint8_t* out, std::size_t bytes) {
#if defined(QMX_HAVE_AVX2_PATH)
  if (WideVectors().On()) return BlendRowsAvx2(a, b, w, out, bytes);
#endif
#if defined(__SSE2__)
  BlendRowsSse2(a, b, w, out, bytes);
#else
  for (std::size_t i = 0; i < bytes; ++i) out[i] = Blend(a[i], b[i], w);
#endif
}

void SampleColumns(const uint8_t* blended, const int* columns, const uint8_t* weights, int width,
                   uint8_t* out) {
#if defined(QMX_HAVE_AVX2_PATH)
  if (WideVectors().On()) return SampleColumnsAvx2(blended, columns, weights, width, out);
#endif
#if defined(__SSE2__)
  SampleColumnsSse2(blended, columns, weights, width, out);
#else
  SampleColumnsFrom(blended, columns, weights, 0, width, out);
#endif
}

}  // namespace

std::vector<BgrxScaler::Tap> BgrxScaler::Taps(int source, int size) {
  std::vector<Tap> taps(static_cast<std::size_t>(size));
  // Output centre i + 1/2 sits at source position (i + 1/2) × source / size,
  // between the centres of samples first and first + 1: in units of
  // 1 / (2 × size), at (2i + 1) × source − size.
  const long long unit = 2LL * size;
  for (int i = 0; i < size; ++i) {
    const long long at = (2LL * i + 1) * source - size;
    Tap& t = taps[std::size_t(i)];
    if (at > 0) {  // before the first centre: the first sample
      t.first = int(at / unit);
      int w = int(((at % unit) * 128 + unit / 2) / unit);
      if (w == 128) ++t.first, w = 0;
      if (t.first >= source - 1) t.first = source - 1, w = 0;
      t.weight = uint8_t(w);
    }
    t.second = std::min(t.first + 1, source - 1);
  }
  return taps;
}

bool BgrxScaler::Configure(int sourceWidth, int sourceHeight, int width, int height, int firstRebuiltRow) {
  if (sourceWidth == sourceWidth_ && sourceHeight == sourceHeight_ && width == width_ && height == height_ &&
      firstRebuiltRow == firstRebuiltRow_ && width_ > 0) {
    nextRow_ = 0;
    return true;
  }
  sourceWidth_ = sourceHeight_ = width_ = height_ = 0;
  if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0 || width > sourceWidth ||
      height > sourceHeight)
    return false;
  rows_ = Taps(sourceHeight, height);
  if (firstRebuiltRow >= 0) {
    auto rebuilt = [&](int r) {
      return r >= firstRebuiltRow && r <= sourceHeight - 2 && (r - firstRebuiltRow) % 2 == 0;
    };
    for (Tap& t : rows_) {
      // (1 - w) D[r] + w D[r + 1], with a rebuilt row D[r] = (F[r - 1] +
      // F[r + 1]) / 2 written out over the rows kept.
      const int w = t.weight;
      if (rebuilt(t.first)) {
        t.second = t.first + 1;
        t.first -= 1;
        t.weight = uint8_t((128 + w + 1) / 2);
      } else if (t.second != t.first && rebuilt(t.second)) {
        t.second = t.first + 2;
        t.weight = uint8_t((w + 1) / 2);
      }
    }
  }
  std::vector<Tap> columns = Taps(sourceWidth, width);
  columns_.resize(std::size_t(width));
  weights_.resize(std::size_t(width) * 8);
  for (int x = 0; x < width; ++x) {
    columns_[std::size_t(x)] = columns[std::size_t(x)].first;
    for (int k = 0; k < 4; ++k) {
      weights_[std::size_t(x) * 8 + std::size_t(k) * 2] = uint8_t(128 - columns[std::size_t(x)].weight);
      weights_[std::size_t(x) * 8 + std::size_t(k) * 2 + 1] = columns[std::size_t(x)].weight;
    }
  }
  // One pixel more than a row: the last column's second sample (weight 0)
  // is read without a test.
  blended_.assign(std::size_t(sourceWidth + 1) * 4, 0);
  sourceWidth_ = sourceWidth;
  sourceHeight_ = sourceHeight;
  width_ = width;
  height_ = height;
  firstRebuiltRow_ = firstRebuiltRow;
  nextRow_ = 0;
  return true;
}

int BgrxScaler::Feed(const uint8_t* source, std::size_t sourceStride, int rowsReady, uint8_t* target,
                     std::size_t targetStride) {
  const std::size_t rowBytes = std::size_t(sourceWidth_) * 4;
  for (; nextRow_ < height_; ++nextRow_) {
    const Tap& r = rows_[std::size_t(nextRow_)];
    if (r.second >= rowsReady) break;
    uint8_t* blended = blended_.data();
    const uint8_t* a = source + std::size_t(r.first) * sourceStride;
    if (r.weight == 0)
      std::memcpy(blended, a, rowBytes);
    else
      BlendRows(a, source + std::size_t(r.second) * sourceStride, r.weight, blended, rowBytes);
    std::memcpy(blended + rowBytes, blended + rowBytes - 4, 4);
    SampleColumns(blended, columns_.data(), weights_.data(), width_,
                  target + std::size_t(nextRow_) * targetStride);
  }
  return nextRow_;
}

bool BgrxScalerWithWideVectors(bool on) {
  return WideVectors().Set(on);
}
