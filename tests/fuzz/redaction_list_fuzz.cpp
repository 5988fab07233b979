// Fuzz target: a redaction list file, as --redactions and the window read
// it. An accepted list holds only what its format allows, writes back to the
// same list, and its shapes drawn at any time touch no pixel outside their
// boxes (nor any byte outside the picture: the sanitizers watch).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "export/redaction.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  redaction::RedactionList list;
  std::string error;
  if (!redaction::FromJson(std::string(reinterpret_cast<const char*>(data), size), list, error)) {
    Check(!error.empty());
    return 0;
  }
  for (const redaction::Redaction& r : list.items) {
    Check(r.camera >= 0 && r.camera < 4 && !r.keys.empty());
    for (std::size_t k = 1; k < r.keys.size(); ++k) Check(r.keys[k - 1].centis < r.keys[k].centis);
  }
  redaction::RedactionList again;
  Check(redaction::FromJson(redaction::ToJson(list), again, error));
  Check(redaction::ToJson(again) == redaction::ToJson(list));

  constexpr int kW = 33, kH = 17, kStride = kW * 4;
  for (const redaction::Redaction& r : list.items)
    for (const redaction::Keyframe& key : r.keys) {
      std::vector<uint8_t> picture(std::size_t(kStride) * kH, 0x77);
      redaction::Rasterise(picture.data(), kW, kH, kStride, r.shape, r.fill, key.box);
      const redaction::PixelRect box = redaction::ToPixels(key.box, kW, kH);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
          if (x < box.x0 || x >= box.x1 || y < box.y0 || y >= box.y1)
            Check(picture[std::size_t(y) * kStride + std::size_t(x) * 4] == 0x77);
    }
  return 0;
}
