#pragma once

#include <gst/gst.h>

#include <atomic>
#include <memory>

#include "engine/pipeline/frame_consumer.h"
#include "engine/pipeline/gst_handles.h"
#include "live/push_pin.h"

class CMetadataInterface;
class COverlayFilter;

// One live channel's graph:
//   qmxpushsrc "Push Source Filter" ! qmxjpegdec "MJPEG Decoder"
//   (or jpegdec ! videoconvert ! BGRx) ! qmxoverlay "Overlay"
//   ! appsink "Video Renderer"
// fed by the channel's CPushPin, plus the channel's "Metadata Extractor"
// (a COverlayFilter in the extractor role, outside the pipeline), whose
// listeners are the window (slot 0) and the overlay (slot 1). Each frame
// leaves the appsink for the FrameConsumer as soon as it is decoded: the
// unit's sending paces the graph, not the pipeline clock.
//
// Threads: built, switched and destroyed on the window thread. Driver() and
// Extractor() are used by the receive thread; the pipeline's streaming
// threads call the consumer.
class ChannelGraph {
 public:
  enum Status { kDone = 0, kObjectsMissing = 1, kConnectFailed = 4, kSourceOrDecoderMissing = 5 };

  // `channel` 0..3. Null with `status` set when the graph could not be made;
  // the graph is running (it waits for its first frame) otherwise.
  static std::unique_ptr<ChannelGraph> Build(int channel, int width, int height, double framesPerSecond,
                                             FrameConsumer* frames, CMetadataInterface* window, int& status);
  ChannelGraph(int channel, FrameConsumer* frames);  // an empty graph; use Build
  ~ChannelGraph();
  ChannelGraph(const ChannelGraph&) = delete;
  ChannelGraph& operator=(const ChannelGraph&) = delete;

  DirectSampleDriver& Driver() { return pin_->Driver(); }
  const CPushPin& Pin() const { return *pin_; }
  COverlayFilter& Extractor() { return *extractor_; }
  // The overlay's filter (switches of the drawing).
  COverlayFilter* Overlay() const;
  GstElement* Pipeline() const { return pipeline_.get(); }
  // Frames that reached the consumer.
  long long FramesShown() const { return shown_.load(); }

 private:
  static GstFlowReturn OnSample(GstElement* sink, gpointer self);

  const int channel_;
  FrameConsumer* const frames_;
  std::shared_ptr<CPushPin> pin_;
  std::unique_ptr<COverlayFilter> extractor_;
  gsth::Element pipeline_;
  GstElement* overlay_ = nullptr;  // owned by the pipeline
  std::atomic<long long> shown_{0};
};
