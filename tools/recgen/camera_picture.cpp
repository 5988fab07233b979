#include "camera_picture.h"

#include <algorithm>
#include <array>

#include "frame_mark.h"

namespace recgen {
namespace {

// 5×7 digits, one byte per row, bit 4 = leftmost pixel.
constexpr std::array<std::array<uint8_t, 7>, 10> kDigits = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
}};

constexpr std::array<std::array<uint8_t, 3>, 5> kTints = {{
    {128, 128, 128},  // no camera
    {170, 40, 40},
    {40, 150, 60},
    {40, 70, 170},
    {190, 140, 30},
}};

void FillRect(uint8_t* rgb, int stride, int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  for (int row = y; row < y + h; ++row) {
    uint8_t* p = rgb + std::size_t(row) * std::size_t(stride) + std::size_t(x) * 3;
    for (int col = 0; col < w; ++col, p += 3) p[0] = r, p[1] = g, p[2] = b;
  }
}

}  // namespace

void PaintCameraPicture(uint8_t* rgb, int stride, int x, int y, int w, int h, int camera,
                        int64_t globalFrame) {
  const auto& tint = kTints[std::size_t(std::clamp(camera, 0, 4))];
  for (int row = 0; row < h; ++row) {
    // Darker towards the bottom so the picture is not flat.
    const int shade = 160 + 95 * (h - row) / h;
    FillRect(rgb, stride, x, y + row, w, 1, uint8_t(tint[0] * shade / 255), uint8_t(tint[1] * shade / 255),
             uint8_t(tint[2] * shade / 255));
  }

  // Camera number: 5×7 cells of h/24 pixels, starting below the top text lines.
  const int cell = std::max(2, h / 24);
  const auto& glyph = kDigits[std::size_t(std::clamp(camera, 0, 9))];
  const int gx = x + std::max(4, w / 40), gy = y + h / 8;
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 5; ++c)
      if (glyph[std::size_t(r)] & (0x10 >> c))
        FillRect(rgb, stride, gx + c * cell, gy + r * cell, cell, cell, 250, 250, 250);

  // Moving mark in the lower third, clear of the bottom text lines.
  const int size = std::max(4, h / 12);
  const int travel = std::max(1, w - size);
  const int mx = x + int((globalFrame * std::max(2, w / 90)) % travel);
  FillRect(rgb, stride, mx, y + h * 2 / 3, size, size, 255, 255, 255);

  DrawFrameNumber(rgb + std::size_t(y) * std::size_t(stride) + std::size_t(x) * 3, w, h, stride, globalFrame);
}

}  // namespace recgen
