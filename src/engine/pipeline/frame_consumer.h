#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// A decoded video frame as a graph hands it on: top-down BGRx rows.
// The pixels belong to the graph and are valid only during the call.
struct VideoFrame {
  int channel = 0;  // 0..3
  const uint8_t* bgrx = nullptr;
  int width = 0;
  int height = 0;
  int strideBytes = 0;
  int64_t ptsNs = -1;  // position inside the file, nanoseconds
  // When set: a reference that keeps `bgrx` (its pointer) valid and
  // unchanged for as long as it lives, so that a consumer can keep the frame
  // instead of copying it. Null when the frame can't be kept.
  std::function<std::shared_ptr<const uint8_t>()> hold;
};

// Receives the frames of the graph that is current (the main window's
// panes; a recorder in tests). Called on the graph's streaming threads, one
// thread per channel, so an implementation copies (or holds) what it keeps
// and must not call back into the engine.
class FrameConsumer {
 public:
  virtual ~FrameConsumer() = default;
  virtual void OnVideoFrame(const VideoFrame& frame) = 0;
};
