#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "metadata/dvr_layout.h"

class GlyphFont;

// The labelled texts an overlay keeps, in label order.
enum OverlayTextIndex : int {
  kTextUtcTime,
  kTextLocalTime,
  kTextGpsSatCount,
  kTextLatitude,
  kTextLongitude,
  kTextSpeed,
  kTextXAcceleration,
  kTextYAcceleration,
  kTextZAcceleration,
  kTextTriggers,
  kTextLine1,
  kTextLine2,
  kTextLine3,
  kOverlayTextCount
};

// "UTC Time", "Local Time", … "Line3", indexed by OverlayTextIndex.
extern const std::array<const char*, kOverlayTextCount> kOverlayTextLabels;

using OverlayTexts = std::array<std::string, kOverlayTextCount>;

// The texts shown before any metadata arrives (placeholders of the time and
// the two-channel lines, "0" for numbers, empty triggers). Line2 and Line3
// hold the degree sign as the single Windows-1252 byte 0xB0, which the glyph
// fonts skip like every byte outside 32..126.
OverlayTexts InitialOverlayTexts();

// Label → index, exact and case-sensitive; -1 for any other label.
int OverlayTextIndexOf(const char* label);

struct TextLineSwitches {
  bool overlayOn = true;
  bool timeLinesOn = true;
  bool gpsLinesOn = true;
};

// Draws the metadata lines onto a TOP-DOWN frame of width × height pixels of
// 4 bytes: the three two-channel lines for a two-channel dvrKind (repeated
// 240 rows lower for the stacked pictures when timeLinesOn), otherwise the
// time/trigger and position/motion lines, in the large font on frames of
// exactly 480 rows and the small font on others. Each line is drawn black
// first, then white one or two pixels up and left. Positions are screen
// coordinates from the top-left, y the row just below the text. Draws
// nothing unless both fonts are given and switches.overlayOn. Text is
// clipped to the frame.
void DrawMetadataLines(uint8_t* frame, int width, int height, const OverlayTexts& texts,
                       const TextLineSwitches& switches, DvrLayout dvrKind, const GlyphFont* small,
                       const GlyphFont* large);
