// The live channel's source: its frame queue, time stamps and sync points,
// as plain code and through the qmxpushsrc element in a real pipeline.

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/pipeline/gst_handles.h"
#include "gst/push_source_element.h"
#include "live/pin_supplier.h"
#include "live/push_pin.h"

namespace {

std::vector<uint8_t> FrameBytes(uint8_t first, std::size_t length) {
  std::vector<uint8_t> f(length, 0xAB);
  if (length) f[0] = first;
  return f;
}

void Deliver(CPushPin& pin, uint8_t first, std::size_t length = 100) {
  const auto f = FrameBytes(first, length);
  EXPECT_EQ(pin.Driver().DeliverFrame(f.data(), int32_t(f.size())), 0);
}

// A backlog is dropped to its newest frame as soon as a sample is taken.
TEST(PushPin, QueueKeepsEightAndSamplesTakeTheNewest) {
  const struct {
    int delivered;                // frames 1..delivered
    int taken;                    // samples filled afterwards
    std::vector<uint8_t> queued;  // first bytes left, oldest first
    std::vector<uint8_t> sent;    // first bytes of the samples
  } cases[] = {
      {0, 2, {}, {0, 0}},
      {1, 3, {1}, {1, 1, 1}},
      {8, 0, {1, 2, 3, 4, 5, 6, 7, 8}, {}},
      {10, 0, {1, 2, 3, 4, 5, 6, 7, 10}, {}},
      {10, 3, {10}, {10, 10, 10}},
      {3, 5, {3}, {3, 3, 3, 3, 3}},
  };
  for (const auto& c : cases) {
    CPushPin pin;
    for (int k = 1; k <= c.delivered; ++k) Deliver(pin, uint8_t(k));
    std::vector<uint8_t> sent;
    for (int k = 0; k < c.taken; ++k) {
      PushSample s;
      ASSERT_TRUE(pin.FillSample(s));
      sent.push_back(s.data.empty() ? 0 : s.data[0]);
    }
    EXPECT_EQ(pin.QueuedFirstBytes(), c.queued) << c.delivered << " delivered, " << c.taken << " taken";
    EXPECT_EQ(sent, c.sent) << c.delivered << " delivered, " << c.taken << " taken";
  }
}

TEST(PushPin, ARepeatedFrameGivesWayToANewOne) {
  CPushPin pin;
  PushSample s;
  Deliver(pin, 1);
  ASSERT_TRUE(pin.FillSample(s));
  ASSERT_TRUE(pin.FillSample(s));
  Deliver(pin, 2);
  ASSERT_TRUE(pin.FillSample(s));
  EXPECT_EQ(s.data[0], 2);  // not frame 1 a third time
}

TEST(PushPin, TimeStampsFollowTheFrameRate) {
  const struct {
    double fps;
    std::vector<int64_t> starts;
    int64_t length;
  } cases[] = {
      {30.0, {0, 333333, 666666}, 333333},
      {25.0, {0, 400000, 800000}, 400000},
      {7.0, {0, 1428571, 2857142}, 1428571},
  };
  for (const auto& c : cases) {
    CPushPin pin;
    pin.Driver().SetFormat(720, 480, c.fps);
    Deliver(pin, 1);
    for (int64_t start : c.starts) {
      PushSample s;
      ASSERT_TRUE(pin.FillSample(s));
      EXPECT_EQ(s.start, start) << c.fps;
      EXPECT_EQ(s.end, start + c.length) << c.fps;
    }
    EXPECT_EQ(pin.Width(), 720);
    EXPECT_EQ(pin.Height(), 480);
  }
}

TEST(PushPin, SyncPointsAreFramesOverFiveThousandBytes) {
  const struct {
    std::size_t length;
    bool sync;
  } cases[] = {{0, false}, {1, false}, {5000, false}, {5001, true}, {100000, true}};
  for (const auto& c : cases) {
    CPushPin pin;
    if (c.length) Deliver(pin, 1, c.length);
    PushSample s;
    ASSERT_TRUE(pin.FillSample(s));
    EXPECT_EQ(s.data.size(), c.length);
    EXPECT_EQ(s.syncPoint, c.sync) << c.length;
  }
}

TEST(PushSourceElement, SendsStampedFramesWithTheAnnouncedCaps) {
  gsth::Element pipeline(
      gst_parse_launch("qmxpushsrc name=src ! appsink name=sink sync=false max-buffers=4", nullptr));
  ASSERT_TRUE(pipeline);
  gsth::Element src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
  gsth::Element sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
  auto pin = std::make_shared<CPushPin>();
  pin->Driver().SetFormat(720, 480, 30.0);
  QmxPushSourceSetSupplier(src.get(), MakePinSupplier(pin));
  gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
  // Nothing flows until the first frame: the pull times out.
  gsth::Sample none(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 100 * GST_MSECOND));
  EXPECT_FALSE(none);
  const int64_t starts[] = {0, 33333300, 66666600};
  for (int64_t start : starts) {
    Deliver(*pin, 1, 6000);
    gsth::Sample sample(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 5 * GST_SECOND));
    ASSERT_TRUE(sample);
    GstBuffer* b = gst_sample_get_buffer(sample.get());
    EXPECT_EQ(int64_t(GST_BUFFER_PTS(b)), start);
    EXPECT_EQ(int64_t(GST_BUFFER_DURATION(b)), 33333300);
    EXPECT_EQ(gst_buffer_get_size(b), 6000u);
    EXPECT_FALSE(GST_BUFFER_FLAG_IS_SET(b, GST_BUFFER_FLAG_DELTA_UNIT));
    const GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(sample.get()), 0);
    int w = 0, h = 0, num = 0, den = 0;
    EXPECT_TRUE(gst_structure_get_int(caps, "width", &w) && gst_structure_get_int(caps, "height", &h));
    EXPECT_TRUE(gst_structure_get_fraction(caps, "framerate", &num, &den));
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(num / den, 30);
  }
  // A frame is sent once: nothing follows until the next one arrives.
  gsth::Sample again(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 100 * GST_MSECOND));
  EXPECT_FALSE(again);
  // Stopping while the element waits ends at once.
  EXPECT_EQ(gst_element_set_state(pipeline.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
}

// A new frame goes out as it arrives, not at the next frame period: at a
// rate of one frame in five seconds, frames delivered a moment apart reach
// the sink a moment apart.
TEST(PushSourceElement, SendsEachNewFrameAtOnce) {
  gsth::Element pipeline(
      gst_parse_launch("qmxpushsrc name=src ! appsink name=sink sync=false max-buffers=1", nullptr));
  ASSERT_TRUE(pipeline);
  gsth::Element src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
  gsth::Element sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
  auto pin = std::make_shared<CPushPin>();
  pin->Driver().SetFormat(360, 240, 0.2);
  QmxPushSourceSetSupplier(src.get(), MakePinSupplier(pin));
  gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
  for (uint8_t k = 1; k <= 4; ++k) {
    Deliver(*pin, k, 6000);
    gsth::Sample sample(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 2500 * GST_MSECOND));
    ASSERT_TRUE(sample) << "frame " << int(k);
    GstBuffer* b = gst_sample_get_buffer(sample.get());
    uint8_t first = 0;
    gst_buffer_extract(b, 0, &first, 1);
    EXPECT_EQ(first, k);
  }
  EXPECT_EQ(gst_element_set_state(pipeline.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
}

TEST(PushSourceElement, StopsWhileWaitingForTheFirstFrame) {
  gsth::Element pipeline(gst_parse_launch("qmxpushsrc name=src ! fakesink", nullptr));
  ASSERT_TRUE(pipeline);
  gsth::Element src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
  QmxPushSourceSetSupplier(src.get(), MakePinSupplier(std::make_shared<CPushPin>()));
  EXPECT_EQ(gst_element_set_state(pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_ASYNC);
  EXPECT_EQ(gst_element_set_state(pipeline.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
}

}  // namespace
