// Fuzz target: the Motion-JPEG frame decoder (JpegBgrxDecoder) and the
// snapshot wrapper's in-memory reader (ReadJpegMemory, ReadJpegMemorySize).
// The frame decoder gets the picture's own size, a wrong size and a short
// buffer, as the playback element can hand it; one decoder object serves
// every call, as it does for a stream's frames.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "snapshot/jpeg_bgrx_decoder.h"
#include "snapshot/jpeg_file.h"

namespace {

// Pictures above this are only decoded as far as the header: a run must stay
// fast and small, and kJpegMaxPixels pictures take hundreds of megabytes.
constexpr std::size_t kMaxDecodedPixels = std::size_t(2048) * 2048;

void Check(bool condition) {
  if (!condition) std::abort();
}

void FrameDecoder(const uint8_t* data, std::size_t size) {
  static JpegBgrxDecoder decoder;  // reused, so a failed frame must leave it ready for the next
  using Result = JpegBgrxDecoder::Result;
  int width = 0, height = 0;
  const Result header = decoder.ReadSize(data, size, width, height);
  if (header != Result::kOk) {
    Check(width == 0 && height == 0);
    return;
  }
  Check(width > 0 && height > 0 && std::size_t(width) * std::size_t(height) <= kJpegMaxPixels);
  if (std::size_t(width) * std::size_t(height) > kMaxDecodedPixels) return;

  // A padded stride, with guard bytes after the last row that must stay untouched.
  const int stride = width * 4 + 12;
  const std::size_t capacity = std::size_t(stride) * std::size_t(height - 1) + std::size_t(width) * 4;
  constexpr std::size_t kGuard = 64;
  constexpr uint8_t kGuardByte = 0xA5;
  std::vector<uint8_t> target(capacity + kGuard, kGuardByte);
  const Result r = decoder.Decode(data, size, target.data(), capacity, width, height, stride);
  Check(r == Result::kOk || r == Result::kCorrupt);
  Check(std::all_of(target.end() - kGuard, target.end(), [](uint8_t b) { return b == kGuardByte; }));
  (void)JpegBgrxResultText(r);

  // Another size than the picture's, and a buffer one byte short, are refused.
  Check(decoder.Decode(data, size, target.data(), capacity, width + 1, height, stride + 4) ==
        Result::kSizeMismatch);
  Check(decoder.Decode(data, size, target.data(), capacity - 1, width, height, stride) == Result::kBadTarget);
}

void SnapshotReader(const uint8_t* data, std::size_t size) {
  int width = -1, height = -1;
  const bool header = ReadJpegMemorySize(data, size, width, height);
  Check(header ? width > 0 && height > 0 : width == 0 && height == 0);
  const std::size_t pixels = std::size_t(width) * std::size_t(height);
  if (header && pixels > kJpegMaxPixels) {
    // Refused, and refused before the library sets up buffers for the whole picture.
    Check(ReadJpegMemory(data, size, width, height) == nullptr);
    return;
  }
  if (!header || pixels > kMaxDecodedPixels) return;
  const std::unique_ptr<uint8_t[]> rgb = ReadJpegMemory(data, size, width, height);
  if (!rgb) {
    Check(width == 0 && height == 0);
    return;
  }
  // Every byte of the documented width × height × 3 buffer is defined and ours.
  const std::size_t bytes = std::size_t(width) * std::size_t(height) * 3;
  std::size_t sum = 0;
  for (std::size_t i = 0; i < bytes; ++i) sum += rgb[i];
  Check(sum <= bytes * 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const bool silenced = [] {
    // Damaged pictures are the point here, not news for stderr.
    SetJpegErrorReporter([](const char*) {});
    return true;
  }();
  (void)silenced;
  FrameDecoder(data, size);
  SnapshotReader(data, size);
  return 0;
}
