// The BGRx decoder core: pixels as libjpeg decodes them, and damaged or
// mismatched frames refused without a byte written outside the picture.
#include "snapshot/jpeg_bgrx_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "test_pictures.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace {
using Result = JpegBgrxDecoder::Result;
constexpr uint8_t kGuard = 0xA5;
}  // namespace

TEST(JpegBgrxDecoder, MatchesLibjpegCloselyAtOddSizesAndPaddedStrides) {
  JpegBgrxDecoder decoder;  // one object for all frames, as a stream uses it
  // Merged chroma upsampling differs from libjpeg's smooth one at colour
  // edges and at the picture's borders, which weigh most in tiny pictures,
  // and these quality-85 pictures take the fast IDCT; camera-sized frames
  // stay close to exact. A swapped channel or a shifted row costs far more
  // (tens of levels everywhere).
  struct Row {
    int width, height, padBytes;
    double minPsnr;
  } rows[] = {{4, 9, 0, 40}, {9, 4, 12, 22}, {33, 17, 4, 33}, {320, 240, 0, 44}, {721, 481, 64, 44}};
  for (const Row& r : rows) {
    const std::vector<uint8_t> jpeg = TestJpeg(r.width, r.height);
    const std::vector<uint8_t> want = ReferenceBgrx(jpeg);
    ASSERT_FALSE(want.empty());
    int w = 0, h = 0;
    ASSERT_EQ(decoder.ReadSize(jpeg.data(), jpeg.size(), w, h), Result::kOk);
    EXPECT_EQ(w, r.width);
    EXPECT_EQ(h, r.height);
    const int stride = r.width * 4 + r.padBytes;
    // One guard row after the picture: nothing may land there.
    std::vector<uint8_t> out(std::size_t(stride) * (r.height + 1), kGuard);
    const std::size_t capacity = std::size_t(stride) * r.height;
    ASSERT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), out.data(), capacity, r.width, r.height, stride),
              Result::kOk)
        << r.width << "x" << r.height;
    const ColourDistance d = CompareColours(out.data(), stride, want, r.width, r.height);
    EXPECT_GE(d.psnr, r.minPsnr) << r.width << "x" << r.height;
    EXPECT_LE(d.maxDifference, kMaxDecodeDifference + (r.width < 16 ? 16 : 0)) << r.width << "x" << r.height;
    EXPECT_TRUE(std::all_of(out.begin() + capacity, out.end(), [](uint8_t b) { return b == kGuard; }));
    for (int y = 0; y < r.height && r.padBytes; ++y)
      EXPECT_EQ(out[std::size_t(y) * stride + r.width * 4], kGuard) << "row padding written, row " << y;
  }
}

TEST(JpegBgrxDecoder, BadFramesAndTargetsAreRefusedAndTheDecoderGoesOn) {
  JpegBgrxDecoder decoder;
  const std::vector<uint8_t> good = TestJpeg(64, 48);
  std::vector<uint8_t> flipped = good;  // scan data overwritten with marker-like garbage
  std::fill(flipped.begin() + flipped.size() / 2, flipped.end() - 2, 0xFF);
  std::vector<uint8_t> noHeader = good;
  noHeader[0] = 0;
  const std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() * 2 / 3);
  const std::vector<uint8_t> headerOnly(good.begin(), good.begin() + 100);
  const int stride = 64 * 4;
  struct Row {
    const char* what;
    const std::vector<uint8_t>* data;
    int width, height;
    std::size_t capacity;
    Result want;
  } rows[] = {
      {"truncated scan", &truncated, 64, 48, std::size_t(stride) * 48, Result::kCorrupt},
      {"garbage scan", &flipped, 64, 48, std::size_t(stride) * 48, Result::kCorrupt},
      {"no SOI", &noHeader, 64, 48, std::size_t(stride) * 48, Result::kNotJpeg},
      {"cut inside the header", &headerOnly, 64, 48, std::size_t(stride) * 48, Result::kNotJpeg},
      {"larger than negotiated", &good, 32, 24, std::size_t(stride) * 48, Result::kSizeMismatch},
      {"smaller than negotiated", &good, 64, 96, std::size_t(stride) * 96, Result::kSizeMismatch},
      {"buffer one byte short", &good, 64, 48, std::size_t(stride) * 48 - 1, Result::kBadTarget},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> out(std::size_t(stride) * 100, kGuard);
    EXPECT_EQ(
        decoder.Decode(r.data->data(), r.data->size(), out.data(), r.capacity, r.width, r.height, stride),
        r.want)
        << r.what;
    if (r.want != Result::kCorrupt) {
      EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == kGuard; })) << r.what;
    } else {
      EXPECT_FALSE(decoder.LastError().empty()) << r.what;
      EXPECT_TRUE(std::all_of(out.begin() + r.capacity, out.end(), [](uint8_t b) { return b == kGuard; }));
    }
    // The same object decodes the next good frame.
    std::vector<uint8_t> next(std::size_t(stride) * 48);
    EXPECT_EQ(decoder.Decode(good.data(), good.size(), next.data(), next.size(), 64, 48, stride), Result::kOk)
        << "after " << r.what;
  }
  int w = -1, h = -1;
  EXPECT_EQ(decoder.ReadSize(noHeader.data(), noHeader.size(), w, h), Result::kNotJpeg);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(decoder.Decode(nullptr, 0, nullptr, 0, 64, 48, stride), Result::kNotJpeg);
}

