// "qmxjpegdec" in a real pipeline: appsrc ! qmxjpegdec ! appsink.
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "gst/element_registry.h"
#include "metadata/deinterlace.h"
#include "snapshot/bgrx_scaler.h"
#include "snapshot/jpeg_bgrx_decoder.h"
#include "test_pictures.h"

namespace {

struct Unref {
  void operator()(gpointer p) const { gst_object_unref(p); }
};
using Ptr = std::unique_ptr<GstElement, Unref>;

struct Frame {
  int width = 0, height = 0, stride = 0;
  std::vector<uint8_t> pixels;
};

struct Decoded {
  std::vector<Frame> frames;
  int warnings = 0;
  int errors = 0;
};

GstBuffer* Wrap(const std::vector<uint8_t>& bytes, int index) {
  GstBuffer* b = gst_buffer_new_memdup(bytes.data(), bytes.size());
  GST_BUFFER_PTS(b) = index * GST_SECOND / 30;
  GST_BUFFER_DURATION(b) = GST_SECOND / 30;
  return b;
}

// `chain`: what follows the source, before the sink.
Decoded Decode(const std::vector<std::vector<uint8_t>>& jpegs, const std::string& chain = "qmxjpegdec") {
  gst_init(nullptr, nullptr);
  EXPECT_TRUE(RegisterQmxElements());
  GError* error = nullptr;
  Ptr pipeline(gst_parse_launch(("appsrc name=src format=time caps=image/jpeg,framerate=30/1 ! " + chain +
                                 " ! appsink name=sink sync=false")
                                    .c_str(),
                                &error));
  EXPECT_EQ(error, nullptr) << (error ? error->message : "");
  if (error) g_error_free(error);
  Decoded run;
  if (!pipeline) return run;
  Ptr src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
  Ptr sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
  gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
  for (size_t i = 0; i < jpegs.size(); ++i)
    gst_app_src_push_buffer(GST_APP_SRC(src.get()), Wrap(jpegs[i], int(i)));
  gst_app_src_end_of_stream(GST_APP_SRC(src.get()));
  while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 5 * GST_SECOND)) {
    GstVideoInfo info;
    GstMapInfo map;
    if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
        gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ)) {
      EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&info), GST_VIDEO_FORMAT_BGRx);
      Frame f{GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info),
              GST_VIDEO_INFO_PLANE_STRIDE(&info, 0), std::vector<uint8_t>(map.data, map.data + map.size)};
      run.frames.push_back(std::move(f));
      gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
    }
    gst_sample_unref(sample);
  }
  std::unique_ptr<GstBus, Unref> bus(gst_element_get_bus(pipeline.get()));
  while (GstMessage* m =
             gst_bus_pop_filtered(bus.get(), GstMessageType(GST_MESSAGE_WARNING | GST_MESSAGE_ERROR))) {
    (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR ? run.errors : run.warnings)++;
    gst_message_unref(m);
  }
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  return run;
}

}  // namespace

// Good frames come out as libjpeg decodes them, a frame of another size
// renegotiates the output, and damaged frames are dropped with a warning
// while the stream goes on.
TEST(JpegDecoderElement, DecodesLikeLibjpegFollowsSizeChangesAndSkipsDamagedFrames) {
  const std::vector<uint8_t> a = TestJpeg(33, 17), b = TestJpeg(4, 9);
  const std::vector<uint8_t> truncated(a.begin(), a.begin() + a.size() / 2);
  const std::vector<uint8_t> garbage(3000, 0x5A);
  const Decoded run = Decode({a, truncated, garbage, a, b, a});
  ASSERT_EQ(run.frames.size(), 4u);
  EXPECT_EQ(run.errors, 0);
  EXPECT_EQ(run.warnings, 2);
  const std::vector<uint8_t> wantA = ReferenceBgrx(a), wantB = ReferenceBgrx(b);
  const int sizes[4][2] = {{33, 17}, {33, 17}, {4, 9}, {33, 17}};
  for (size_t i = 0; i < run.frames.size(); ++i) {
    const Frame& f = run.frames[i];
    ASSERT_EQ(f.width, sizes[i][0]) << i;
    ASSERT_EQ(f.height, sizes[i][1]) << i;
    ASSERT_GE(f.pixels.size(), size_t(f.stride) * f.height);
    EXPECT_GE(CompareColours(f.pixels.data(), f.stride, f.width == 4 ? wantB : wantA, f.width, f.height).psnr,
              kMinDecodePsnr)
        << i;
  }
}

