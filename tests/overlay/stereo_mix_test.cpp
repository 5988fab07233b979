#include <gtest/gtest.h>

#include <vector>

#include "metadata/stereo_mix.h"

namespace {

std::vector<uint8_t> Pair(int a, int b) {
  return {uint8_t(a & 0xFF), uint8_t((a >> 8) & 0xFF), uint8_t(b & 0xFF), uint8_t((b >> 8) & 0xFF)};
}

int SampleAt(const std::vector<uint8_t>& v, std::size_t i) {
  return int16_t(uint16_t(v[i] | v[i + 1] << 8));
}

TEST(StereoMix, GainCases) {
  struct Case {
    int gainA, gainB, a, b, expected;
  } cases[] = {
      {100, 100, 1000, 2000, 5939},  // 6000 − 2000000 / 32768
      {0, 100, 1000, 2000, 2000},    // only B heard, unscaled
      {100, 0, 1000, 2000, 1000},    // only A
      {30, 0, 1000, 2000, 1000},     // a single side is never scaled
      {0, 0, 1000, 2000, 0},
      {50, 100, 1000, 2000, 4970},         // a scaled to 500 first
      {100, 100, -1000, 2000, 2061},       // the product term is signed
      {100, 100, 30000, 30000, 32767},     // saturates instead of wrapping
      {100, 100, -30000, -30000, -32768},  // and at the bottom too
      {100, 100, -32768, 32767, 32765},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> s = Pair(c.a, c.b);
    MixStereoPairs(s.data(), s.size(), c.gainA, c.gainB);
    EXPECT_EQ(SampleAt(s, 0), c.expected) << c.gainA << "/" << c.gainB << " " << c.a << "," << c.b;
    EXPECT_EQ(SampleAt(s, 2), c.expected);
  }
}

TEST(StereoMix, EveryPairOfAnUnalignedBufferButNotAPartialTail) {
  std::vector<uint8_t> storage(1 + 8 + 3);
  const std::vector<uint8_t> p1 = Pair(1000, 2000), p2 = Pair(10, 0), tail = {0x11, 0x22, 0x33};
  std::copy(p1.begin(), p1.end(), storage.begin() + 1);
  std::copy(p2.begin(), p2.end(), storage.begin() + 5);
  std::copy(tail.begin(), tail.end(), storage.begin() + 9);
  MixStereoPairs(storage.data() + 1, 11, 100, 100);
  std::vector<uint8_t> out(storage.begin() + 1, storage.end());
  EXPECT_EQ(SampleAt(out, 0), 5939);
  EXPECT_EQ(SampleAt(out, 4), 20);
  EXPECT_EQ(SampleAt(out, 6), 20);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 8, out.end()), tail);
}

}  // namespace
