#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Scales BGRx pictures down, bilinear, while their rows are still being
// decoded: the decoder hands over the rows it has finished and gets back
// every output row those rows complete, so the source rows are read while
// they are still in the cache and no full-size picture goes further.
//
// The sampling is the usual bilinear one (pixel centres mapped onto pixel
// centres, the two nearest rows and columns weighted by distance, in steps
// of 1/128), the same a smooth-transform painter does. It is meant for
// reductions down to one half; further reductions come from the decoder's
// own reduced inverse DCT first, where bilinear sampling would skip pixels.
//
// A fast deinterlace (every second row replaced by the mean of its
// neighbours) can be folded in: the rows it would replace are never read,
// their neighbours are weighted in instead, the same picture (within a
// level) without the pass over the rows.
//
// Plain C++; one scaler per decoding thread.
class BgrxScaler {
 public:
  // Sets the sizes; false (and nothing is scaled) when either is empty or
  // the output is larger than the source on either side. `firstRebuiltRow`
  // >= 0: source rows firstRebuiltRow, firstRebuiltRow + 2, … up to
  // sourceHeight - 2 are taken as the mean of the rows beside them.
  bool Configure(int sourceWidth, int sourceHeight, int width, int height, int firstRebuiltRow = -1);

  // Starts a new picture of the configured sizes.
  void Restart() { nextRow_ = 0; }

  // The source's top `rowsReady` rows are final: writes every output row
  // they complete into `target` (rows `targetStride` bytes apart) and
  // returns the number of output rows done so far.
  int Feed(const uint8_t* source, std::size_t sourceStride, int rowsReady, uint8_t* target,
           std::size_t targetStride);

 private:
  struct Tap {
    int first = 0, second = 0;  // the two samples
    uint8_t weight = 0;         // of the second, in 128ths
  };
  static std::vector<Tap> Taps(int source, int size);

  int sourceWidth_ = 0, sourceHeight_ = 0, width_ = 0, height_ = 0, firstRebuiltRow_ = -1;
  int nextRow_ = 0;
  std::vector<Tap> rows_;
  std::vector<int> columns_;      // each output pixel's first sample
  std::vector<uint8_t> weights_;  // per output pixel, its samples' weights
  std::vector<uint8_t> blended_;  // one source-wide row, blended vertically
};

// Whether BgrxScaler uses the processor's AVX2 encoding and byte
// multiplies (where there is AVX2; the default) or plain SSE2; the result
// is the same, tests run both. Returns whether the wide path is now in use.
bool BgrxScalerWithWideVectors(bool on);
