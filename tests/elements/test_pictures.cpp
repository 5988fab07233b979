#include "test_pictures.h"

#include <string>

#include "snapshot/jpeg_file.h"
#include "snapshot/jpeg_memory_encoder.h"

std::vector<uint8_t> TestJpeg(int width, int height) {
  std::vector<uint8_t> rgb(std::size_t(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(std::size_t(y) * width + x) * 3];
      const bool checker = ((x / 3) + (y / 3)) % 2 == 0;
      p[0] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
      p[1] = uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
      p[2] = checker ? 230 : 20;
    }
  }
  std::vector<uint8_t> jpeg;
  std::string error;
  JpegEncodeOptions options;
  EncodeJpegToMemory(rgb.data(), width, height, width * 3, options, jpeg, error);
  return jpeg;
}

std::vector<uint8_t> ReferenceBgrx(const std::vector<uint8_t>& jpeg) {
  int width = 0, height = 0;
  std::unique_ptr<uint8_t[]> rgb = ReadJpegMemory(jpeg.data(), jpeg.size(), width, height);
  if (!rgb) return {};
  std::vector<uint8_t> bgrx(std::size_t(width) * height * 4);
  for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
    bgrx[4 * i] = rgb[3 * i + 2];
    bgrx[4 * i + 1] = rgb[3 * i + 1];
    bgrx[4 * i + 2] = rgb[3 * i];
  }
  return bgrx;
}

bool SameColours(const uint8_t* picture, int strideBytes, const std::vector<uint8_t>& reference, int width,
                 int height) {
  if (reference.size() != std::size_t(width) * height * 4) return false;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* a = picture + std::size_t(y) * strideBytes + std::size_t(x) * 4;
      const uint8_t* b = &reference[(std::size_t(y) * width + x) * 4];
      if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) return false;
    }
  }
  return true;
}
