#include "live/channel_graph.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <string>

#include "engine/pipeline/branch_builders.h"
#include "gst/element_registry.h"
#include "gst/filter_element.h"
#include "gst/push_source_element.h"
#include "live/pin_supplier.h"
#include "metadata/overlay_filter.h"

namespace {}  // namespace

ChannelGraph::ChannelGraph(int channel, FrameConsumer* frames)
    : channel_(channel), frames_(frames), pin_(std::make_shared<CPushPin>()) {}

ChannelGraph::~ChannelGraph() {
  if (pipeline_) gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
}

COverlayFilter* ChannelGraph::Overlay() const {
  return overlay_ ? OverlayElementFilter(overlay_) : nullptr;
}

std::unique_ptr<ChannelGraph> ChannelGraph::Build(int channel, int width, int height, double fps,
                                                  FrameConsumer* frames, CMetadataInterface* window,
                                                  int& status) {
  gsth::EnsureGstInitialized();
  RegisterQmxElements();
  auto g = std::make_unique<ChannelGraph>(channel, frames);
  const std::string n = std::to_string(channel + 1);
  g->pipeline_.reset(gst_pipeline_new(("Live Channel " + n).c_str()));
  if (!g->pipeline_) {
    status = kObjectsMissing;
    return nullptr;
  }
  gst_object_ref_sink(g->pipeline_.get());
  GstBin* bin = GST_BIN(g->pipeline_.get());

  GstElement* source = gst_element_factory_make("qmxpushsrc", "Push Source Filter");
  GstElement* decoder = gst_element_factory_make("qmxjpegdec", "MJPEG Decoder");
  GstElement* convert = nullptr;
  if (!decoder) {
    decoder = gst_element_factory_make("jpegdec", "MJPEG Decoder");
    convert = gst_element_factory_make("videoconvert", "Video Convert");
  }
  if (!source || !decoder) {
    if (source) gst_object_unref(gst_object_ref_sink(source));
    if (decoder) gst_object_unref(gst_object_ref_sink(decoder));
    if (convert) gst_object_unref(gst_object_ref_sink(convert));
    status = kSourceOrDecoderMissing;
    return nullptr;
  }
  g->overlay_ = MakeQmxFilter(FilterRole::kOverlay, DvrLayout::kFourChannel, "Overlay " + n, "Overlay");
  GstElement* sink = gst_element_factory_make("appsink", "Video Renderer");
  g->extractor_ = std::make_unique<COverlayFilter>("Metadata Extractor " + n, FilterRole::kExtractor,
                                                   DvrLayout::kFourChannel);
  for (GstElement* e : {source, decoder, convert, g->overlay_, sink})
    if (e) gst_bin_add(bin, e);
  if (!g->overlay_ || !sink) {
    status = kObjectsMissing;
    return nullptr;
  }
  g->extractor_->SetListener1(g->Overlay());
  g->extractor_->SetListener0(window);

  QmxPushSourceSetSupplier(source, MakePinSupplier(g->pin_));
  g->pin_->SetFormat(width, height, fps);

  gsth::Caps bgrx(gst_caps_from_string("video/x-raw,format=BGRx"));
  const bool linked = convert ? gst_element_link_many(source, decoder, convert, nullptr) &&
                                    gst_element_link_filtered(convert, g->overlay_, bgrx.get())
                              : gst_element_link_many(source, decoder, g->overlay_, nullptr);
  if (!linked || !gst_element_link(g->overlay_, sink)) {
    status = kConnectFailed;
    return nullptr;
  }
  // The source sends each frame as it arrives: the sink shows it as soon as
  // it is decoded, without waiting on its stamp.
  g_object_set(sink, "sync", FALSE, "max-buffers", 2u, "enable-last-sample", FALSE, "emit-signals", TRUE,
               nullptr);
  g_signal_connect(sink, "new-sample", G_CALLBACK(&ChannelGraph::OnSample), g.get());
  if (gst_element_set_state(g->pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    status = kConnectFailed;
    return nullptr;
  }
  // Nobody reads these buses: failures of a channel graph are silent (the
  // pane shows nothing), and a unit sending frames that do not decode must
  // not grow a queue of warnings for the whole session.
  gsth::DropBusMessages(g->pipeline_.get());
  status = kDone;
  return g;
}

GstFlowReturn ChannelGraph::OnSample(GstElement* sink, gpointer self) {
  auto* g = static_cast<ChannelGraph*>(self);
  gsth::Sample sample(gst_app_sink_pull_sample(GST_APP_SINK(sink)));
  if (!sample) return GST_FLOW_OK;
  GstBuffer* buffer = gst_sample_get_buffer(sample.get());
  GstVideoInfo info;
  if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get()))) return GST_FLOW_OK;
  gsth::BufferMap map(buffer, GST_MAP_READ);
  const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
  if (!map.ok() || stride <= 0 || map.size() < gsize(stride) * GST_VIDEO_INFO_HEIGHT(&info))
    return GST_FLOW_OK;
  ++g->shown_;
  if (!g->frames_) return GST_FLOW_OK;
  VideoFrame f;
  f.channel = g->channel_;
  f.bgrx = map.data();
  f.width = GST_VIDEO_INFO_WIDTH(&info);
  f.height = GST_VIDEO_INFO_HEIGHT(&info);
  f.strideBytes = stride;
  f.ptsNs = GST_BUFFER_PTS_IS_VALID(buffer) ? int64_t(GST_BUFFER_PTS(buffer)) : -1;
  g->frames_->OnVideoFrame(f);
  return GST_FLOW_OK;
}
