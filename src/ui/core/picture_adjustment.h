#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Brightness, contrast and gamma for looking into night footage. They change
// what the pane paints and nothing else: recorded frames, snapshots and clips
// stay as recorded unless an adjusted snapshot is asked for.
//
// One level v (0..1) becomes, in this order:
//   gamma       v^(1/gamma)            (gamma > 1 lifts the shadows)
//   contrast    (v - 1/2) × (1 + c/100) + 1/2
//   brightness  v + b/100
// clamped to 0..1. The neutral adjustment maps every level to itself.
struct PictureAdjustment {
  int brightness = 0;  // -100..100
  int contrast = 0;    // -100..100
  double gamma = 1.0;  // kMinGamma..kMaxGamma
  bool operator==(const PictureAdjustment&) const = default;
  bool IsNeutral() const { return *this == PictureAdjustment{}; }
};

inline constexpr double kMinGamma = 0.25;
inline constexpr double kMaxGamma = 4.0;

// The adjustment with every value in its range (a non-finite gamma is 1).
PictureAdjustment ClampedAdjustment(PictureAdjustment a);

// The level each of the 256 input levels becomes.
using ToneTable = std::array<uint8_t, 256>;
ToneTable BuildToneTable(const PictureAdjustment& adjustment);

// Maps the blue, green and red bytes of `height` rows of `width` BGRx pixels,
// `strideBytes` apart, through `table`; the fourth byte of each pixel is left
// as it is (Qt's RGB32 wants it 0xff).
void ApplyToneTableBgrx(const ToneTable& table, uint8_t* rows, int width, int height,
                        std::size_t strideBytes);

// Maps every byte of a packed RGB image (`bytes` long) through `table`.
void ApplyToneTableRgb(const ToneTable& table, uint8_t* rgb, std::size_t bytes);

// The three values one shortcut step changes.
enum class AdjustmentControl { kBrightness, kContrast, kGamma };
// `a` with `control` moved one step up (+1) or down (-1): 5 points of
// brightness or contrast, a tenth of gamma; clamped.
PictureAdjustment SteppedAdjustment(PictureAdjustment a, AdjustmentControl control, int direction);

// The pane's mark, "B+20 C-10 G1.4" naming only what is not neutral; "" for
// the neutral adjustment.
std::string AdjustmentMark(const PictureAdjustment& adjustment);
