// The export's colour conversion: the reference colours of BT.709 limited
// range, over a picture wide enough for the vector path and with an odd
// last column and row, drawn into a frame without touching its neighbours.
#include <gtest/gtest.h>

#include <vector>

#include "export/i420_frame.h"

namespace video_export {
namespace {

TEST(I420FrameTest, ReferenceColoursLandInTheirCellOnly) {
  struct Colour {
    const char* name;
    uint8_t b, g, r;
    int y, u, v;  // BT.709, 8-bit limited range
  };
  const Colour colours[] = {{"white", 255, 255, 255, 235, 128, 128}, {"black", 0, 0, 0, 16, 128, 128},
                            {"red", 0, 0, 255, 63, 102, 240},        {"green", 0, 255, 0, 173, 42, 26},
                            {"blue", 255, 0, 0, 32, 240, 118},       {"grey", 128, 128, 128, 126, 128, 128}};
  constexpr int kWidth = 37, kHeight = 5, kX = 4, kY = 2;
  const I420Layout layout = DefaultI420Layout(50, 10);
  ASSERT_EQ(layout.stride[0], 52);
  ASSERT_EQ(layout.stride[1], 28);
  ASSERT_EQ(layout.size, std::size_t(52 * 10 + 2 * 28 * 5));
  for (const Colour& c : colours) {
    std::vector<uint8_t> picture(std::size_t(kWidth) * kHeight * 4);
    for (std::size_t i = 0; i < picture.size(); i += 4) {
      picture[i] = c.b;
      picture[i + 1] = c.g;
      picture[i + 2] = c.r;
    }
    std::vector<uint8_t> frame(layout.size, 7);
    BgrxToI420(picture.data(), kWidth * 4, kWidth, kHeight, frame.data(), layout, kX, kY);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 50; ++x) {
        const bool inside = x >= kX && x < kX + kWidth && y >= kY && y < kY + kHeight;
        ASSERT_NEAR(frame[std::size_t(y * 52 + x)], inside ? c.y : 7, inside ? 1 : 0)
            << c.name << " " << x << "," << y;
      }
    for (int plane = 1; plane < 3; ++plane)
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 25; ++x) {
          const bool inside =
              x >= kX / 2 && x < (kX + kWidth + 1) / 2 && y >= kY / 2 && y < (kY + kHeight + 1) / 2;
          const int expected = inside ? (plane == 1 ? c.u : c.v) : 7;
          ASSERT_NEAR(frame[layout.offset[std::size_t(plane)] + std::size_t(y * 28 + x)], expected,
                      inside ? 1 : 0)
              << c.name << " plane " << plane << " " << x << "," << y;
        }
    FillI420Black(frame.data(), layout, kX, kY, kWidth, kHeight);
    EXPECT_EQ(frame[std::size_t((kY + kHeight - 1) * 52 + kX + kWidth - 1)], 16) << c.name;
    EXPECT_EQ(frame[layout.offset[2] + std::size_t((kY / 2) * 28 + kX / 2)], 128) << c.name;
    EXPECT_EQ(frame[std::size_t((kY + kHeight) * 52 + kX)], 7) << c.name;
  }
}

}  // namespace
}  // namespace video_export
