#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ui/core/picture_adjustment.h"

namespace {

TEST(PictureAdjustment, ToneTables) {
  struct Case {
    const char* what;
    PictureAdjustment a;
    std::vector<std::pair<int, int>> levels;  // in, out
  } cases[] = {
      {"neutral is every level itself", {}, {{0, 0}, {1, 1}, {77, 77}, {128, 128}, {254, 254}, {255, 255}}},
      {"brightness adds a share of full scale", {20, 0, 1}, {{0, 51}, {100, 151}, {220, 255}}},
      {"darker takes it off, black stays black", {-50, 0, 1}, {{0, 0}, {100, 0}, {255, 128}}},
      {"contrast spreads about mid grey", {0, 50, 1}, {{0, 0}, {42, 0}, {128, 128}, {200, 236}, {240, 255}}},
      {"no contrast left is flat grey", {0, -100, 1}, {{0, 128}, {255, 128}}},
      {"gamma 2 lifts the shadows", {0, 0, 2}, {{0, 0}, {16, 64}, {64, 128}, {255, 255}}},
      {"gamma 0.5 deepens them", {0, 0, 0.5}, {{0, 0}, {128, 64}, {255, 255}}},
      {"out of range values are clamped", {400, 0, 99}, {{0, 255}}},
  };
  for (const Case& c : cases) {
    const ToneTable t = BuildToneTable(c.a);
    for (auto [in, out] : c.levels) EXPECT_EQ(t[size_t(in)], out) << c.what << " at " << in;
    for (int i = 1; i < 256; ++i) ASSERT_LE(t[size_t(i - 1)], t[size_t(i)]) << c.what << ": never reverses";
  }
}

TEST(PictureAdjustment, AppliedToBgrxRowsLeavesTheFourthByteAndThePadding) {
  // 3 × 2 pixels in rows of 16 bytes: 4 bytes of padding each.
  std::vector<uint8_t> rows(32, 0xAB);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int b = 0; b < 4; ++b)
        rows[size_t(y * 16 + x * 4 + b)] = uint8_t(b == 3 ? 0xFF : 10 * (x + y) + b);
  const std::vector<uint8_t> before = rows;
  const ToneTable t = BuildToneTable({20, 0, 1});
  ApplyToneTableBgrx(t, rows.data(), 3, 2, 16);
  for (size_t i = 0; i < rows.size(); ++i) {
    const bool pixelByte = i % 16 < 12 && i % 4 != 3;
    EXPECT_EQ(rows[i], pixelByte ? t[before[i]] : before[i]) << i;
  }
  std::vector<uint8_t> rgb{0, 100, 255};
  ApplyToneTableRgb(t, rgb.data(), rgb.size());
  EXPECT_EQ(rgb, (std::vector<uint8_t>{51, 151, 255}));
}

TEST(PictureAdjustment, ShortcutStepsAndTheMark) {
  PictureAdjustment a;
  EXPECT_EQ(AdjustmentMark(a), "");
  a = SteppedAdjustment(a, AdjustmentControl::kBrightness, 1);
  a = SteppedAdjustment(a, AdjustmentControl::kBrightness, 1);
  EXPECT_EQ(AdjustmentMark(a), "B+10");
  for (int i = 0; i < 4; ++i) a = SteppedAdjustment(a, AdjustmentControl::kGamma, 1);
  a = SteppedAdjustment(a, AdjustmentControl::kContrast, -1);
  EXPECT_EQ(AdjustmentMark(a), "B+10 C-5 G1.4");
  for (int i = 0; i < 4; ++i) a = SteppedAdjustment(a, AdjustmentControl::kGamma, -1);
  EXPECT_EQ(a.gamma, 1.0) << "tenths add back up to exactly 1";
  for (int i = 0; i < 100; ++i) a = SteppedAdjustment(a, AdjustmentControl::kGamma, -1);
  EXPECT_EQ(a.gamma, kMinGamma);
  for (int i = 0; i < 100; ++i) a = SteppedAdjustment(a, AdjustmentControl::kContrast, 1);
  EXPECT_EQ(a.contrast, 100);
  a = SteppedAdjustment(SteppedAdjustment(PictureAdjustment{}, AdjustmentControl::kBrightness, 1),
                        AdjustmentControl::kBrightness, -1);
  EXPECT_TRUE(a.IsNeutral());
}

}  // namespace
