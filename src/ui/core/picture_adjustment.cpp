#include "ui/core/picture_adjustment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kLevelStep = 5;
constexpr double kGammaStep = 0.1;

}  // namespace

PictureAdjustment ClampedAdjustment(PictureAdjustment a) {
  a.brightness = std::clamp(a.brightness, -100, 100);
  a.contrast = std::clamp(a.contrast, -100, 100);
  if (!std::isfinite(a.gamma)) a.gamma = 1.0;
  a.gamma = std::clamp(a.gamma, kMinGamma, kMaxGamma);
  // Steps of a tenth add up to 0.9999…: keep gamma at two decimals so the
  // mark and the neutral test see what the user set.
  a.gamma = std::round(a.gamma * 100.0) / 100.0;
  return a;
}

ToneTable BuildToneTable(const PictureAdjustment& adjustment) {
  const PictureAdjustment a = ClampedAdjustment(adjustment);
  const double gain = 1.0 + a.contrast / 100.0;
  const double offset = a.brightness / 100.0;
  ToneTable table{};
  for (int level = 0; level < 256; ++level) {
    double v = level / 255.0;
    if (a.gamma != 1.0) v = std::pow(v, 1.0 / a.gamma);
    v = (v - 0.5) * gain + 0.5 + offset;
    table[size_t(level)] = uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
  }
  return table;
}

void ApplyToneTableBgrx(const ToneTable& table, uint8_t* rows, int width, int height,
                        std::size_t strideBytes) {
  if (!rows || width <= 0 || height <= 0) return;
  for (int y = 0; y < height; ++y) {
    uint8_t* p = rows + size_t(y) * strideBytes;
    for (int x = 0; x < width; ++x, p += 4) {
      p[0] = table[p[0]];
      p[1] = table[p[1]];
      p[2] = table[p[2]];
    }
  }
}

void ApplyToneTableRgb(const ToneTable& table, uint8_t* rgb, std::size_t bytes) {
  if (!rgb) return;
  for (std::size_t i = 0; i < bytes; ++i) rgb[i] = table[rgb[i]];
}

PictureAdjustment SteppedAdjustment(PictureAdjustment a, AdjustmentControl control, int direction) {
  const int sign = direction < 0 ? -1 : 1;
  switch (control) {
    case AdjustmentControl::kBrightness:
      a.brightness += sign * kLevelStep;
      break;
    case AdjustmentControl::kContrast:
      a.contrast += sign * kLevelStep;
      break;
    case AdjustmentControl::kGamma:
      a.gamma += sign * kGammaStep;
      break;
  }
  return ClampedAdjustment(a);
}

std::string AdjustmentMark(const PictureAdjustment& adjustment) {
  const PictureAdjustment a = ClampedAdjustment(adjustment);
  std::string mark;
  char part[16];
  auto add = [&](const char* text) {
    if (!mark.empty()) mark += ' ';
    mark += text;
  };
  if (a.brightness != 0) {
    std::snprintf(part, sizeof part, "B%+d", a.brightness);
    add(part);
  }
  if (a.contrast != 0) {
    std::snprintf(part, sizeof part, "C%+d", a.contrast);
    add(part);
  }
  if (a.gamma != 1.0) {
    std::snprintf(part, sizeof part, "G%.3g", a.gamma);
    add(part);
  }
  return mark;
}
