#pragma once

#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

// Where a "qmxpushsrc" element takes its samples from: plain code that
// queues frames and stamps them (the live session's push pin). Called on the
// element's streaming thread.
class PushSampleSupplier {
 public:
  struct Sample {
    std::vector<uint8_t> data;  // one whole JPEG frame
    int64_t ptsNs = 0;
    int64_t durationNs = 0;
    bool syncPoint = true;
  };
  virtual ~PushSampleSupplier() = default;
  // Waits up to `limit` for a frame not sent before; true when one is
  // waiting. Interrupt() ends the wait early (a flush, a state change).
  virtual bool WaitForNewSample(std::chrono::milliseconds limit) = 0;
  virtual void Interrupt() = 0;
  // The next sample: the newest frame; false at the end of the stream.
  virtual bool NextSample(Sample& sample) = 0;
  // Caps of the stream: frame size and rate.
  virtual void Format(int& width, int& height, double& framesPerSecond) const = 0;
};

// "qmxpushsrc", the CPushSource of a live channel's graph: a GstPushSrc offering image/jpeg (width, height
// and frame rate from its supplier) that sends each new frame as soon as it arrives, and nothing while none
// arrives: the unit's own rate paces the stream, so a frame never waits for a clock tick, and a frame that
// does not decode is not sent again and again (the pane keeps the last picture it had). The sink need not
// wait on the stamps. The streaming thread waits in short steps that a flush or a state change ends. A
// sample that is not a sync point is marked as a delta unit. Registered by RegisterQmxElements().
GType QmxPushSourceElementType();

// Gives `element` (a "qmxpushsrc") its supplier; before the element starts.
void QmxPushSourceSetSupplier(GstElement* element, std::shared_ptr<PushSampleSupplier> supplier);
