#include "snapshot/jpeg_bgrx_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include "snapshot/jpeg_error_manager.h"
#include "snapshot/jpeg_file.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

struct JpegBgrxDecoder::State {
  jpeg_decompress_struct cinfo;
  JpegErrorManager errors;
};

namespace {

using Result = JpegBgrxDecoder::Result;

// The standard luminance table (quality 50), whose scaled copies the IJG
// encoder writes for other qualities.
// clang-format off
constexpr uint16_t kStandardLuma[64] = {
    16, 11, 10, 16, 24, 40, 51, 61,
    12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56,
    14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77,
    24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101,
    72, 92, 95, 98, 112, 100, 103, 99};
// clang-format on

bool FastIdctSuits(const jpeg_decompress_struct& cinfo) {
  const JQUANT_TBL* q = cinfo.quant_tbl_ptrs[0];
  if (q == nullptr) return false;
  uint16_t table[64];
  for (int i = 0; i < 64; ++i) table[i] = uint16_t(q->quantval[i]);
  return EstimatedJpegQuality(table) <= kFastIdctMaxQuality;
}

// The libjpeg part of a call, kept free of C++ objects because a libjpeg
// error leaves it by longjmp. `target` null reads the header only.
Result Run(JpegBgrxDecoder::State& s, const uint8_t* data, std::size_t length, uint8_t* target,
           std::size_t capacity, int* width, int* height, int strideBytes,
           const JpegBgrxDecoder::RowsDone* rowsDone, int scaleDenom) {
  jpeg_decompress_struct& cinfo = s.cinfo;
  // Read again after a longjmp: must live in memory, not in a register.
  volatile bool headerRead = false;
  if (setjmp(s.errors.recovery)) {
    jpeg_abort_decompress(&cinfo);
    return headerRead ? Result::kCorrupt : Result::kNotJpeg;
  }
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(length));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_abort_decompress(&cinfo);
    return Result::kNotJpeg;
  }
  headerRead = true;
  const std::size_t w = cinfo.image_width;
  const std::size_t h = cinfo.image_height;
  if (w == 0 || h == 0 || w * h > kJpegMaxPixels) {
    jpeg_abort_decompress(&cinfo);
    return Result::kTooLarge;
  }
  if (target == nullptr) {
    *width = int(w);
    *height = int(h);
    jpeg_abort_decompress(&cinfo);
    return Result::kOk;
  }
  int scaledW = 0, scaledH = 0;
  ReducedJpegSize(int(w), int(h), scaleDenom, scaledW, scaledH);
  if (scaledW != *width || scaledH != *height) {
    jpeg_abort_decompress(&cinfo);
    return Result::kSizeMismatch;
  }
  const std::size_t ow = std::size_t(scaledW), oh = std::size_t(scaledH);
  if (strideBytes < 0 || std::size_t(strideBytes) < ow * 4 ||
      capacity < std::size_t(strideBytes) * (oh - 1) + ow * 4) {
    jpeg_abort_decompress(&cinfo);
    return Result::kBadTarget;
  }
  cinfo.out_color_space = JCS_EXT_BGRX;
  cinfo.dct_method = FastIdctSuits(cinfo) ? JDCT_IFAST : JDCT_ISLOW;
  // Merged upsampling: for 4:2:0 and 4:2:2 pictures libjpeg-turbo then
  // upsamples the chroma and converts to BGRx in one SIMD pass instead of
  // two, about a sixth of the decode; the chroma is replicated instead of
  // interpolated, a difference of a few levels at colour edges.
  cinfo.do_fancy_upsampling = FALSE;
  cinfo.scale_num = 1;
  cinfo.scale_denom = unsigned(scaleDenom);
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width != ow || cinfo.output_height != oh) {
    jpeg_abort_decompress(&cinfo);
    return Result::kSizeMismatch;
  }
  // The output size is the one checked above; read straight into the
  // target's rows, a batch at a time.
  constexpr int kBatch = 16;
  JSAMPROW rows[kBatch];
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION first = cinfo.output_scanline;
    int n = 0;
    for (; n < kBatch && first + JDIMENSION(n) < cinfo.output_height; ++n)
      rows[n] = target + std::size_t(first + JDIMENSION(n)) * std::size_t(strideBytes);
    if (jpeg_read_scanlines(&cinfo, rows, JDIMENSION(n)) == 0) {
      jpeg_abort_decompress(&cinfo);
      return Result::kCorrupt;
    }
    if (rowsDone) (*rowsDone)(int(cinfo.output_scanline));
  }
  jpeg_finish_decompress(&cinfo);
  return Result::kOk;
}

}  // namespace