TEST(JpegDecoderElement, AStreamOfNothingButDamageEndsCleanly) {
  const Decoded run =
      Decode({std::vector<uint8_t>(10, 0xFF), std::vector<uint8_t>(1, 0), {0xFF, 0xD8, 0xFF}});
  EXPECT_TRUE(run.frames.empty());
  EXPECT_EQ(run.errors, 0);
  EXPECT_EQ(run.warnings, 3);
}

namespace {

// Full-height pictures are deinterlaced exactly once, by the decoder as its
// rows come out when asked, else by the overlay; other sizes never are.
TEST(JpegDecoderElement, FullHeightPicturesAreDeinterlacedOnceByTheDecoderOrTheOverlay) {
  struct Row {
    const char* chain;
    int width, height;
    int passes;  // 0 none, 1 adaptive, 2 fast
  } rows[] = {
      {"qmxjpegdec deinterlace=1", 720, 480, 1},
      {"qmxjpegdec deinterlace=2", 720, 576, 2},
      {"qmxjpegdec deinterlace=1 ! qmxoverlay", 640, 480, 1},
      {"qmxjpegdec deinterlace=2 ! qmxoverlay", 720, 480, 2},
      {"qmxjpegdec ! qmxoverlay", 720, 576, 1},
      {"qmxjpegdec", 720, 480, 0},
      {"qmxjpegdec deinterlace=1 ! qmxoverlay", 320, 240, 0},
  };
  for (const Row& r : rows) {
    const std::vector<uint8_t> jpeg = TestJpeg(r.width, r.height);
    std::vector<uint8_t> want(std::size_t(r.width) * r.height * 4);
    JpegBgrxDecoder decoder;
    ASSERT_EQ(
        decoder.Decode(jpeg.data(), jpeg.size(), want.data(), want.size(), r.width, r.height, r.width * 4),
        JpegBgrxDecoder::Result::kOk);
    if (r.passes) FastDeinterlaceFrame(want.data(), r.width, r.height, r.passes == 2);
    const Decoded run = Decode({jpeg, jpeg}, r.chain);
    ASSERT_EQ(run.frames.size(), 2u) << r.chain;
    for (const Frame& f : run.frames) {
      ASSERT_EQ(f.stride, r.width * 4) << r.chain;
      std::vector<uint8_t> got(f.pixels.begin(), f.pixels.begin() + std::ptrdiff_t(want.size()));
      // The X byte carries no meaning.
      for (std::size_t i = 3; i < want.size(); i += 4) got[i] = want[i];
      EXPECT_TRUE(got == want) << r.chain << " at " << r.width << "x" << r.height;
    }
  }
}

}  // namespace

