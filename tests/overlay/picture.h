#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// A top-down BGRx picture for tests, and where two pictures differ.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bytes;

  Picture(int w, int h, uint8_t fill) : width(w), height(h), bytes(std::size_t(w) * h * 4, fill) {}
  uint8_t* data() { return bytes.data(); }
  const uint8_t* Pixel(int x, int y) const { return bytes.data() + (std::size_t(y) * width + x) * 4; }
  bool PixelIs(int x, int y, uint8_t value) const {
    const uint8_t* p = Pixel(x, y);
    return p[0] == value && p[1] == value && p[2] == value;  // the fourth byte carries no colour
  }
};

struct Box {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive; empty when right < left
  bool Empty() const { return right < left; }
  bool operator==(const Box&) const = default;
};

inline Box ChangedBox(const Picture& before, const Picture& after) {
  Box box{after.width, after.height, -1, -1};
  for (int y = 0; y < after.height; ++y)
    for (int x = 0; x < after.width; ++x)
      for (int b = 0; b < 4; ++b)
        if (before.Pixel(x, y)[b] != after.Pixel(x, y)[b]) {
          box.left = std::min(box.left, x);
          box.right = std::max(box.right, x);
          box.top = std::min(box.top, y);
          box.bottom = std::max(box.bottom, y);
        }
  if (box.right < 0) return Box{};
  return box;
}

// Rows in which the two pictures differ.
inline std::vector<bool> ChangedRows(const Picture& before, const Picture& after) {
  std::vector<bool> rows(after.height, false);
  const std::size_t stride = std::size_t(after.width) * 4;
  for (int y = 0; y < after.height; ++y)
    for (std::size_t i = 0; i < stride; ++i)
      if (before.bytes[y * stride + i] != after.bytes[y * stride + i]) rows[y] = true;
  return rows;
}
