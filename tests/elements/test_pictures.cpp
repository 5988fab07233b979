#include "test_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "snapshot/jpeg_file.h"
#include "snapshot/jpeg_memory_encoder.h"

std::vector<uint8_t> TestJpeg(int width, int height) {
  std::vector<uint8_t> rgb(std::size_t(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(std::size_t(y) * width + x) * 3];
      // Brightness edges sharp as text, colour changing smoothly, as in the
      // cameras' pictures: a wrong channel order or row shows at once.
      const int light = ((x / 3) + (y / 3)) % 2 == 0 ? 50 : -50;
      const int r = x * 200 / (width > 1 ? width - 1 : 1) + 28;
      const int g = y * 200 / (height > 1 ? height - 1 : 1) + 28;
      const int b = 228 - (r + g) / 4;
      p[0] = uint8_t(std::clamp(r + light, 0, 255));
      p[1] = uint8_t(std::clamp(g + light, 0, 255));
      p[2] = uint8_t(std::clamp(b + light, 0, 255));
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

ColourDistance CompareColours(const uint8_t* picture, int strideBytes, const std::vector<uint8_t>& reference,
                              int width, int height) {
  if (reference.size() != std::size_t(width) * height * 4) return {0.0, 255};
  double sum = 0;
  int maxDifference = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* a = picture + std::size_t(y) * strideBytes + std::size_t(x) * 4;
      const uint8_t* b = &reference[(std::size_t(y) * width + x) * 4];
      for (int k = 0; k < 3; ++k) {
        const int d = std::abs(int(a[k]) - int(b[k]));
        sum += double(d) * d;
        maxDifference = std::max(maxDifference, d);
      }
    }
  }
  const double n = double(width) * height * 3;
  return {sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / (sum / n)), maxDifference};
}
