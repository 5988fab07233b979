#include "metadata/glyph_font.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

GlyphFont::GlyphFont(std::vector<Glyph> glyphs) : glyphs_(std::move(glyphs)) {
  glyphs_.resize(kGlyphCount);
  for (Glyph& g : glyphs_) {
    if (g.width <= 0 || g.height <= 0 || g.coverage.size() != std::size_t(g.width) * std::size_t(g.height))
      g = Glyph{};
    for (double& c : g.coverage) c = std::clamp(c, 0.0, 1.0);
    cellHeight_ = std::max(cellHeight_, g.height);
    Levels l;
    l.level.reserve(g.coverage.size());
    for (double c : g.coverage) l.level.push_back(uint8_t(std::lround(c * 255.0)));
    for (int k = 0; k < g.height; ++k) {
      const uint8_t* row = l.level.data() + std::size_t(k) * std::size_t(g.width);
      int begin = 0, end = g.width;
      while (begin < end && row[begin] == 0) ++begin;
      while (end > begin && row[end - 1] == 0) --end;
      l.inkBegin.push_back(uint16_t(begin));
      l.inkEnd.push_back(uint16_t(end));
    }
    levels_.push_back(std::move(l));
  }
}

namespace {

// x / 255 rounded down for 0 ≤ x ≤ 255 × 255, without a division.
inline unsigned Div255(unsigned x) {
  return (x + 1 + (x >> 8)) >> 8;
}

#if defined(__SSE2__)
inline __m128i Div255(__m128i x) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
}
#endif

// trunc((old × (255 − c) + colour × c) / 255) on every byte of `count`
// pixels with coverages c = levels[i]: the blend with c/255, exact. A pixel
// of coverage 0 comes out unchanged, so none is skipped; four pixels go
// through 16-bit lanes at once.
void BlendSpan(uint8_t* px, const uint8_t* levels, std::size_t count, const uint8_t colour[4]) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  uint32_t colourWord;
  std::memcpy(&colourWord, colour, 4);
  const __m128i colour16 = _mm_unpacklo_epi8(_mm_set1_epi32(int(colourWord)), zero);
  const __m128i full = _mm_set1_epi16(255);
  for (; i + 4 <= count; i += 4, px += 16) {
    uint32_t fourLevels;
    std::memcpy(&fourLevels, levels + i, 4);
    __m128i c = _mm_cvtsi32_si128(int(fourLevels));
    c = _mm_unpacklo_epi8(c, c);
    c = _mm_unpacklo_epi16(c, c);  // each level four times, one per byte of its pixel
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
    __m128i halves[2];
    for (int h = 0; h < 2; ++h) {
      const __m128i cv = h == 0 ? _mm_unpacklo_epi8(c, zero) : _mm_unpackhi_epi8(c, zero);
      const __m128i ov = h == 0 ? _mm_unpacklo_epi8(old, zero) : _mm_unpackhi_epi8(old, zero);
      const __m128i sum =
          _mm_add_epi16(_mm_mullo_epi16(ov, _mm_sub_epi16(full, cv)), _mm_mullo_epi16(colour16, cv));
      halves[h] = Div255(sum);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(px), _mm_packus_epi16(halves[0], halves[1]));
  }
#endif
  for (; i < count; ++i, px += 4) {
    const unsigned c = levels[i];
    for (int b = 0; b < 4; ++b) px[b] = uint8_t(Div255(px[b] * (255 - c) + colour[b] * c));
  }
}

}  // namespace

const GlyphFont::Glyph& GlyphFont::GlyphOf(char c) const {
  const int code = static_cast<unsigned char>(c);
  static const Glyph kNone;
  if (code < kFirstChar || code > kLastChar) return kNone;
  return glyphs_[std::size_t(code - kFirstChar)];
}

int GlyphFont::DrawString(int x, int y, std::string_view text, bool topDown, uint8_t* buffer, int width,
                          int height, uint32_t colour) const {
  return Draw(topDown ? Placement::kTopDown : Placement::kBottomUp, x, y, text, buffer, width, height,
              colour);
}

int GlyphFont::DrawStringAbove(int x, int y, std::string_view text, uint8_t* buffer, int width, int height,
                               uint32_t colour) const {
  return Draw(Placement::kAbove, x, y, text, buffer, width, height, colour);
}

int GlyphFont::Draw(Placement placement, int x, int y, std::string_view text, uint8_t* buffer, int width,
                    int height, uint32_t colour) const {
  if (buffer == nullptr) return 0;
  const uint8_t colourBytes[4] = {uint8_t(colour & 0xFF), uint8_t((colour >> 8) & 0xFF),
                                  uint8_t((colour >> 16) & 0xFF), uint8_t((colour >> 24) & 0xFF)};
  // Wide arithmetic: positions come from callers and texts may be of any length.
  const long long w = width > 0 ? width : 0;
  const long long h = height > 0 ? height : 0;
  long long pen = x;
  for (char ch : text) {
    const int code = static_cast<unsigned char>(ch);
    if (code < kFirstChar || code > kLastChar) continue;
    const Glyph& g = glyphs_[std::size_t(code - kFirstChar)];
    const Levels& levels = levels_[std::size_t(code - kFirstChar)];
    const long long firstColumn = std::max<long long>(0, -pen);
    const long long endColumn = std::min<long long>(g.width, w - pen);
    for (int k = 0; k < g.height && firstColumn < endColumn; ++k) {
      long long row = 0;
      int tableRow = k;
      switch (placement) {
        case Placement::kTopDown:
          row = static_cast<long long>(y) + k;
          break;
        case Placement::kBottomUp:
          row = h - y + k;
          tableRow = g.height - 1 - k;
          break;
        case Placement::kAbove:
          row = static_cast<long long>(y) - g.height + k;
          break;
      }
      if (row < 0 || row >= h) continue;
      const uint8_t* line = levels.level.data() + std::size_t(tableRow) * std::size_t(g.width);
      const long long begin = std::max<long long>(firstColumn, levels.inkBegin[std::size_t(tableRow)]);
      const long long end = std::min<long long>(endColumn, levels.inkEnd[std::size_t(tableRow)]);
      uint8_t* px = buffer + (std::size_t(row) * std::size_t(w) + std::size_t(pen + begin)) * 4;
      BlendSpan(px, line + begin, std::size_t(end > begin ? end - begin : 0), colourBytes);
    }
    pen += g.width + 3;
  }
  return int(pen - x);
}

namespace {

std::atomic<const GlyphFont*> gSmall{nullptr};
std::atomic<const GlyphFont*> gLarge{nullptr};

}  // namespace

bool InstallGlyphFonts(std::unique_ptr<GlyphFont> small, std::unique_ptr<GlyphFont> large) {
  static std::mutex installLock;
  // Owners of the installed fonts; never released, so a streaming thread
  // drawing at exit never sees a freed font.
  static std::unique_ptr<GlyphFont>* keptSmall = new std::unique_ptr<GlyphFont>;
  static std::unique_ptr<GlyphFont>* keptLarge = new std::unique_ptr<GlyphFont>;
  if (!small || !large) return false;
  std::lock_guard<std::mutex> hold(installLock);
  if (*keptSmall) return false;
  *keptSmall = std::move(small);
  *keptLarge = std::move(large);
  gLarge.store(keptLarge->get(), std::memory_order_release);
  gSmall.store(keptSmall->get(), std::memory_order_release);
  return true;
}

const GlyphFont* SmallGlyphFont() {
  return gSmall.load(std::memory_order_acquire);
}
const GlyphFont* LargeGlyphFont() {
  return gLarge.load(std::memory_order_acquire);
}
