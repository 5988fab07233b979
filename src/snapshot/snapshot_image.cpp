#include "snapshot/snapshot_image.h"

#include <algorithm>
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

std::vector<uint8_t> CropSnapshotImage(const std::vector<uint8_t>& image, int width, int height, int left,
                                       int top, int cropWidth, int cropHeight) {
  if (width <= 0 || height <= 0 || image.size() < std::size_t(width) * std::size_t(height) * 3) return {};
  if (left < 0 || top < 0 || cropWidth <= 0 || cropHeight <= 0 || cropWidth > width - left ||
      cropHeight > height - top)
    return {};
  const std::size_t rowBytes = std::size_t(cropWidth) * 3;
  std::vector<uint8_t> out(rowBytes * std::size_t(cropHeight));
  for (int r = 0; r < cropHeight; ++r) {
    const uint8_t* in = image.data() + (std::size_t(top + r) * std::size_t(width) + std::size_t(left)) * 3;
    std::copy(in, in + rowBytes, out.data() + std::size_t(r) * rowBytes);
  }
  return out;
}
