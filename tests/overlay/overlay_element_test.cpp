#include <gtest/gtest.h>

#include <gst/video/video.h>

#include <thread>

#include "box_font.h"
#include "gst/element_registry.h"
#include "gst/overlay_element.h"
#include "gst_test_support.h"
#include "metadata/metadata_sample.h"
#include "metadata/overlay_filter.h"

namespace {

struct Recorder : CMetadataInterface {
  std::vector<std::string> labels;
  void OnMetadata(const char*, const char* label, const char*) override { labels.emplace_back(label); }
};

// appsrc (caps) ! FACTORY dvr-kind=K name=ov ! appsink name=sink, pushing `buffers`.
PipelineOutput PushThrough(const std::string& factory, int dvrKind, const std::string& caps,
                           std::vector<GstBuffer*> buffers, void (*prepare)(COverlayFilter*) = nullptr) {
  const std::string description = "appsrc name=src format=time caps=\"" + caps + "\" ! " + factory +
                                  " name=ov dvr-kind=" + std::to_string(dvrKind) +
                                  " ! appsink name=sink sync=false";
  GError* error = nullptr;
  ElementPtr pipeline(gst_parse_launch(description.c_str(), &error));
  EXPECT_EQ(error, nullptr) << (error ? error->message : "");
  if (error) g_error_free(error);
  return RunPipeline(pipeline.get(), [&](GstElement* p) {
    ElementPtr ov(gst_bin_get_by_name(GST_BIN(p), "ov"));
    COverlayFilter* filter = OverlayElementFilter(ov.get());
    EXPECT_NE(filter, nullptr);
    if (filter && prepare) prepare(filter);
    ElementPtr src(gst_bin_get_by_name(GST_BIN(p), "src"));
    for (GstBuffer* b : buffers) gst_app_src_push_buffer(GST_APP_SRC(src.get()), b);
    gst_app_src_end_of_stream(GST_APP_SRC(src.get()));
  });
}

GstBuffer* BufferOf(const std::vector<uint8_t>& bytes) {
  GstBuffer* b = gst_buffer_new_allocate(nullptr, bytes.size(), nullptr);
  gst_buffer_fill(b, 0, bytes.data(), bytes.size());
  return b;
}

// Rows alternate 0 / 200, so deinterlacing shows on every rebuilt row.
std::vector<uint8_t> StripedFrame(int width, int height) {
  std::vector<uint8_t> f(std::size_t(width) * height * 4);
  for (int y = 0; y < height; ++y)
    std::fill_n(f.begin() + std::size_t(y) * width * 4, width * 4, uint8_t(y % 2 ? 200 : 0));
  return f;
}

TEST(OverlayElement, RegistersOnceFromAnyThreadAndExposesTheFilter) {
  bool a = false, b = false;
  std::thread t1([&] { a = RegisterQmxElements(); }), t2([&] { b = RegisterQmxElements(); });
  t1.join();
  t2.join();
  EXPECT_TRUE(a && b);
  const struct {
    const char* factory;
    FilterRole role;
  } elements[] = {{"qmxmetaextract", FilterRole::kExtractor},
                  {"qmxoverlay", FilterRole::kOverlay},
                  {"qmxaudiotransform", FilterRole::kAudio},
                  {"qmxmultimeta", FilterRole::kMulti}};
  for (const auto& e : elements) {
    ElementPtr element(
        gst_element_factory_make_full(e.factory, "name", "Meta Data Extractor 2", "dvr-kind", 2, nullptr));
    ASSERT_TRUE(element) << e.factory;
    gst_object_ref_sink(element.get());
    COverlayFilter* f = OverlayElementFilter(element.get());
    ASSERT_NE(f, nullptr) << e.factory;
    EXPECT_EQ(f->Role(), e.role) << e.factory;
    EXPECT_EQ(f->Name(), "Meta Data Extractor 2");
    EXPECT_EQ(f->DvrKind(), DvrLayout::kTwoChannelStacked) << e.factory;
    int kind = -1;
    g_object_get(element.get(), "dvr-kind", &kind, nullptr);
    EXPECT_EQ(kind, 2) << e.factory;
  }
  ElementPtr other(gst_element_factory_make("identity", nullptr));
  gst_object_ref_sink(other.get());
  EXPECT_EQ(OverlayElementFilter(other.get()), nullptr);
  EXPECT_EQ(OverlayElementFilter(nullptr), nullptr);
}

// The recorders' kind numbers are what crosses the element's property: each
// one reaches the filter as its layout and reads back unchanged.
TEST(OverlayElement, DvrKindNumbersCrossThePropertyBothWays) {
  ASSERT_TRUE(RegisterQmxElements());
  const struct {
    int number;
    DvrLayout layout;
  } rows[] = {{0, DvrLayout::kFourChannel},
              {1, DvrLayout::kTwoChannelTextLines},
              {2, DvrLayout::kTwoChannelStacked},
              {3, DvrLayout::kTwoChannelWide}};
  for (const auto& r : rows) {
    EXPECT_EQ(DvrLayoutFromKindNumber(r.number), r.layout) << r.number;
    EXPECT_EQ(DvrKindNumber(r.layout), r.number);
    ElementPtr element(gst_element_factory_make_full("qmxoverlay", "dvr-kind", r.number, nullptr));
    ASSERT_TRUE(element) << r.number;
    gst_object_ref_sink(element.get());
    EXPECT_EQ(OverlayElementFilter(element.get())->DvrKind(), r.layout) << r.number;
    int back = -1;
    g_object_get(element.get(), "dvr-kind", &back, nullptr);
    EXPECT_EQ(back, r.number);
  }
  for (int stray : {-1, 4, 255}) EXPECT_EQ(DvrLayoutFromKindNumber(stray), DvrLayout::kFourChannel) << stray;
}

TEST(OverlayElement, VideoRoleDeinterlacesKnownFramesAndPassesOthers) {
  struct Case {
    int width, height;
    bool deinterlaced;
  } cases[] = {{640, 480, true}, {4, 9, false}, {480, 640, false}, {720, 480, true}};
  for (const Case& c : cases) {
    const std::string caps = "video/x-raw,format=BGRx,width=" + std::to_string(c.width) +
                             ",height=" + std::to_string(c.height) + ",framerate=10/1";
    const std::vector<uint8_t> frame = StripedFrame(c.width, c.height);
    PipelineOutput out = PushThrough("qmxoverlay", 0, caps, {BufferOf(frame), BufferOf(frame)});
    ASSERT_EQ(out.buffers.size(), 2u) << c.width << "x" << c.height;
    EXPECT_FALSE(out.error);
    EXPECT_NE(out.caps.find("width=(int)" + std::to_string(c.width)), std::string::npos) << out.caps;
    EXPECT_EQ(out.buffers[1] != frame, c.deinterlaced) << c.width << "x" << c.height;
    if (c.deinterlaced) {
      EXPECT_EQ(out.buffers[1][std::size_t(2) * c.width * 4], 200);  // row 2 rebuilt
    }
  }
}

TEST(OverlayElement, PaddedRowsAreProcessedWithoutTouchingThePadding) {
  const int width = 640, height = 480, stride = width * 4 + 64;
  std::vector<uint8_t> padded(std::size_t(stride) * height, 0xAB);
  const std::vector<uint8_t> frame = StripedFrame(width, height);
  for (int y = 0; y < height; ++y)
    std::copy_n(frame.begin() + y * width * 4, width * 4, padded.begin() + y * stride);
  GstBuffer* b = BufferOf(padded);
  gsize offsets[GST_VIDEO_MAX_PLANES] = {0};
  gint strides[GST_VIDEO_MAX_PLANES] = {stride};
  gst_buffer_add_video_meta_full(b, GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_FORMAT_BGRx, width, height, 1,
                                 offsets, strides);
  PipelineOutput out =
      PushThrough("qmxoverlay", 0, "video/x-raw,format=BGRx,width=640,height=480,framerate=10/1", {b});
  ASSERT_EQ(out.buffers.size(), 1u);
  const std::vector<uint8_t>& o = out.buffers[0];
  EXPECT_EQ(o[std::size_t(2) * stride], 200);               // row 2 rebuilt
  EXPECT_EQ(o[std::size_t(0) * stride], 0);                 // top row kept
  EXPECT_EQ(o[std::size_t(2) * stride + width * 4], 0xAB);  // padding untouched
}

TEST(OverlayElement, VideoRoleRefusesOtherFormats) {
  std::vector<uint8_t> i420(4 * 4 * 3 / 2, 0);
  PipelineOutput out = PushThrough("qmxoverlay", 0, "video/x-raw,format=I420,width=4,height=4,framerate=10/1",
                                   {BufferOf(i420)});
  EXPECT_TRUE(out.buffers.empty());
  EXPECT_TRUE(out.error);
}

TEST(OverlayElement, AudioRoleMixesStereoOnly) {
  const std::vector<uint8_t> pair = {0xE8, 0x03, 0xD0, 0x07};  // 1000, 2000
  auto stereoOn = [](COverlayFilter* f) { f->SetStereoOn(true); };
  PipelineOutput stereo =
      PushThrough("qmxaudiotransform", 0, "audio/x-raw,format=S16LE,layout=interleaved,rate=8000,channels=2",
                  {BufferOf(pair)}, stereoOn);
  ASSERT_EQ(stereo.buffers.size(), 1u);
  EXPECT_EQ(stereo.buffers[0], (std::vector<uint8_t>{0x33, 0x17, 0x33, 0x17}));  // 5939 in both
  PipelineOutput mono =
      PushThrough("qmxaudiotransform", 0, "audio/x-raw,format=S16LE,layout=interleaved,rate=8000,channels=1",
                  {BufferOf(pair)}, stereoOn);
  ASSERT_EQ(mono.buffers.size(), 1u);
  EXPECT_EQ(mono.buffers[0], pair);
}

Recorder gRecorder;

TEST(OverlayElement, ExtractorRolePassesAnyCapsAndDeliversLabels) {
  MetadataSample s;
  std::vector<uint8_t> frame(6000, 0x11);
  PackMetadataSample(s, frame.data() + kFrameMetadataOffset);
  PipelineOutput out =
      PushThrough("qmxmetaextract", 0, "image/jpeg,width=720,height=480,framerate=10/1",
                  {BufferOf(frame), BufferOf(frame)}, [](COverlayFilter* f) { f->SetListener0(&gRecorder); });
  ASSERT_EQ(out.buffers.size(), 2u);
  EXPECT_EQ(out.buffers[0], frame);
  EXPECT_NE(out.caps.find("image/jpeg"), std::string::npos);
  ASSERT_EQ(gRecorder.labels.size(), 20u);
  EXPECT_EQ(gRecorder.labels[0], "UTC Time");
  EXPECT_EQ(gRecorder.labels[19], "Triggers");
}

}  // namespace
