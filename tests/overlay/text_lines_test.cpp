#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "box_font.h"
#include "metadata/text_lines.h"
#include "picture.h"

namespace {

struct Line {
  int sx, sy, tx, ty;  // shadow and white positions, y the row below the text
  std::string text;
};

OverlayTexts SampleTexts() {
  OverlayTexts t = InitialOverlayTexts();
  t[kTextLocalTime] = "3-1-2011  14:05:09.007";
  t[kTextTriggers] = "Trigger 0,Trigger 2";
  t[kTextGpsSatCount] = "7";
  t[kTextLatitude] = "49.274278";
  t[kTextLongitude] = "-122.655000";
  t[kTextSpeed] = "62";
  t[kTextXAcceleration] = "+1.0";
  t[kTextYAcceleration] = "-0.4";
  t[kTextZAcceleration] = "+0.0";
  t[kTextLine1] = "03/01/11 ABCDEF  1234 14:05:09";
  t[kTextLine2] =
      "Lat  49\xB0"
      "16'27\"N 000000 0000000";
  return t;
}

int Printable(const std::string& s) {
  int n = 0;
  for (unsigned char c : s) n += (c >= 32 && c <= 126);
  return n;
}

const std::string kTime = "Local Time-3-1-2011  14:05:09.007";
const std::string kPosition = "Sattelites-7, Lat 49.274278, Lon -122.655000";
const std::string kMotion = "Speed-62, Acceleration +1.0x,-0.4y,+0.0z";
const std::string kLine1 = "03/01/11 ABCDEF  1234 14:05:09";
const std::string kLine2 =
    "Lat  49\xB0"
    "16'27\"N 000000 0000000";
const std::string kLine3 = "Lon ---\xB0--'--\"-  ------ ------";  // still the placeholder

TEST(TextLines, EveryLayoutDrawsItsLinesAtTheirPlaces) {
  struct Case {
    const char* name;
    int width, height;
    DvrLayout dvrKind;
    bool timeOn, gpsOn;
    bool large;
    std::vector<Line> lines;
  } cases[] = {
      {"720x480 both groups",
       720,
       480,
       DvrLayout::kFourChannel,
       true,
       true,
       true,
       {{22, 452, 20, 450, kTime},
        {22, 472, 20, 470, "Triggers-Trigger 0,Trigger 2"},
        {22, 22, 20, 20, kPosition},
        {22, 47, 20, 45, kMotion}}},
      {"640x480 time group",
       640,
       480,
       DvrLayout::kFourChannel,
       true,
       false,
       true,
       {{22, 452, 20, 450, kTime}, {22, 472, 20, 470, "Triggers-Trigger 0,Trigger 2"}}},
      {"720x576 small font",
       720,
       576,
       DvrLayout::kFourChannel,
       true,
       true,
       false,
       {{11, 226, 10, 225, kTime},
        {11, 236, 10, 235, "Trig-Trigger 0,Trigger 2"},
        {6, 16, 5, 15, kPosition},
        {6, 26, 5, 25, kMotion}}},
      {"360x240 gps group",
       360,
       240,
       DvrLayout::kFourChannel,
       false,
       true,
       false,
       {{6, 16, 5, 15, kPosition}, {6, 26, 5, 25, kMotion}}},
      {"two-channel lines ignore the switches",
       320,
       240,
       DvrLayout::kTwoChannelTextLines,
       false,
       false,
       false,
       {{6, 14, 5, 13, kLine1}, {6, 24, 5, 23, kLine2}, {6, 34, 5, 33, kLine3}}},
      {"stacked pictures repeat the lines",
       320,
       480,
       DvrLayout::kTwoChannelStacked,
       true,
       false,
       false,
       {{6, 14, 5, 13, kLine1},
        {6, 24, 5, 23, kLine2},
        {6, 34, 5, 33, kLine3},
        {6, 254, 5, 253, kLine1},
        {6, 264, 5, 263, kLine2},
        {6, 274, 5, 273, kLine3}}},
      {"stacked pictures without time lines",
       320,
       480,
       DvrLayout::kTwoChannelStacked,
       false,
       true,
       false,
       {{6, 14, 5, 13, kLine1}, {6, 24, 5, 23, kLine2}, {6, 34, 5, 33, kLine3}}},
  };
  auto small = MakeBoxFont(kSmallBoxWidth, kSmallBoxHeight);
  auto large = MakeBoxFont(kLargeBoxWidth, kLargeBoxHeight);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int glyphWidth = c.large ? kLargeBoxWidth : kSmallBoxWidth;
    const int glyphHeight = c.large ? kLargeBoxHeight : kSmallBoxHeight;
    const Picture before(c.width, c.height, 128);
    Picture after = before;
    DrawMetadataLines(after.data(), c.width, c.height, SampleTexts(), {true, c.timeOn, c.gpsOn}, c.dvrKind,
                      small.get(), large.get());

    std::vector<bool> expectedRows(c.height, false);
    for (const Line& l : c.lines) {
      for (int y = l.ty - glyphHeight; y < l.sy; ++y) expectedRows[y] = true;
      EXPECT_TRUE(after.PixelIs(l.tx, l.ty - glyphHeight, 255)) << l.text;  // white's top-left corner
      EXPECT_TRUE(after.PixelIs(l.sx, l.sy - 1, 0)) << l.text;              // shadow's bottom-left corner
      EXPECT_FALSE(after.PixelIs(l.tx - 1, l.ty - 1, 0)) << l.text;         // nothing left of the text
      // The rightmost pixel of the line tells its wording.
      int right = -1;
      for (int y = l.ty - glyphHeight; y < l.sy; ++y)
        for (int x = 0; x < c.width; ++x)
          if (!after.PixelIs(x, y, 128)) right = std::max(right, x);
      EXPECT_EQ(right, std::min(c.width - 1, l.sx + Printable(l.text) * (glyphWidth + 3) - 4)) << l.text;
    }
    EXPECT_EQ(ChangedRows(before, after), expectedRows);
  }
}

