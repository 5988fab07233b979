#include "snapshot/snapshot_image.h"

#include <cstddef>

std::vector<uint8_t> BuildSnapshotImage(const uint8_t* frame, int width, int height, bool doubleRows) {
  if (frame == nullptr || width <= 0 || height <= 0) return {};
  const std::size_t rowBytes = std::size_t(width) * 3;
  const int copies = doubleRows ? 2 : 1;
  const int rows = height * copies;
  std::vector<uint8_t> image(rowBytes * std::size_t(rows));
  for (int r = 0; r < rows; ++r) {
    const uint8_t* in = frame + std::size_t(r / copies) * std::size_t(width) * 4;
    uint8_t* out = image.data() + std::size_t(r) * rowBytes;
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
  }
  // The frame holds blue first; JPEG wants red first.
  SwapRedBlue(image.data(), width, rows);
  return image;
}
