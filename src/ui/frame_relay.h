#pragma once

#include <QImage>
#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
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
// Threads: OnVideoFrame on streaming threads; everything else on the thread
// that owns the object (the window thread).
class FrameRelay : public QObject, public FrameConsumer {
  Q_OBJECT
 public:
  explicit FrameRelay(QObject* parent = nullptr);

  void OnVideoFrame(const VideoFrame& frame) override;

  // The newest frame of `channel` not yet taken, or a null image.
  QImage Take(int channel);
  // Frames copied so far (all channels).
  long long FramesReceived() const { return received_.load(); }

 signals:
  // Some channel has a new frame; Take() them.
  void FramesArrived();

 private:
  void Deliver();
  void Gathered();

  // How long the first frame of a batch waits for the other channels'.
  static constexpr int kGatherMs = 4;
  QTimer gather_;

  std::mutex lock_;  // guards newest_
  std::array<QImage, 4> newest_;
  std::atomic<bool> posted_{false};
  std::atomic<long long> received_{0};
};
