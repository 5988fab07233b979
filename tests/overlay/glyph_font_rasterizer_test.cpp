#include <gtest/gtest.h>

#include <QGuiApplication>
#include <algorithm>
#include <vector>

#include "metadata/qt/glyph_font_rasterizer.h"

namespace {

// Ink of a glyph: how many of its pixels have any coverage.
int Ink(const GlyphFont::Glyph& g) {
  int n = 0;
  for (double c : g.coverage) n += c > 0;
  return n;
}

TEST(GlyphFontRasterizer, SmallAndLargeFontsHaveSensibleCells) {
  auto small = RasterizeGlyphFont(false);
  auto large = RasterizeGlyphFont(true);
  ASSERT_TRUE(small && large);
  // 12 px and 22 px fonts: line heights a little above the pixel size.
  EXPECT_GE(small->CellHeight(), 12);
  EXPECT_LE(small->CellHeight(), 17);
  EXPECT_GE(large->CellHeight(), 22);
  EXPECT_LE(large->CellHeight(), 30);
  for (char c = ' '; c <= '~'; ++c) {
    const GlyphFont::Glyph& g = small->GlyphOf(c);
    EXPECT_GT(g.width, 0) << c;
    EXPECT_EQ(g.height, small->CellHeight()) << c;
    for (double v : g.coverage) ASSERT_TRUE(v >= 0.0 && v <= 1.0);
  }
  EXPECT_EQ(Ink(small->GlyphOf(' ')), 0);
  EXPECT_GT(Ink(small->GlyphOf('A')), 10);
  EXPECT_GT(small->GlyphOf('W').width, small->GlyphOf('i').width);  // proportional, not fixed pitch
  // Bold 22 px against light 12 px: more ink.
  EXPECT_GT(Ink(large->GlyphOf('A')), 2 * Ink(small->GlyphOf('A')));
  // Ink of 'g' reaches below that of 'a' (the baseline sits inside the cell).
  auto lowestInk = [](const GlyphFont::Glyph& g) {
    int lowest = -1;
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x)
        if (g.coverage[std::size_t(y) * g.width + x] > 0) lowest = y;
    return lowest;
  };
  EXPECT_GT(lowestInk(large->GlyphOf('g')), lowestInk(large->GlyphOf('a')));
}

TEST(GlyphFontRasterizer, ProcessFontsAreMadeOnceAndDrawWithoutQt) {
  EXPECT_EQ(SmallGlyphFont(), nullptr);
  CreateProcessGlyphFonts();
  const GlyphFont* small = SmallGlyphFont();
  ASSERT_NE(small, nullptr);
  ASSERT_NE(LargeGlyphFont(), nullptr);
  CreateProcessGlyphFonts();
  EXPECT_EQ(SmallGlyphFont(), small);
  std::vector<uint8_t> frame(200 * 40 * 4, 0);
  EXPECT_GT(LargeGlyphFont()->DrawStringAbove(5, 30, "Local Time-", frame.data(), 200, 40, 0xFFFFFF), 60);
  EXPECT_NE(std::count(frame.begin(), frame.end(), 255), 0);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
