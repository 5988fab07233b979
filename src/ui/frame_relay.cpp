#include "ui/frame_relay.h"

#include <cstring>
#include <memory>

FrameRelay::FrameRelay(QObject* parent) : QObject(parent) {
  gather_.setSingleShot(true);
  gather_.setTimerType(Qt::PreciseTimer);
  gather_.setInterval(kGatherMs);
  connect(&gather_, &QTimer::timeout, this, &FrameRelay::Gathered);
}

std::unique_ptr<FrameRelay::Feed> FrameRelay::OpenFeed() {
  RetireFeeds();
  std::lock_guard<std::mutex> l(lock_);
  return std::unique_ptr<Feed>(new Feed(*this, generation_));
}

void FrameRelay::RetireFeeds() {
  std::array<QImage, 4> stale;
  {
    std::lock_guard<std::mutex> l(lock_);
    ++generation_;
    stale.swap(newest_);
  }
  // The images are freed here, outside the lock.
}

void FrameRelay::OnVideoFrame(const VideoFrame& frame) {
  Accept(kAnyGeneration, frame);
}

void FrameRelay::Accept(uint64_t generation, const VideoFrame& frame) {
  if (frame.channel < 0 || frame.channel >= 4 || !frame.bgrx || frame.width <= 0 || frame.height <= 0 ||
      frame.strideBytes < frame.width * 4)
    return;
  // BGRx rows are little-endian 0xffRRGGBB words: Qt's RGB32 as it is.
  QImage image;
  if (std::shared_ptr<const uint8_t> held = frame.hold ? frame.hold() : nullptr) {
    // The pipeline's own buffer, kept until the image is let go: no copy.
    using Keep = std::shared_ptr<const uint8_t>;
    auto keep = std::make_unique<Keep>(std::move(held));
    const uint8_t* pixels = keep->get();
    image = QImage(
        pixels, frame.width, frame.height, frame.strideBytes, QImage::Format_RGB32,
        [](void* p) { std::unique_ptr<Keep>(static_cast<Keep*>(p)).reset(); }, keep.release());
  } else {
    image = QImage(frame.width, frame.height, QImage::Format_RGB32);
    if (image.isNull()) return;
    for (int y = 0; y < frame.height; ++y)
      std::memcpy(image.scanLine(y), frame.bgrx + size_t(y) * frame.strideBytes, size_t(frame.width) * 4);
  }
  if (image.isNull()) return;
  {
    // Checked where the frame is kept: a retirement either comes before and
    // drops it, or after and lets it go.
    std::lock_guard<std::mutex> l(lock_);
    if (generation != kAnyGeneration && generation != generation_) {
      ++dropped_;
      return;  // the image is freed on the way out, after the lock
    }
    newest_[frame.channel].swap(image);
  }
  ++received_;
  // The old image is freed here, outside the lock.
  if (!posted_.exchange(true)) QMetaObject::invokeMethod(this, &FrameRelay::Deliver, Qt::QueuedConnection);
}

void FrameRelay::Deliver() {
  // The channels' frames of one instant arrive from their own threads a
  // moment apart: waiting that moment paints them together, once, instead
  // of once per channel.
  if (!gather_.isActive()) gather_.start();
}

void FrameRelay::Gathered() {
  posted_ = false;
  emit FramesArrived();
}

QImage FrameRelay::Take(int channel) {
  if (channel < 0 || channel >= 4) return {};
  QImage out;
  std::lock_guard<std::mutex> l(lock_);
  out.swap(newest_[channel]);
  return out;
}
