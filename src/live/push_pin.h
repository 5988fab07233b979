#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The frame supplier a channel's receive path talks to. Both operations
// return 0.
class DirectSampleDriver {
 public:
  virtual ~DirectSampleDriver() = default;
  // Queues a copy of one compressed frame; the caller keeps its bytes.
  virtual int DeliverFrame(const uint8_t* bytes, int32_t length) = 0;
  // Frame size announced downstream and the rate the time stamps follow.
  virtual int SetFormat(int width, int height, double framesPerSecond) = 0;
};

// One sample of a channel's live video as the source element sends it.
// Times are in 100-nanosecond units.
struct PushSample {
  std::vector<uint8_t> data;  // empty when no frame has arrived yet
  int64_t start = 0;
  int64_t end = 0;
  bool syncPoint = false;
};

// The logic of a live channel's source: a short frame queue between the
// receive thread and the source's streaming thread, and time stamps from a
// fixed frame rate.
//
// Queue rules: at most kQueueLimit frames; a frame arriving at a full queue
// replaces the newest queued one, so a consumer that stops taking costs a
// bounded memory. Taking a frame takes the newest and drops the older ones:
// a live picture is worth showing only while it is the newest, and a backlog
// kept would be a lag that never drains while the unit sends at its own
// rate. The newest stays queued, so without new frames it is sent again
// with every sample; HasNewFrame() tells a consumer that sends only new
// pictures when one is waiting.
//
// Samples: one frame length = 10,000,000 / rate (truncated) apart, starting
// at 0; a sample is a sync point exactly when it holds more than
// kSyncPointBytes bytes.
//
// Threads: DeliverFrame/SetFormat on the receive thread, FillSample on the
// streaming thread; the queue lock and the timing lock are never held
// together and never while calling out.
class CPushPin {
 public:
  static constexpr std::size_t kQueueLimit = 8;
  static constexpr std::size_t kSyncPointBytes = 5000;
  static constexpr int64_t kDefaultStop = 167772150000000;  // 16,777,215 s

  CPushPin();
  CPushPin(const CPushPin&) = delete;
  CPushPin& operator=(const CPushPin&) = delete;

  // The supplier interface handed to the receive path; lives as long as the
  // pin.
  DirectSampleDriver& Driver() { return driver_; }

  int DeliverFrame(const uint8_t* bytes, int32_t length);
  int SetFormat(int width, int height, double framesPerSecond);

  // Fills the next sample; false once the stop time has been reached.
  bool FillSample(PushSample& sample);
  // True while a frame not yet taken is queued.
  bool HasNewFrame() const;
  // Waits up to `limit` for HasNewFrame(); WakeWaiters() ends the wait early.
  bool WaitForNewFrame(std::chrono::milliseconds limit);
  void WakeWaiters();

  int Width() const;
  int Height() const;
  double FrameRate() const;
  // Lengths of the queued frames, oldest first (what tests look at).
  std::vector<std::size_t> QueuedLengths() const;
  // The first byte of each queued frame, oldest first.
  std::vector<uint8_t> QueuedFirstBytes() const;

 private:
  class SampleImplementation : public DirectSampleDriver {
   public:
    explicit SampleImplementation(CPushPin& pin) : pin_(pin) {}
    int DeliverFrame(const uint8_t* bytes, int32_t length) override {
      return pin_.DeliverFrame(bytes, length);
    }
    int SetFormat(int width, int height, double fps) override { return pin_.SetFormat(width, height, fps); }

   private:
    CPushPin& pin_;
  };
  struct Frame {
    std::vector<uint8_t> bytes;
    bool sent = false;
  };
  // The next frame's bytes, empty when none has arrived.
  std::vector<uint8_t> TakeNextFrame();

  SampleImplementation driver_;
  mutable std::mutex timingLock_;  // guards the format and time fields
  int width_ = 320;
  int height_ = 240;
  double frameRate_ = 30.0;
  int64_t streamTime_ = 0;
  int64_t position_ = 0;
  int64_t frameNumber_ = 0;
  int64_t stopTime_ = kDefaultStop;
  double rate_ = 1.0;
  mutable std::mutex queueLock_;  // guards queue_ and wakeCount_
  std::condition_variable arrived_;
  uint64_t wakeCount_ = 0;  // WakeWaiters() calls
  std::deque<Frame> queue_;
};