JpegBgrxDecoder::JpegBgrxDecoder() : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.cinfo.err = InstallJpegErrorManager(s.errors, true);
  // Creating the object cannot fail on a bad frame; only memory exhaustion
  // reaches error_exit here, and then there is nothing to recover.
  jpeg_create_decompress(&s.cinfo);
}

JpegBgrxDecoder::~JpegBgrxDecoder() {
  jpeg_destroy_decompress(&state_->cinfo);
}

JpegBgrxDecoder::Result JpegBgrxDecoder::ReadSize(const uint8_t* data, std::size_t length, int& width,
                                                  int& height) {
  width = 0;
  height = 0;
  lastError_.clear();
  if (data == nullptr || length == 0) return Result::kNotJpeg;
  int w = 0, h = 0;
  state_->errors.message[0] = '\0';
  const Result r = Run(*state_, data, length, nullptr, 0, &w, &h, 0, nullptr, 1);
  if (r == Result::kOk) {
    width = w;
    height = h;
  }
  lastError_ = state_->errors.message;
  return r;
}

JpegBgrxDecoder::Result JpegBgrxDecoder::Decode(const uint8_t* data, std::size_t length, uint8_t* target,
                                                std::size_t capacity, int width, int height, int strideBytes,
                                                const RowsDone& rowsDone, int scaleDenom) {
  lastError_.clear();
  if (data == nullptr || length == 0) return Result::kNotJpeg;
  if (target == nullptr || width <= 0 || height <= 0) return Result::kBadTarget;
  if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8) return Result::kBadTarget;
  state_->errors.message[0] = '\0';
  const Result r = Run(*state_, data, length, target, capacity, &width, &height, strideBytes,
                       rowsDone ? &rowsDone : nullptr, scaleDenom);
  lastError_ = state_->errors.message;
  return r;
}

void ReducedJpegSize(int width, int height, int scaleDenom, int& outWidth, int& outHeight) {
  const int d = scaleDenom > 0 ? scaleDenom : 1;
  outWidth = (width + d - 1) / d;
  outHeight = (height + d - 1) / d;
}

int ReducedJpegScale(int width, int height, int shownWidth, int shownHeight) {
  if (shownWidth <= 0 || shownHeight <= 0) return 1;
  for (const int d : {8, 4, 2}) {
    int w = 0, h = 0;
    ReducedJpegSize(width, height, d, w, h);
    if (w >= shownWidth && h >= shownHeight) return d;
  }
  return 1;
}

ShownJpegSize ChooseShownJpegSize(int width, int height, int shownWidth, int shownHeight) {
  ShownJpegSize s;
  s.scaleDenom = ReducedJpegScale(width, height, shownWidth, shownHeight);
  ReducedJpegSize(width, height, s.scaleDenom, s.decodedWidth, s.decodedHeight);
  s.width = s.decodedWidth;
  s.height = s.decodedHeight;
  if (shownWidth > 0 && shownHeight > 0) {
    // Not below half the decoded size on a side (a shape far from the
    // picture's): bilinear sampling would skip rows there, and the window
    // scales the rest with its own filter.
    s.width = std::clamp(shownWidth, (s.decodedWidth + 1) / 2, s.decodedWidth);
    s.height = std::clamp(shownHeight, (s.decodedHeight + 1) / 2, s.decodedHeight);
  }
  return s;
}

const char* JpegBgrxResultText(JpegBgrxDecoder::Result result) {
  switch (result) {
    case Result::kOk:
      return "decoded";
    case Result::kNotJpeg:
      return "not a JPEG picture";
    case Result::kCorrupt:
      return "corrupt or truncated JPEG data";
    case Result::kSizeMismatch:
      return "picture size differs from the stream's format";
    case Result::kBadTarget:
      return "output buffer too small";
    case Result::kTooLarge:
      return "picture too large";
  }
  return "unknown";
}

int EstimatedJpegQuality(const uint16_t (&table)[64]) {
  long sum = 0, standard = 0;
  for (int i = 0; i < 64; ++i) {
    sum += table[i];
    standard += kStandardLuma[i];
  }
  // The encoder scales the standard table by `scale` percent: 5000 / quality
  // below 50, 200 - 2 × quality from there.
  const long scale = (sum * 100 + standard / 2) / standard;
  if (scale <= 0) return 100;
  const long quality = scale <= 100 ? (200 - scale + 1) / 2 : (5000 + scale / 2) / scale;
  return int(quality < 1 ? 1 : quality > 100 ? 100 : quality);
}