// The quality read back from the tables libjpeg's own encoder writes, which
// picks the IDCT: the fast one only up to quality 85.
TEST(JpegBgrxDecoder, QualityIsReadBackFromTheEncodersTables) {
  jpeg_compress_struct c;
  jpeg_error_mgr errors;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  c.in_color_space = JCS_RGB;
  c.input_components = 3;
  jpeg_set_defaults(&c);
  // (Below about 30 the encoder clips coarse steps to 255 and the estimate
  // runs high; only the qualities near the IDCT's limit need to be exact.)
  for (int quality : {30, 50, 60, 75, 84, 85, 86, 90, 95, 99}) {
    jpeg_set_quality(&c, quality, TRUE);
    uint16_t table[64];
    for (int i = 0; i < 64; ++i) table[i] = uint16_t(c.quant_tbl_ptrs[0]->quantval[i]);
    const int estimate = EstimatedJpegQuality(table);
    EXPECT_NEAR(estimate, quality, 1) << quality;
    EXPECT_EQ(estimate <= kFastIdctMaxQuality, quality <= 85) << quality;
  }
  jpeg_destroy_compress(&c);
  uint16_t ones[64];
  std::fill(std::begin(ones), std::end(ones), uint16_t(1));
  EXPECT_GE(EstimatedJpegQuality(ones), 99);
}

namespace {

// libjpeg's own decode of `jpeg` at 1/`denom` (its default upsampling and
// inverse DCT), as packed BGRx rows; the size in `width` and `height`.
std::vector<uint8_t> ReducedReference(const std::vector<uint8_t>& jpeg, int denom, int& width, int& height) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGRX;
  cinfo.scale_num = 1;
  cinfo.scale_denom = unsigned(denom);
  jpeg_start_decompress(&cinfo);
  width = int(cinfo.output_width);
  height = int(cinfo.output_height);
  std::vector<uint8_t> out(std::size_t(width) * height * 4);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.data() + std::size_t(cinfo.output_scanline) * width * 4;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

}  // namespace

// Pictures shown small are decoded at 1/2, 1/4 or 1/8 of their size: the
// reduction chosen never goes below the size shown, and the reduced
// pixels are libjpeg's own reduced decode of the frame.
TEST(JpegBgrxDecoder, ReducedDecodesMatchLibjpegsScaledDecodeAtTheReductionTheShownSizeAllows) {
  struct Scale {
    int shownWidth, shownHeight, want;
  } scales[] = {{0, 0, 1},     {720, 480, 1}, {400, 200, 1}, {361, 1, 1}, {360, 240, 2},
                {359, 100, 2}, {180, 120, 4}, {181, 100, 2}, {90, 60, 8}, {10, 10, 8}};
  for (const Scale& s : scales)
    EXPECT_EQ(ReducedJpegScale(720, 480, s.shownWidth, s.shownHeight), s.want)
        << s.shownWidth << "x" << s.shownHeight;

  JpegBgrxDecoder decoder;
  struct Row {
    int width, height, denom;
  } rows[] = {{720, 480, 2}, {720, 480, 4}, {720, 480, 8}, {721, 481, 2}, {33, 17, 8}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.width) + "x" + std::to_string(r.height) + " / " + std::to_string(r.denom));
    const std::vector<uint8_t> jpeg = TestJpeg(r.width, r.height);
    int wantW = 0, wantH = 0;
    const std::vector<uint8_t> want = ReducedReference(jpeg, r.denom, wantW, wantH);
    int w = 0, h = 0;
    ReducedJpegSize(r.width, r.height, r.denom, w, h);
    ASSERT_EQ(w, wantW);
    ASSERT_EQ(h, wantH);
    std::vector<uint8_t> out(std::size_t(w) * h * 4 + 64, kGuard);
    const std::size_t capacity = std::size_t(w) * h * 4;
    ASSERT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), out.data(), capacity, w, h, w * 4, nullptr, r.denom),
              Result::kOk);
    EXPECT_GE(CompareColours(out.data(), w * 4, want, w, h).psnr, 30.0);
    EXPECT_TRUE(std::all_of(out.begin() + capacity, out.end(), [](uint8_t b) { return b == kGuard; }));
    // The full size with a reduction asked for, or an odd reduction: refused.
    std::vector<uint8_t> full(std::size_t(r.width) * r.height * 4);
    EXPECT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), full.data(), full.size(), r.width, r.height,
                             r.width * 4, nullptr, r.denom),
              Result::kSizeMismatch);
    EXPECT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), out.data(), capacity, w, h, w * 4, nullptr, 3),
              Result::kBadTarget);
  }
}
