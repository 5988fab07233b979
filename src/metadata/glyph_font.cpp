#include "metadata/glyph_font.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <mutex>

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
      for (long long i = begin; i < end; ++i, px += 4) {
        const unsigned c = line[i];
        if (c == 0) continue;
        // trunc((old × (255 − c) + colour × c) / 255): the blend with c/255, exact.
        for (int b = 0; b < 4; ++b) px[b] = uint8_t((px[b] * (255 - c) + colourBytes[b] * c) / 255);
      }
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
