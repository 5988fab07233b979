#include "live/push_pin.h"

CPushPin::CPushPin() : driver_(*this) {}

int CPushPin::DeliverFrame(const uint8_t* bytes, int32_t length) {
  std::vector<uint8_t> copy(bytes, bytes + (length > 0 ? length : 0));
  {
    std::lock_guard<std::mutex> hold(queueLock_);
    if (queue_.size() < kQueueLimit)
      queue_.push_back({std::move(copy), false});
    else {
      queue_.back().bytes.swap(copy);
      queue_.back().sent = false;
    }
  }
  // The replaced frame (if any) is freed here, outside the lock.
  arrived_.notify_all();
  return 0;
}

int CPushPin::SetFormat(int width, int height, double framesPerSecond) {
  std::lock_guard<std::mutex> hold(timingLock_);
  width_ = width;
  height_ = height;
  if (framesPerSecond > 0) frameRate_ = framesPerSecond;
  return 0;
}

std::vector<uint8_t> CPushPin::TakeNextFrame() {
  std::deque<Frame> older;
  std::vector<uint8_t> taken;
  {
    std::lock_guard<std::mutex> hold(queueLock_);
    if (queue_.empty()) return {};
    while (queue_.size() > 1) {
      older.push_back(std::move(queue_.front()));
      queue_.pop_front();
    }
    queue_.front().sent = true;
    taken = queue_.front().bytes;
  }
  return taken;  // the dropped frames are freed outside the lock
}

bool CPushPin::FillSample(PushSample& sample) {
  {
    std::lock_guard<std::mutex> hold(timingLock_);
    const int64_t frameLength = int64_t(10000000.0 / frameRate_);
    if (position_ >= stopTime_) return false;
    sample.start = int64_t(double(streamTime_) / rate_);
    sample.end = sample.start + int64_t(double(frameLength) / rate_);
    ++frameNumber_;
    position_ += frameLength;
    streamTime_ += frameLength;
  }
  sample.data = TakeNextFrame();
  sample.syncPoint = sample.data.size() > kSyncPointBytes;
  return true;
}

bool CPushPin::HasNewFrame() const {
  std::lock_guard<std::mutex> hold(queueLock_);
  return !queue_.empty() && !queue_.back().sent;
}

bool CPushPin::WaitForNewFrame(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> hold(queueLock_);
  const uint64_t wakes = wakeCount_;
  return arrived_.wait_for(hold, limit,
                           [&] { return (!queue_.empty() && !queue_.back().sent) || wakeCount_ != wakes; }) &&
         !queue_.empty() && !queue_.back().sent;
}

void CPushPin::WakeWaiters() {
  {
    std::lock_guard<std::mutex> hold(queueLock_);
    ++wakeCount_;
  }
  arrived_.notify_all();
}

int CPushPin::Width() const {
  std::lock_guard<std::mutex> hold(timingLock_);
  return width_;
}

int CPushPin::Height() const {
  std::lock_guard<std::mutex> hold(timingLock_);
  return height_;
}

double CPushPin::FrameRate() const {
  std::lock_guard<std::mutex> hold(timingLock_);
  return frameRate_;
}

std::vector<std::size_t> CPushPin::QueuedLengths() const {
  std::lock_guard<std::mutex> hold(queueLock_);
  std::vector<std::size_t> lengths;
  for (const Frame& f : queue_) lengths.push_back(f.bytes.size());
  return lengths;
}

std::vector<uint8_t> CPushPin::QueuedFirstBytes() const {
  std::lock_guard<std::mutex> hold(queueLock_);
  std::vector<uint8_t> first;
  for (const Frame& f : queue_) first.push_back(f.bytes.empty() ? 0 : f.bytes.front());
  return first;
}
