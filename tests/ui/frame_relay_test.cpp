// Frames from streaming threads reach the window thread as the newest
// picture per channel, held or copied once, with one queued call per batch.
#include "ui/frame_relay.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// A BGRx picture of odd size with padded rows, every byte telling its place.
struct TestPicture {
  int width = 5, height = 9, stride = 5 * 4 + 12;
  std::vector<uint8_t> bytes;
  explicit TestPicture(uint8_t seed) : bytes(size_t(stride) * height) {
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(seed + i * 7);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) bytes[size_t(y) * stride + x * 4 + 3] = 0xff;
  }
  VideoFrame Frame(int channel) const { return {channel, bytes.data(), width, height, stride, 0, nullptr}; }
};

TEST(FrameRelay, KeepsTheNewestFramePerChannelAndPostsOnce) {
  FrameRelay relay;
  QSignalSpy arrived(&relay, &FrameRelay::FramesArrived);
  const TestPicture older(1), newer(50), other(100);
  // Delivered from another thread, as a pipeline does.
  std::thread streaming([&] {
    relay.OnVideoFrame(older.Frame(2));
    relay.OnVideoFrame(newer.Frame(2));
    relay.OnVideoFrame(other.Frame(0));
  });
  streaming.join();
  EXPECT_EQ(arrived.count(), 0);  // nothing runs on the window thread yet
  // The batch is told once, a moment later, on the window thread.
  ASSERT_TRUE(arrived.wait(2000));
  EXPECT_FALSE(arrived.wait(50));
  EXPECT_EQ(arrived.count(), 1);
  EXPECT_EQ(relay.FramesReceived(), 3);

  const QImage two = relay.Take(2);
  ASSERT_EQ(two.size(), QSize(newer.width, newer.height));
  for (int y = 0; y < newer.height; ++y)
    EXPECT_EQ(
        0, std::memcmp(two.constScanLine(y), newer.bytes.data() + size_t(y) * newer.stride, newer.width * 4))
        << "row " << y;
  EXPECT_EQ(QColor(relay.Take(0).pixel(0, 0)).blue(), other.bytes[0]);
  EXPECT_TRUE(relay.Take(2).isNull());  // taken once
  EXPECT_TRUE(relay.Take(1).isNull());

  // Frames that cannot be pictures are dropped.
  const TestPicture bad(7);
  VideoFrame narrow = bad.Frame(1);
  narrow.strideBytes = bad.width * 4 - 1;
  VideoFrame empty = bad.Frame(1);
  empty.bgrx = nullptr;
  for (const VideoFrame& f : {bad.Frame(4), bad.Frame(-1), narrow, empty}) relay.OnVideoFrame(f);
  QCoreApplication::processEvents();
  EXPECT_EQ(relay.FramesReceived(), 3);
  EXPECT_TRUE(relay.Take(1).isNull());
  EXPECT_TRUE(relay.Take(7).isNull());
}

// A frame the pipeline lets keep is wrapped, not copied, and the pipeline's
// buffer is let go with the last image that shows it; a frame whose hold
// fails is copied.
TEST(FrameRelay, HoldsFramesThatCanBeKeptAndLetsThemGoWithTheImage) {
  FrameRelay relay;
  TestPicture picture(9);
  std::weak_ptr<const uint8_t> watch;
  VideoFrame held = picture.Frame(1);
  held.hold = [&]() {
    std::shared_ptr<const uint8_t> keep(picture.bytes.data(), [](const uint8_t*) {});
    watch = keep;
    return keep;
  };
  relay.OnVideoFrame(held);
  QImage image = relay.Take(1);
  ASSERT_EQ(image.size(), QSize(picture.width, picture.height));
  EXPECT_EQ(image.constBits(), picture.bytes.data()) << "the pipeline's bytes, not a copy";
  EXPECT_EQ(image.bytesPerLine(), picture.stride);
  EXPECT_FALSE(watch.expired());
  image = QImage();
  EXPECT_TRUE(watch.expired()) << "the buffer goes back with the image";

  VideoFrame unheld = picture.Frame(3);
  unheld.hold = [] { return std::shared_ptr<const uint8_t>(); };
  relay.OnVideoFrame(unheld);
  const QImage copy = relay.Take(3);
  ASSERT_EQ(copy.size(), QSize(picture.width, picture.height));
  EXPECT_NE(copy.constBits(), picture.bytes.data());
  EXPECT_EQ(0,
            std::memcmp(copy.constScanLine(4), picture.bytes.data() + 4 * picture.stride, picture.width * 4));
}

// A retired feed's frames are dropped from the moment RetireFeeds (or a
// newer OpenFeed) returns, whatever its streaming threads are doing then;
// the relay's own way in and the newest feed go on.
TEST(FrameRelay, FramesOfARetiredFeedNeverArrive) {
  FrameRelay relay;
  const TestPicture picture(3);
  std::unique_ptr<FrameRelay::Feed> closed = relay.OpenFeed();
  closed->OnVideoFrame(picture.Frame(0));
  std::atomic<bool> stop{false};
  std::thread streaming([&] {
    while (!stop) closed->OnVideoFrame(picture.Frame(1));
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return relay.FramesReceived() > 10; }, 5000));
  relay.RetireFeeds();
  // The streaming thread goes on delivering: none of it is kept.
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (int pass = 0; pass < 200 || (relay.FramesDropped() < 10 && std::chrono::steady_clock::now() < bound);
       ++pass) {
    ASSERT_TRUE(relay.Take(0).isNull()) << pass;
    ASSERT_TRUE(relay.Take(1).isNull()) << pass;
    if (pass >= 200) std::this_thread::yield();
  }
  const std::unique_ptr<FrameRelay::Feed> open = relay.OpenFeed();
  open->OnVideoFrame(picture.Frame(2));
  relay.OnVideoFrame(picture.Frame(3));
  EXPECT_FALSE(relay.Take(2).isNull());
  EXPECT_FALSE(relay.Take(3).isNull());
  EXPECT_TRUE(relay.Take(1).isNull());
  stop = true;
  streaming.join();
  EXPECT_GT(relay.FramesDropped(), 0);
}

}  // namespace
