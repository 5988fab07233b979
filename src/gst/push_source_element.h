#pragma once

#include <gst/gst.h>

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
  // True once NextSample has a frame to give.
  virtual bool HasSample() const = 0;
  // The next sample; false at the end of the stream.
  virtual bool NextSample(Sample& sample) = 0;
  // Caps of the stream: frame size and rate.
  virtual void Format(int& width, int& height, double& framesPerSecond) const = 0;
};

// "qmxpushsrc", the CPushSource of a live channel's graph: a GstPushSrc offering image/jpeg (width, height
// and frame rate from its supplier) that sends one sample per frame period: once playing, it waits for the
// pipeline clock to reach a sample's time before taking its frame, so the newest frame goes out at once.
// Until the supplier has a frame the streaming thread waits in short steps that a flush or a state change
// ends. A sample that is not a sync point is marked as a delta unit. Registered by RegisterQmxElements().
GType QmxPushSourceElementType();

// Gives `element` (a "qmxpushsrc") its supplier; before the element starts.
void QmxPushSourceSetSupplier(GstElement* element, std::shared_ptr<PushSampleSupplier> supplier);