namespace {

// The plain bilinear sample of packed BGRx `from` (w × h) at `to`'s size:
// centres onto centres, in doubles.
std::vector<uint8_t> Bilinear(const std::vector<uint8_t>& from, int w, int h, int toW, int toH) {
  std::vector<uint8_t> out(std::size_t(toW) * toH * 4);
  auto at = [](int i, int source, int size, int& first, double& t) {
    const double s = std::clamp((i + 0.5) * source / size - 0.5, 0.0, source - 1.0);
    first = std::min(int(s), source - 2 < 0 ? 0 : source - 2);
    t = s - first;
  };
  for (int y = 0; y < toH; ++y) {
    int y0 = 0, x0 = 0;
    double ty = 0, tx = 0;
    at(y, h, toH, y0, ty);
    const int y1 = std::min(y0 + 1, h - 1);
    for (int x = 0; x < toW; ++x) {
      at(x, w, toW, x0, tx);
      const int x1 = std::min(x0 + 1, w - 1);
      for (int k = 0; k < 3; ++k) {
        auto p = [&](int px, int py) { return double(from[(std::size_t(py) * w + px) * 4 + k]); };
        const double v =
            (p(x0, y0) * (1 - tx) + p(x1, y0) * tx) * (1 - ty) + (p(x0, y1) * (1 - tx) + p(x1, y1) * tx) * ty;
        out[(std::size_t(y) * toW + x) * 4 + k] = uint8_t(std::lround(v));
      }
    }
  }
  return out;
}

// A picture shown smaller than its size comes out of the decoder at the
// shown size, never smaller on either side: the reduced inverse DCT as far
// as it still covers the shown size, then a bilinear scale of that decode
// (deinterlaced first when the full picture is), to no less than half of it.
TEST(JpegDecoderElement, PicturesShownSmallComeOutAtTheShownSizeNeverBelowIt) {
  struct Row {
    int width, height, shownWidth, shownHeight;
    int denom, outWidth, outHeight;
  } rows[] = {
      {720, 480, 0, 0, 1, 720, 480},       // no size known: the full picture
      {720, 480, 1000, 700, 1, 720, 480},  // shown larger: never enlarged here
      {720, 480, 720, 480, 1, 720, 480},   //
      {720, 480, 519, 346, 1, 519, 346},   // the default window's quad panes, about
      {720, 480, 411, 274, 1, 411, 274},   //
      {720, 480, 361, 240, 1, 361, 240},   // a pixel too wide for the half size
      {720, 480, 360, 240, 2, 360, 240},   // the half size exactly: no scaling
      {720, 480, 359, 239, 2, 359, 239},   //
      {720, 480, 181, 120, 2, 181, 120},   //
      {720, 480, 100, 60, 4, 100, 60},     //
      {720, 480, 90, 60, 8, 90, 60},       //
      {720, 480, 700, 100, 1, 700, 240},   // far flatter than the picture: half at most
      {33, 17, 20, 9, 1, 20, 9},           // odd sizes, rows shorter than a vector
      {721, 481, 500, 333, 1, 500, 333},   //
  };
  for (const Row& r : rows) {
    const std::string size = std::to_string(r.width) + "x" + std::to_string(r.height) + " shown at " +
                             std::to_string(r.shownWidth) + "x" + std::to_string(r.shownHeight);
    SCOPED_TRACE(size);
    const ShownJpegSize chosen = ChooseShownJpegSize(r.width, r.height, r.shownWidth, r.shownHeight);
    EXPECT_EQ(chosen.scaleDenom, r.denom);
    const std::vector<uint8_t> jpeg = TestJpeg(r.width, r.height);
    // Through the element as the engine sets it up (fast deinterlace on,
    // and the adaptive one), on both vector paths, which agree exactly.
    const std::string shownSize =
        " shown-width=" + std::to_string(r.shownWidth) + " shown-height=" + std::to_string(r.shownHeight);
    const bool wide = BgrxScalerWithWideVectors(true);
    const Decoded run = Decode({jpeg}, "qmxjpegdec deinterlace=2" + shownSize);
    BgrxScalerWithWideVectors(false);
    const Decoded narrow = Decode({jpeg}, "qmxjpegdec deinterlace=2" + shownSize);
    BgrxScalerWithWideVectors(wide);
    const Decoded adaptive = Decode({jpeg}, "qmxjpegdec deinterlace=1" + shownSize);
    ASSERT_EQ(run.frames.size(), 1u);
    ASSERT_EQ(narrow.frames.size(), 1u);
    ASSERT_EQ(adaptive.frames.size(), 1u);
    EXPECT_TRUE(run.frames[0].pixels == narrow.frames[0].pixels);
    const Frame& f = run.frames[0];
    EXPECT_EQ(f.width, r.outWidth);
    EXPECT_EQ(f.height, r.outHeight);
    EXPECT_GE(f.width, std::min(r.shownWidth, r.width));
    EXPECT_GE(f.height, std::min(r.shownHeight, r.height));
    // The reference: the decoder's own decode at that reduction (libjpeg's,
    // see above), deinterlaced at the full size, sampled bilinear.
    int w = 0, h = 0;
    ReducedJpegSize(r.width, r.height, r.denom, w, h);
    std::vector<uint8_t> decoded(std::size_t(w) * h * 4);
    JpegBgrxDecoder decoder;
    ASSERT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), decoded.data(), decoded.size(), w, h, w * 4, nullptr,
                             r.denom),
              JpegBgrxDecoder::Result::kOk);
    std::vector<uint8_t> adaptiveDecoded = decoded;
    if (r.denom == 1 && r.width == 720 && r.height == 480) {
      FastDeinterlaceFrame(decoded.data(), w, h, true);
      FastDeinterlaceFrame(adaptiveDecoded.data(), w, h, false);
    }
    const std::vector<uint8_t> want = Bilinear(decoded, w, h, f.width, f.height);
    const ColourDistance d = CompareColours(f.pixels.data(), f.stride, want, f.width, f.height);
    EXPECT_GE(d.psnr, 40.0);
    EXPECT_LE(d.maxDifference, 2);
    const Frame& a = adaptive.frames[0];
    const ColourDistance da = CompareColours(
        a.pixels.data(), a.stride, Bilinear(adaptiveDecoded, w, h, a.width, a.height), a.width, a.height);
    EXPECT_GE(da.psnr, 40.0);
    EXPECT_LE(da.maxDifference, 2);
  }
}

}  // namespace