TEST(TextLines, NothingWithoutFontsOrWithOverlayOff) {
  auto small = MakeBoxFont(kSmallBoxWidth, kSmallBoxHeight);
  auto large = MakeBoxFont(kLargeBoxWidth, kLargeBoxHeight);
  struct Case {
    bool overlayOn;
    const GlyphFont* small;
    const GlyphFont* large;
  } cases[] = {{false, small.get(), large.get()}, {true, nullptr, large.get()}, {true, small.get(), nullptr}};
  for (const Case& c : cases) {
    Picture p(720, 480, 128);
    DrawMetadataLines(p.data(), 720, 480, SampleTexts(), {c.overlayOn, true, true}, DvrLayout::kFourChannel,
                      c.small, c.large);
    EXPECT_TRUE(ChangedBox(Picture(720, 480, 128), p).Empty());
  }
}

TEST(TextLines, LinesWiderThanTheFrameAreClipped) {
  auto small = MakeBoxFont(kSmallBoxWidth, kSmallBoxHeight);
  auto large = MakeBoxFont(kLargeBoxWidth, kLargeBoxHeight);
  OverlayTexts t = SampleTexts();
  t[kTextTriggers] = std::string(5000, 'X');
  t[kTextLatitude] = std::string(100000, '9');
  struct Case {
    int width, height;
    bool reachesRightEdge;  // a long line is drawn up to the last column
  } cases[] = {{720, 480, true}, {30, 480, true}, {320, 20, true}, {3, 1, false}};
  // Guard bytes on both sides of the frame catch a write that escapes it.
  constexpr std::size_t kGuard = 64 * 1024;
  constexpr uint8_t kGuardByte = 0xA5;
  for (const Case& c : cases) {
    const std::size_t frameBytes = std::size_t(c.width) * c.height * 4;
    std::vector<uint8_t> buffer(kGuard + frameBytes + kGuard, kGuardByte);
    std::fill_n(buffer.begin() + kGuard, frameBytes, 128);
    DrawMetadataLines(buffer.data() + kGuard, c.width, c.height, t, {true, true, true},
                      DvrLayout::kFourChannel, small.get(), large.get());
    EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + kGuard, kGuardByte), std::ptrdiff_t(kGuard))
        << c.width << "x" << c.height;
    EXPECT_EQ(std::count(buffer.end() - kGuard, buffer.end(), kGuardByte), std::ptrdiff_t(kGuard))
        << c.width << "x" << c.height;
    Picture drawn(c.width, c.height, 128);
    std::copy_n(buffer.begin() + kGuard, frameBytes, drawn.bytes.begin());
    const Box changed = ChangedBox(Picture(c.width, c.height, 128), drawn);
    if (c.reachesRightEdge) {
      EXPECT_EQ(changed.right, c.width - 1) << c.width << "x" << c.height;
    }
  }
}

TEST(TextLines, PlaceholdersAndLabels) {
  const OverlayTexts t = InitialOverlayTexts();
  EXPECT_EQ(t[kTextUtcTime], "  -  -           :  :  .");
  EXPECT_EQ(t[kTextLocalTime], t[kTextUtcTime]);
  EXPECT_EQ(t[kTextSpeed], "0");
  EXPECT_EQ(t[kTextTriggers], "");
  EXPECT_EQ(t[kTextLine1].size(), 30u);
  EXPECT_EQ(t[kTextLine2], "Lat  --\xB0--'--\"- ------ -------");
  EXPECT_EQ(t[kTextLine3], kLine3);
  EXPECT_EQ(OverlayTextIndexOf("Z Acceleration"), kTextZAcceleration);
  EXPECT_EQ(OverlayTextIndexOf("Speed "), -1);
  EXPECT_EQ(OverlayTextIndexOf("speed"), -1);
  EXPECT_EQ(OverlayTextIndexOf(nullptr), -1);
}

}  // namespace
