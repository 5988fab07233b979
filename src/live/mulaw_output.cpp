#include "live/mulaw_output.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include "engine/pipeline/branch_builders.h"
#include "engine/pipeline/gst_handles.h"

namespace {

class MulawOutput : public AudioOutput {
 public:
  MulawOutput(gsth::Element pipeline, GstElement* source, GstElement* volume)
      : pipeline_(std::move(pipeline)), source_(source), volume_(volume) {}
  ~MulawOutput() override {
    gst_app_src_end_of_stream(GST_APP_SRC(source_));
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
  }

  void Write(std::vector<uint8_t> block) override {
    gst_app_src_push_buffer(GST_APP_SRC(source_), gst_buffer_new_memdup(block.data(), block.size()));
  }

  int QueuedBlocks() const override {
    guint64 level = 0;
    g_object_get(source_, "current-level-buffers", &level, nullptr);
    return int(level);
  }

  void SetVolume(uint32_t volume) override {
    g_object_set(volume_, "volume", double(volume) / 65535.0, nullptr);
  }

 private:
  gsth::Element pipeline_;
  GstElement* source_;  // owned by the pipeline
  GstElement* volume_;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeMulawOutput(int channel, const std::string& sinkDescription) {
  gsth::EnsureGstInitialized();
  const std::string n = std::to_string(channel + 1);
  gsth::Element pipeline(gst_pipeline_new(("Live Audio " + n).c_str()));
  gst_object_ref_sink(pipeline.get());
  GstElement* source = gst_element_factory_make("appsrc", ("Audio Source " + n).c_str());
  GstElement* decoder = gst_element_factory_make("mulawdec", nullptr);
  GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
  GstElement* resample = gst_element_factory_make("audioresample", nullptr);
  GstElement* volume = gst_element_factory_make("volume", ("Volume " + n).c_str());
  GstElement* sink = MakeAudioSink(sinkDescription, channel, "Audio " + n);
  GstElement* chain[] = {source, decoder, convert, resample, volume, sink};
  for (GstElement* e : chain) {
    if (!e) {
      for (GstElement* made : chain)
        if (made) gst_object_unref(gst_object_ref_sink(made));
      return nullptr;
    }
  }
  for (GstElement* e : chain) gst_bin_add(GST_BIN(pipeline.get()), e);
  if (!gst_element_link_many(source, decoder, convert, resample, volume, sink, nullptr)) return nullptr;
  gsth::Caps caps(
      gst_caps_new_simple("audio/x-mulaw", "rate", G_TYPE_INT, 8000, "channels", G_TYPE_INT, 1, nullptr));
  g_object_set(source, "caps", caps.get(), "format", GST_FORMAT_TIME, "is-live", TRUE, "do-timestamp", TRUE,
               nullptr);
  if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return nullptr;
  }
  // Nobody watches these pipelines' buses.
  gsth::DropBusMessages(pipeline.get());
  return std::make_unique<MulawOutput>(std::move(pipeline), source, volume);
}
