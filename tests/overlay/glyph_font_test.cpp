#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "box_font.h"
#include "metadata/glyph_font.h"
#include "picture.h"

namespace {

// A font whose glyphs are lopsided (a gradient down the rows, a hole in a
// corner), so a flipped or shifted table shows.
std::unique_ptr<GlyphFont> MakeGradientFont() {
  std::vector<GlyphFont::Glyph> glyphs(GlyphFont::kGlyphCount);
  for (int i = 0; i < GlyphFont::kGlyphCount; ++i) {
    auto& g = glyphs[i];
    g.width = 3 + i % 3;
    g.height = 6 + i % 2;  // two heights: each glyph sits on the same bottom row
    for (int k = 0; k < g.height; ++k)
      for (int c = 0; c < g.width; ++c) g.coverage.push_back((k == 0 && c == 0) ? 0.0 : (k + 1.0) / g.height);
  }
  return std::make_unique<GlyphFont>(std::move(glyphs));
}

std::vector<uint8_t> FlipRows(const Picture& p) {
  std::vector<uint8_t> out(p.bytes.size());
  const std::size_t s = std::size_t(p.width) * 4;
  for (int r = 0; r < p.height; ++r)
    std::copy_n(p.bytes.begin() + r * s, s, out.begin() + (p.height - 1 - r) * s);
  return out;
}

TEST(GlyphFont, TopDownDrawingGivesTheBottomUpPicture) {
  auto font = MakeGradientFont();
  Picture bottomUp(40, 20, 90), topDown(40, 20, 90);
  const int a = font->DrawString(3, 12, "Aa~ b", false, bottomUp.data(), 40, 20, 0x123456);
  const int b = font->DrawStringAbove(3, 12, "Aa~ b", topDown.data(), 40, 20, 0x123456);
  EXPECT_EQ(a, b);
  EXPECT_EQ(FlipRows(bottomUp), topDown.bytes);
  EXPECT_EQ(ChangedBox(Picture(40, 20, 90), topDown).bottom, 11);  // y is the row just below the text
}

TEST(GlyphFont, TopDownFlagStartsAtRowY) {
  auto font = MakeBoxFont(2, 3);
  Picture p(10, 10, 0);
  EXPECT_EQ(font->DrawString(1, 4, "ab", true, p.data(), 10, 10, 0xFFFFFF), 10);
  EXPECT_EQ(ChangedBox(Picture(10, 10, 0), p), (Box{1, 4, 7, 6}));
}

TEST(GlyphFont, BlendsEveryByteByCoverage) {
  std::vector<GlyphFont::Glyph> glyphs(GlyphFont::kGlyphCount);
  glyphs['x' - 32] = {1, 1, {128 / 255.0}};
  GlyphFont font(std::move(glyphs));
  Picture p(1, 1, 100);
  font.DrawStringAbove(0, 1, "x", p.data(), 1, 1, 0x00FF4000);
  const uint8_t* px = p.Pixel(0, 0);
  EXPECT_EQ(px[0], 49);   // blue: 100 × 127/255 = 49.8, truncated
  EXPECT_EQ(px[1], 81);   // green: 49.8 + 64 × 128/255 = 81.9
  EXPECT_EQ(px[2], 177);  // red: 49.8 + 128 = 177.8
  EXPECT_EQ(px[3], 49);   // the colour's fourth byte is 0
}

TEST(GlyphFont, BlendIsExactForEveryCoverageOldValueAndColour) {
  // One glyph 256 pixels wide holds every coverage level; 256 rows give
  // every old value; the colours put 0, 255 and odd values in the bytes.
  std::vector<GlyphFont::Glyph> glyphs(GlyphFont::kGlyphCount);
  auto& g = glyphs['x' - 32];
  g.width = 256;
  g.height = 256;
  for (int row = 0; row < 256; ++row)
    for (int level = 0; level < 256; ++level) g.coverage.push_back(level / 255.0);
  GlyphFont font(std::move(glyphs));
  for (uint32_t colour : {0xFF00FFu, 0x01FE7Fu, 0x80000000u}) {
    Picture p(256, 256, 0);
    for (int row = 0; row < 256; ++row) std::fill_n(p.bytes.begin() + row * 256 * 4, 256 * 4, uint8_t(row));
    font.DrawString(0, 0, "x", true, p.data(), 256, 256, colour);
    int wrong = 0;
    for (int row = 0; row < 256; ++row)
      for (int level = 0; level < 256; ++level)
        for (int b = 0; b < 4; ++b) {
          const int c = (colour >> (8 * b)) & 0xFF;
          wrong += p.Pixel(level, row)[b] != (row * (255 - level) + c * level) / 255;
        }
    EXPECT_EQ(wrong, 0) << std::hex << colour;
  }
}

TEST(GlyphFont, AdvanceSkipsUnprintableCharactersAndNeedsABuffer) {
  auto font = MakeBoxFont(4, 5);
  Picture p(50, 10, 0);
  struct Case {
    const char* text;
    int advance;
  } cases[] = {{"", 0}, {"\x01\x7F\xB0\n", 0}, {"a", 7}, {"a\xB0 b", 21}};
  for (const Case& c : cases) EXPECT_EQ(font->DrawStringAbove(0, 8, c.text, p.data(), 50, 10, 0), c.advance);
  EXPECT_EQ(font->DrawString(0, 0, "abc", true, nullptr, 50, 10, 0xFFFFFF), 0);
}

TEST(GlyphFont, ClipsToTheFrameWithoutTouchingMemoryAroundIt) {
  auto font = MakeBoxFont(6, 8);
  struct Case {
    int x, y;
    Box expected;
  } cases[] = {
      {17, 8, {17, 0, 19, 7}},  // runs off the right edge
      {-30, 8, {0, 0, 2, 7}},   // starts left of the frame
      {0, 3, {0, 0, 19, 2}},    // above the top
      {0, 14, {0, 6, 19, 9}},   // below the bottom
      {25, 8, {}},              // entirely right of the frame
      {0, -5, {}},              // entirely above
      {0, 1000000, {}},         // far below
      {-2000000000, 8, {}},     // pen arithmetic must not overflow
  };
  for (const Case& c : cases) {
    const int width = 20, height = 10, guard = 64;
    std::vector<uint8_t> storage(guard + width * height * 4 + guard, 0xEE);
    Picture inside(width, height, 0);
    std::copy(inside.bytes.begin(), inside.bytes.end(), storage.begin() + guard);
    font->DrawStringAbove(c.x, c.y, "WWWW", storage.data() + guard, width, height, 0xFFFFFF);
    Picture after(width, height, 0);
    std::copy_n(storage.begin() + guard, after.bytes.size(), after.bytes.begin());
    EXPECT_EQ(ChangedBox(inside, after), c.expected) << c.x << "," << c.y;
    for (int i = 0; i < guard; ++i) {
      ASSERT_EQ(storage[i], 0xEE);
      ASSERT_EQ(storage[storage.size() - 1 - i], 0xEE);
    }
  }
}

// The process keeps the first fonts installed for good, so the check runs in
// a child process and leaves this one's fonts to the other tests.
TEST(GlyphFont, ProcessFontsAreInstalledOnce) {
  EXPECT_EXIT(
      {
        const bool emptyBefore = SmallGlyphFont() == nullptr && LargeGlyphFont() == nullptr;
        auto small = MakeBoxFont(1, 1);
        const GlyphFont* expected = small.get();
        const bool first = InstallGlyphFonts(std::move(small), MakeBoxFont(2, 2));
        const bool second = InstallGlyphFonts(MakeBoxFont(3, 3), MakeBoxFont(4, 4));
        const bool kept = SmallGlyphFont() == expected && LargeGlyphFont()->CellHeight() == 2;
        std::exit(emptyBefore && first && !second && kept ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
