#include "metadata/text_lines.h"

#include <cstring>

#include "metadata/glyph_font.h"

const std::array<const char*, kOverlayTextCount> kOverlayTextLabels = {
    "UTC Time",       "Local Time",     "GPS Sat Count", "Latitude", "Longitude", "Speed", "X Acceleration",
    "Y Acceleration", "Z Acceleration", "Triggers",      "Line1",    "Line2",     "Line3"};

OverlayTexts InitialOverlayTexts() {
  OverlayTexts t;
  t[kTextUtcTime] = "  -  -           :  :  .";
  t[kTextLocalTime] = t[kTextUtcTime];
  for (int i : {kTextGpsSatCount, kTextLatitude, kTextLongitude, kTextSpeed, kTextXAcceleration,
                kTextYAcceleration, kTextZAcceleration})
    t[i] = "0";
  t[kTextTriggers] = "";
  t[kTextLine1] = "--/--/-- ------  ---- --:--:--";
  t[kTextLine2] = "Lat  --\xB0--'--\"- ------ -------";
  t[kTextLine3] = "Lon ---\xB0--'--\"-  ------ ------";
  return t;
}

int OverlayTextIndexOf(const char* label) {
  if (label == nullptr) return -1;
  for (int i = 0; i < kOverlayTextCount; ++i)
    if (std::strcmp(label, kOverlayTextLabels[i]) == 0) return i;
  return -1;
}

namespace {

constexpr uint32_t kShadow = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

struct Target {
  uint8_t* frame;
  int width;
  int height;
};

// One line: the black shadow at (sx, sy), then the white text at (tx, ty).
void DrawLine(const Target& to, const GlyphFont& font, const std::string& text, int sx, int sy, int tx,
              int ty) {
  font.DrawStringAbove(sx, sy, text, to.frame, to.width, to.height, kShadow);
  font.DrawStringAbove(tx, ty, text, to.frame, to.width, to.height, kWhite);
}

}  // namespace

void DrawMetadataLines(uint8_t* frame, int width, int height, const OverlayTexts& texts,
                       const TextLineSwitches& switches, int dvrKind, const GlyphFont* small,
                       const GlyphFont* large) {
  if (frame == nullptr || small == nullptr || large == nullptr || !switches.overlayOn) return;
  const Target to{frame, width, height};

  if (dvrKind != 0) {
    for (int i = 0; i < 3; ++i) DrawLine(to, *small, texts[kTextLine1 + i], 6, 14 + 10 * i, 5, 13 + 10 * i);
    if (dvrKind == 2 && switches.timeLinesOn)  // the lower of two stacked pictures
      for (int i = 0; i < 3; ++i)
        DrawLine(to, *small, texts[kTextLine1 + i], 6, 254 + 10 * i, 5, 253 + 10 * i);
    small->EndFrame();
    return;
  }

  const std::string position = "Sattelites-" + texts[kTextGpsSatCount] + ", Lat " + texts[kTextLatitude] +
                               ", Lon " + texts[kTextLongitude];
  const std::string motion = "Speed-" + texts[kTextSpeed] + ", Acceleration " + texts[kTextXAcceleration] +
                             "x," + texts[kTextYAcceleration] + "y," + texts[kTextZAcceleration] + "z";
  const std::string time = "Local Time-" + texts[kTextLocalTime];

  if (height == 480) {
    if (switches.timeLinesOn) {
      DrawLine(to, *large, time, 22, 452, 20, 450);
      DrawLine(to, *large, "Triggers-" + texts[kTextTriggers], 22, 472, 20, 470);
    }
    if (switches.gpsLinesOn) {
      DrawLine(to, *large, position, 22, 22, 20, 20);
      DrawLine(to, *large, motion, 22, 47, 20, 45);
    }
    large->EndFrame();
  } else {
    if (switches.timeLinesOn) {
      DrawLine(to, *small, time, 11, 226, 10, 225);
      DrawLine(to, *small, "Trig-" + texts[kTextTriggers], 11, 236, 10, 235);
    }
    if (switches.gpsLinesOn) {
      DrawLine(to, *small, position, 6, 16, 5, 15);
      DrawLine(to, *small, motion, 6, 26, 5, 25);
    }
    small->EndFrame();
  }
}
