// The JPEG frames and their pictures: segment placement, padding, the
// frame-number mark through a real JPEG round trip, the μ-law tones.

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "camera_picture.h"
#include "frame_mark.h"
#include "mulaw_tone.h"
#include "snapshot/jpeg_memory_encoder.h"

namespace {

struct DecodeError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// Decodes with libjpeg to top-down BGRx; false when libjpeg rejects the data.
bool DecodeToBgrx(const std::vector<uint8_t>& jpeg, std::vector<uint8_t>& bgrx, int& w, int& h) {
  jpeg_decompress_struct cinfo;
  DecodeError err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<DecodeError*>(c->err)->jump, 1); };
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);
  w = int(cinfo.output_width);
  h = int(cinfo.output_height);
  bgrx.assign(std::size_t(w) * std::size_t(h) * 4, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = bgrx.data() + std::size_t(cinfo.output_scanline) * std::size_t(w) * 4;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

std::vector<uint8_t> Picture(int w, int h, int camera, int64_t frame) {
  std::vector<uint8_t> rgb(std::size_t(w) * std::size_t(h) * 3);
  recgen::PaintCameraPicture(rgb.data(), w * 3, 0, 0, w, h, camera, frame);
  return rgb;
}

TEST(JpegMemoryEncoder, PutsTheFirstHeaderSegmentPayloadAtByte24AndPadsBeforeEnd) {
  const auto rgb = Picture(320, 240, 1, 7);
  JpegEncodeOptions o;
  o.headerSegments.push_back({0xE4, std::vector<uint8_t>{'M', 'E', 'T', 'A', 1, 2, 3}});
  o.minimumBytes = 20000;
  o.trailingBytes = {'e', 'n', 'd', 0};
  std::vector<uint8_t> jpeg;
  std::string error;
  ASSERT_TRUE(EncodeJpegToMemory(rgb.data(), 320, 240, 320 * 3, o, jpeg, error)) << error;
  EXPECT_EQ(jpeg[20], 0xFF);
  EXPECT_EQ(jpeg[21], 0xE4);
  EXPECT_EQ(std::string(jpeg.begin() + 24, jpeg.begin() + 28), "META");
  EXPECT_EQ(jpeg.size(), 20000u);
  EXPECT_EQ(std::string(jpeg.end() - 6, jpeg.end() - 2), std::string("end\0", 4));
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_EQ(jpeg.back(), 0xD9);
  std::vector<uint8_t> bgrx;
  int w = 0, h = 0;
  ASSERT_TRUE(DecodeToBgrx(jpeg, bgrx, w, h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(DecodeFrameNumber(bgrx.data(), w, h, w * 4), 7);
}

TEST(JpegMemoryEncoder, PaddingLargerThanOneSegmentStillDecodesAndHitsTheSize) {
  const auto rgb = Picture(64, 64, 2, 0);
  JpegEncodeOptions o;
  o.minimumBytes = 150000;
  o.trailingBytes.assign(126, 'x');
  std::vector<uint8_t> jpeg, bgrx;
  std::string error;
  ASSERT_TRUE(EncodeJpegToMemory(rgb.data(), 64, 64, 64 * 3, o, jpeg, error)) << error;
  EXPECT_GE(jpeg.size(), 150000u);
  EXPECT_LE(jpeg.size(), 150004u);
  EXPECT_EQ(jpeg[jpeg.size() - 3], 'x');
  int w, h;
  EXPECT_TRUE(DecodeToBgrx(jpeg, bgrx, w, h));
}

TEST(JpegMemoryEncoder, RejectsBadArgumentsWithoutTouchingTheOutput) {
  const auto rgb = Picture(16, 16, 1, 0);
  std::vector<uint8_t> out{1, 2, 3};
  std::string error;
  JpegEncodeOptions o;
  EXPECT_FALSE(EncodeJpegToMemory(nullptr, 16, 16, 48, o, out, error));
  EXPECT_FALSE(EncodeJpegToMemory(rgb.data(), 0, 16, 48, o, out, error));
  EXPECT_FALSE(EncodeJpegToMemory(rgb.data(), 16, 16, 47, o, out, error));
  o.quality = 0;
  EXPECT_FALSE(EncodeJpegToMemory(rgb.data(), 16, 16, 48, o, out, error));
  o.quality = 80;
  o.headerSegments.push_back({0xC0, {}});  // not an APPn/COM marker
  EXPECT_FALSE(EncodeJpegToMemory(rgb.data(), 16, 16, 48, o, out, error));
  o.headerSegments.clear();
  o.trailingBytes.assign(70000, 0);
  EXPECT_FALSE(EncodeJpegToMemory(rgb.data(), 16, 16, 48, o, out, error));
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3}));
}

