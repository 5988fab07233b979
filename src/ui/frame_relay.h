#pragma once

#include <QImage>
#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/pipeline/frame_consumer.h"

// Carries decoded frames from the engine's streaming threads to the window
// thread. OnVideoFrame wraps the pipeline's buffer in a QImage (or copies the
// frame once where it can't be held) and keeps only the
// newest per channel; the window thread is told once per batch (the frames
// of all channels that arrive within a few milliseconds, never more than one
// batch waiting), so a slow window drops frames instead of holding up a
// pipeline.
//
// A recording's engine hands its frames in through a Feed of its own. An
// engine that was closed goes on delivering for a moment while it is torn
// down elsewhere; once RetireFeeds (or a newer OpenFeed) has returned, no
// frame of an older feed is kept, so a closed recording never shows again.
// OnVideoFrame on the relay itself is the way in of a source that is torn
// down before the window moves on (the live session).
//
// Threads: OnVideoFrame (the relay's and a feed's) on streaming threads;
// everything else on the thread that owns the object (the window thread).
// A feed must outlive every thread that delivers through it.
class FrameRelay : public QObject, public FrameConsumer {
  Q_OBJECT
 public:
  class Feed : public FrameConsumer {
   public:
    void OnVideoFrame(const VideoFrame& frame) override { relay_.Accept(generation_, frame); }

   private:
    friend class FrameRelay;
    Feed(FrameRelay& relay, uint64_t generation) : relay_(relay), generation_(generation) {}
    FrameRelay& relay_;
    const uint64_t generation_;
  };

  explicit FrameRelay(QObject* parent = nullptr);

  void OnVideoFrame(const VideoFrame& frame) override;
  // The way in of the next source; every earlier feed is retired.
  std::unique_ptr<Feed> OpenFeed();
  // From now on the frames of every feed opened so far are dropped, and
  // those waiting to be taken are let go.
  void RetireFeeds();

  // The newest frame of `channel` not yet taken, or a null image.
  QImage Take(int channel);
  // Frames copied so far (all channels).
  long long FramesReceived() const { return received_.load(); }
  // Frames of retired feeds dropped so far.
  long long FramesDropped() const { return dropped_.load(); }

 signals:
  // Some channel has a new frame; Take() them.
  void FramesArrived();

 private:
  static constexpr uint64_t kAnyGeneration = ~uint64_t(0);
  // Keeps `frame` unless it comes from a feed older than the current one.
  void Accept(uint64_t generation, const VideoFrame& frame);
  void Deliver();
  void Gathered();

  // How long the first frame of a batch waits for the other channels'.
  static constexpr int kGatherMs = 4;
  QTimer gather_;

  std::mutex lock_;  // guards newest_ and generation_
  std::array<QImage, 4> newest_;
  uint64_t generation_ = 0;  // the current feed's
  std::atomic<long long> dropped_{0};
  std::atomic<bool> posted_{false};
  std::atomic<long long> received_{0};
};
