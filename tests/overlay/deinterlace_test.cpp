#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "metadata/deinterlace.h"

namespace {

// The rule as the DVR's bottom-up frames define it: odd rows r (counted from
// the bottom) that have a row r + 1 are rebuilt from rows r − 1 and r + 1.
void ReferenceBottomUp(std::vector<uint8_t>& f, int width, int height, bool fast) {
  const std::size_t s = std::size_t(width) * 4;
  for (int r = 1; r + 1 < height; r += 2)
    for (std::size_t i = 0; i < s; ++i) {
      const int a = f[(r - 1) * s + i], b = f[r * s + i], c = f[(r + 1) * s + i];
      int v = (a + c) / 2;
      if (!fast && (std::abs(b - a) < 20 || std::abs(b - c) < 20)) v = (a + 2 * b + c) / 4;
      f[r * s + i] = uint8_t(v);
    }
}

std::vector<uint8_t> FlipRows(const std::vector<uint8_t>& f, int width, int height) {
  const std::size_t s = std::size_t(width) * 4;
  std::vector<uint8_t> out(f.size());
  for (int r = 0; r < height; ++r) std::copy_n(f.begin() + r * s, s, out.begin() + (height - 1 - r) * s);
  return out;
}

TEST(Deinterlace, ThreeRowExamples) {
  struct Case {
    uint8_t above, middle, below;
    bool fast;
    uint8_t expected;
  } cases[] = {
      {100, 110, 200, false, 130},                            // close to a neighbour: weighted
      {100, 160, 200, false, 150},                            // far from both: averaged
      {100, 119, 139, false, 119},                            // |B − A| = 19 still counts as close
      {100, 120, 140, false, 120},                            // (100 + 140) / 2, both differences 20
      {100, 110, 200, true, 150},  {255, 0, 254, true, 254},  // no overflow of the byte sum
      {0, 255, 255, false, 191},
  };
  for (const Case& c : cases) {
    // Height 3: the middle row is the one replaced (odd from either end).
    std::vector<uint8_t> frame(12);
    std::fill_n(frame.begin(), 4, c.above);
    std::fill_n(frame.begin() + 4, 4, c.middle);
    std::fill_n(frame.begin() + 8, 4, c.below);
    FastDeinterlaceFrame(frame.data(), 1, 3, c.fast);
    for (int b = 0; b < 4; ++b) EXPECT_EQ(frame[4 + b], c.expected) << int(c.middle) << " fast " << c.fast;
    EXPECT_EQ(frame[0], c.above);
    EXPECT_EQ(frame[8], c.below);
  }
}

TEST(Deinterlace, TopDownFrameMatchesTheBottomUpPicture) {
  struct Size {
    int width, height;
  } sizes[] = {{720, 480}, {640, 480}, {5, 6}, {3, 7}, {17, 3}, {4, 2}, {1, 1}};
  std::mt19937 random(7);
  for (const Size& size : sizes)
    for (bool fast : {false, true}) {
      std::vector<uint8_t> topDown(std::size_t(size.width) * size.height * 4);
      for (auto& b : topDown)
        b = uint8_t(random() % 80 + ((&b - topDown.data()) / (size.width * 4) % 2) * 100);
      std::vector<uint8_t> bottomUp = FlipRows(topDown, size.width, size.height);
      ReferenceBottomUp(bottomUp, size.width, size.height, fast);
      FastDeinterlaceFrame(topDown.data(), size.width, size.height, fast);
      EXPECT_EQ(topDown, FlipRows(bottomUp, size.width, size.height))
          << size.width << "x" << size.height << " fast " << fast;
    }
}

TEST(Deinterlace, EvenHeightKeepsTheTopRowAndRebuildsEveryOtherRowBelowIt) {
  const int width = 2, height = 6;
  std::vector<uint8_t> frame(width * height * 4);
  for (int r = 0; r < height; ++r)
    std::fill_n(frame.begin() + r * width * 4, width * 4, uint8_t(r % 2 ? 200 : 0));
  FastDeinterlaceFrame(frame.data(), width, height, true);
  const uint8_t expected[] = {0, 200, 200, 200, 200, 200};  // rows 2 and 4 become (200 + 200) / 2
  for (int r = 0; r < height; ++r) EXPECT_EQ(frame[r * width * 4], expected[r]) << "row " << r;
}

TEST(Deinterlace, EveryByteTripleGivesTheRulesResult) {
  // Three rows of 65,536 bytes hold every (middle, below) pair for one value
  // above; 256 such frames cover all triples, in whole blocks and tails alike.
  const int width = 65536 / 4;
  const std::size_t s = 65536;
  std::vector<uint8_t> frame(3 * s);
  // Both vector widths: the wide one where the processor has it.
  for (bool wide : {false, true}) {
    const bool used = DeinterlaceWithWideVectors(wide);
    for (bool fast : {false, true})
      for (int a = 0; a < 256; ++a) {
        std::fill_n(frame.begin(), s, uint8_t(a));
        for (std::size_t i = 0; i < s; ++i) {
          frame[s + i] = uint8_t(i >> 8);
          frame[2 * s + i] = uint8_t(i);
        }
        FastDeinterlaceFrame(frame.data(), width, 3, fast);
        int wrong = 0;
        for (std::size_t i = 0; i < s; ++i) {
          const int b = int(i >> 8), c = int(i & 0xFF);
          int v = (a + c) / 2;
          if (!fast && (std::abs(b - a) < 20 || std::abs(b - c) < 20)) v = (a + 2 * b + c) / 4;
          wrong += frame[s + i] != v;
        }
        EXPECT_EQ(wrong, 0) << "above " << a << " fast " << fast << " wide " << used;
      }
  }
}

TEST(Deinterlace, RandomFramesOfOddWidthsMatchTheRule) {
  std::mt19937 random(11);
  const struct { int width, height; } sizes[] = {{720, 576}, {361, 9}, {3, 5}, {5, 4}, {33, 8}};
  for (bool wide : {false, true}) {
    DeinterlaceWithWideVectors(wide);
    for (const auto& size : sizes)
      for (bool fast : {false, true}) {
        std::vector<uint8_t> topDown(std::size_t(size.width) * size.height * 4);
        for (auto& b : topDown) b = uint8_t(random());
        std::vector<uint8_t> bottomUp = FlipRows(topDown, size.width, size.height);
        ReferenceBottomUp(bottomUp, size.width, size.height, fast);
        FastDeinterlaceFrame(topDown.data(), size.width, size.height, fast);
        EXPECT_EQ(topDown, FlipRows(bottomUp, size.width, size.height))
            << size.width << "x" << size.height << " fast " << fast << " wide " << wide;
      }
  }
}

// A decoder deinterlaces rows as they come out, a batch at a time, into rows
// with padding: whatever the batches, the picture ends as the whole-frame
// pass leaves it, and the padding is never touched.
TEST(Deinterlace, RowsInBatchesIntoPaddedRowsEqualTheWholeFrame) {
  std::mt19937 random(5);
  const struct { int width, height; } sizes[] = {{7, 3}, {5, 4}, {9, 17}, {720, 480}};
  for (const auto& size : sizes)
    for (int batch : {1, 2, 3, 16})
      for (bool fast : {false, true}) {
        const std::size_t row = std::size_t(size.width) * 4, stride = row + 12;
        std::vector<uint8_t> packed(row * size.height);
        for (auto& b : packed) b = uint8_t(random());
        std::vector<uint8_t> padded(stride * size.height, 0xEE);
        for (int r = 0; r < size.height; ++r)
          std::copy_n(packed.begin() + r * row, row, padded.begin() + r * stride);
        FastDeinterlaceFrame(packed.data(), size.width, size.height, fast);
        int done = 0;
        for (int end = batch; done < size.height; end += batch) {
          const int rows = end < size.height ? end : size.height;
          DeinterlaceRows(padded.data(), size.width, size.height, stride, done > 0 ? done - 1 : 0, rows,
                          fast);
          done = rows;
        }
        std::vector<uint8_t> unpadded(packed.size());
        bool paddingKept = true;
        for (int r = 0; r < size.height; ++r) {
          std::copy_n(padded.begin() + r * stride, row, unpadded.begin() + r * row);
          for (std::size_t i = row; i < stride; ++i)
            paddingKept = paddingKept && padded[r * stride + i] == 0xEE;
        }
        EXPECT_EQ(unpadded, packed) << size.width << "x" << size.height << " batch " << batch << " fast "
                                    << fast;
        EXPECT_TRUE(paddingKept);
      }
}

}  // namespace
