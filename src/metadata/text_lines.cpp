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

// Shadow (sx, sy) and text (tx, ty) of one line.
struct Placement {
  int sx, sy, tx, ty;
};

// One line: the black shadow, then the white text up and left of it.
void DrawLine(const Target& to, const GlyphFont& font, const std::string& text, const Placement& at) {
  font.DrawStringAbove(at.sx, at.sy, text, to.frame, to.width, to.height, kShadow);
  font.DrawStringAbove(at.tx, at.ty, text, to.frame, to.width, to.height, kWhite);
}

// The four-channel lines: 480-line frames in the large font, every other
// height in the small one.
struct FourChannelPlacements {
  const char* triggerWord;
  Placement time, trigger, position, motion;
};
constexpr FourChannelPlacements kTallFramePlacements{
    "Triggers-", {22, 452, 20, 450}, {22, 472, 20, 470}, {22, 22, 20, 20}, {22, 47, 20, 45}};
constexpr FourChannelPlacements kOtherFramePlacements{
    "Trig-", {11, 226, 10, 225}, {11, 236, 10, 235}, {6, 16, 5, 15}, {6, 26, 5, 25}};

}  // namespace

void DrawMetadataLines(uint8_t* frame, int width, int height, const OverlayTexts& texts,
                       const TextLineSwitches& switches, DvrLayout dvrKind, const GlyphFont* small,
                       const GlyphFont* large) {
  if (frame == nullptr || small == nullptr || large == nullptr || !switches.overlayOn) return;
  const Target to{frame, width, height};

  if (IsTwoChannel(dvrKind)) {
    for (int i = 0; i < 3; ++i) DrawLine(to, *small, texts[kTextLine1 + i], {6, 14 + 10 * i, 5, 13 + 10 * i});
    if (dvrKind == DvrLayout::kTwoChannelStacked && switches.timeLinesOn)  // the lower picture
      for (int i = 0; i < 3; ++i)
        DrawLine(to, *small, texts[kTextLine1 + i], {6, 254 + 10 * i, 5, 253 + 10 * i});
    small->EndFrame();
    return;
  }

  const std::string position = "Sattelites-" + texts[kTextGpsSatCount] + ", Lat " + texts[kTextLatitude] +
                               ", Lon " + texts[kTextLongitude];
  const std::string motion = "Speed-" + texts[kTextSpeed] + ", Acceleration " + texts[kTextXAcceleration] +
                             "x," + texts[kTextYAcceleration] + "y," + texts[kTextZAcceleration] + "z";
  const std::string time = "Local Time-" + texts[kTextLocalTime];

  const bool tall = height == 480;
  const FourChannelPlacements& at = tall ? kTallFramePlacements : kOtherFramePlacements;
  const GlyphFont& font = tall ? *large : *small;
  if (switches.timeLinesOn) {
    DrawLine(to, font, time, at.time);
    DrawLine(to, font, at.triggerWord + texts[kTextTriggers], at.trigger);
  }
  if (switches.gpsLinesOn) {
    DrawLine(to, font, position, at.position);
    DrawLine(to, font, motion, at.motion);
  }
  font.EndFrame();
}
