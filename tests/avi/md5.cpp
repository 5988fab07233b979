#include "md5.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace avitest {

namespace {

constexpr std::array<uint32_t, 64> kShift = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                             5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                             4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                             6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t Rotl(uint32_t x, uint32_t c) {
  return (x << c) | (x >> (32 - c));
}

}  // namespace

std::string Md5Hex(const uint8_t* data, std::size_t size) {
  static const std::array<uint32_t, 64> k = [] {
    std::array<uint32_t, 64> t{};
    for (int i = 0; i < 64; ++i) t[i] = uint32_t(uint64_t(std::fabs(std::sin(double(i + 1))) * 4294967296.0));
    return t;
  }();
  // Whole blocks are hashed in place; only the padded tail is copied.
  const std::size_t whole = size - size % 64;
  std::vector<uint8_t> tail(data + whole, data + size);
  tail.push_back(0x80);
  while (tail.size() % 64 != 56) tail.push_back(0);
  const uint64_t bits = uint64_t(size) * 8;
  for (int i = 0; i < 8; ++i) tail.push_back(uint8_t(bits >> (8 * i)));

  uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  for (std::size_t block = 0; block < whole + tail.size(); block += 64) {
    const uint8_t* blockData = block < whole ? data + block : tail.data() + (block - whole);
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
      const uint8_t* p = blockData + 4 * i;
      m[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (uint32_t i = 0; i < 64; ++i) {
      uint32_t f, g;
      if (i < 16) {
        f = (b & c) | (~b & d);
        g = i;
      } else if (i < 32) {
        f = (d & b) | (~d & c);
        g = (5 * i + 1) % 16;
      } else if (i < 48) {
        f = b ^ c ^ d;
        g = (3 * i + 5) % 16;
      } else {
        f = c ^ (b | ~d);
        g = (7 * i) % 16;
      }
      const uint32_t next = d;
      d = c;
      c = b;
      b = b + Rotl(a + f + k[i] + m[g], kShift[i]);
      a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
  }
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (uint32_t word : h) {
    for (int i = 0; i < 4; ++i) {
      const uint8_t byte = uint8_t(word >> (8 * i));
      out += hex[byte >> 4];
      out += hex[byte & 15];
    }
  }
  return out;
}

}  // namespace avitest
