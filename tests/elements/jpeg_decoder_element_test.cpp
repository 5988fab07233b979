// "qmxjpegdec" in a real pipeline: appsrc ! qmxjpegdec ! appsink.
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gst/element_registry.h"
#include "metadata/deinterlace.h"
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
