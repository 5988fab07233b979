#pragma once

#include <memory>
#include <vector>

#include "metadata/glyph_font.h"

// Fonts whose every printable glyph except the blank is a solid box, so the
// pixels a string covers are known exactly.
inline std::unique_ptr<GlyphFont> MakeBoxFont(int width, int height) {
  std::vector<GlyphFont::Glyph> glyphs(GlyphFont::kGlyphCount);
  for (int i = 0; i < GlyphFont::kGlyphCount; ++i) {
    glyphs[i].width = width;
    glyphs[i].height = height;
    glyphs[i].coverage.assign(std::size_t(width) * height, i == 0 ? 0.0 : 1.0);
  }
  return std::make_unique<GlyphFont>(std::move(glyphs));
}

// Sizes of the box fonts the overlay tests install process-wide.
inline constexpr int kSmallBoxWidth = 5, kSmallBoxHeight = 8;
inline constexpr int kLargeBoxWidth = 9, kLargeBoxHeight = 14;

inline void InstallBoxFonts() {
  InstallGlyphFonts(MakeBoxFont(kSmallBoxWidth, kSmallBoxHeight),
                    MakeBoxFont(kLargeBoxWidth, kLargeBoxHeight));
}