// Every camera size the generator writes, at low quality, with frame numbers
// that exercise every bit, survives a JPEG round trip.
TEST(FrameMark, SurvivesJpegAtEveryPictureSize) {
  const std::pair<int, int> sizes[] = {{720, 480}, {640, 480}, {720, 576},
                                       {360, 288}, {360, 240}, {320, 240}};
  const int64_t frames[] = {0, 1, 2, 12345, 699050, recgen::kMaxMarkedFrame};
  for (auto [w, h] : sizes) {
    for (int64_t frame : frames) {
      const auto rgb = Picture(w, h, int(frame % 4) + 1, frame);
      JpegEncodeOptions o;
      o.quality = 40;
      std::vector<uint8_t> jpeg, bgrx;
      std::string error;
      ASSERT_TRUE(EncodeJpegToMemory(rgb.data(), w, h, w * 3, o, jpeg, error));
      int dw, dh;
      ASSERT_TRUE(DecodeToBgrx(jpeg, bgrx, dw, dh));
      EXPECT_EQ(DecodeFrameNumber(bgrx.data(), dw, dh, dw * 4), frame) << w << "x" << h;
    }
  }
}

TEST(FrameMark, UnreadablePicturesGiveMinusOne) {
  std::vector<uint8_t> grey(720 * 480 * 4, 128), white(720 * 480 * 4, 255);
  EXPECT_EQ(DecodeFrameNumber(grey.data(), 720, 480, 720 * 4), -1);
  EXPECT_EQ(DecodeFrameNumber(white.data(), 720, 480, 720 * 4), -1);
  EXPECT_EQ(DecodeFrameNumber(white.data(), 100, 40, 100 * 4), -1) << "too small";
  EXPECT_EQ(DecodeFrameNumber(nullptr, 720, 480, 720 * 4), -1);
  EXPECT_EQ(DecodeFrameNumber(white.data(), 720, 480, 100), -1) << "stride shorter than a row";

  // One flipped data square breaks the check.
  std::vector<uint8_t> bgrx(360 * 240 * 4);
  const auto rgb = Picture(360, 240, 1, 4660);
  for (std::size_t i = 0; i < 360 * 240; ++i)
    bgrx[4 * i] = rgb[3 * i + 2], bgrx[4 * i + 1] = rgb[3 * i + 1], bgrx[4 * i + 2] = rgb[3 * i];
  ASSERT_EQ(DecodeFrameNumber(bgrx.data(), 360, 240, 360 * 4), 4660);
  const int square = 8, x0 = (360 - 26 * 8) / 2 / 8 * 8, y0 = (120 - 4) / 8 * 8;
  const int flipped = x0 + 10 * square;
  for (int y = y0; y < y0 + square; ++y)
    for (int x = flipped; x < flipped + square; ++x)
      for (int c = 0; c < 3; ++c) bgrx[std::size_t(y * 360 + x) * 4 + std::size_t(c)] ^= 0xFF;
  EXPECT_EQ(DecodeFrameNumber(bgrx.data(), 360, 240, 360 * 4), -1);
}

TEST(MuLawTone, EncodesG711AndKeepsThePhaseAcrossPieces) {
  EXPECT_EQ(recgen::LinearToMuLaw(0), 0xFF);
  EXPECT_EQ(recgen::LinearToMuLaw(-1), 0x7F);
  EXPECT_EQ(recgen::LinearToMuLaw(32767), 0x80);
  EXPECT_EQ(recgen::LinearToMuLaw(-32768), 0x00);
  EXPECT_EQ(recgen::LinearToMuLaw(1000), 0xCE);

  const auto whole = recgen::MuLawTone(3, 100, 600);
  auto joined = recgen::MuLawTone(3, 100, 267);
  const auto second = recgen::MuLawTone(3, 367, 333);
  joined.insert(joined.end(), second.begin(), second.end());
  EXPECT_EQ(joined, whole);
  EXPECT_EQ(recgen::AudioSampleOfFrame(30, 3), 800);
  EXPECT_EQ(recgen::AudioSampleOfFrame(29.97, 29970), 8000 * 1000);
}

}  // namespace
