#pragma once

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

// Small RAII helpers for element tests.
struct GstObjectUnref {
  void operator()(gpointer p) const { gst_object_unref(p); }
};
using ElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;

struct PipelineOutput {
  std::vector<std::vector<uint8_t>> buffers;
  std::string caps;    // caps of the last sample
  bool error = false;  // an error message reached the bus
};

// Runs a parsed pipeline that has an appsink named "sink" to its end and
// collects what reached it. `prepare` may reach elements before it plays.
template <typename Prepare>
PipelineOutput RunPipeline(GstElement* pipeline, Prepare prepare, int maxBuffers = 1000) {
  PipelineOutput out;
  prepare(pipeline);
  ElementPtr sink(gst_bin_get_by_name(GST_BIN(pipeline), "sink"));
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  while (static_cast<int>(out.buffers.size()) < maxBuffers) {
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 5 * GST_SECOND);
    if (sample == nullptr) break;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      out.buffers.emplace_back(map.data, map.data + map.size);
      gst_buffer_unmap(buffer, &map);
    }
    if (GstCaps* caps = gst_sample_get_caps(sample)) {
      gchar* text = gst_caps_to_string(caps);
      out.caps = text;
      g_free(text);
    }
    gst_sample_unref(sample);
  }
  ElementPtr bus(reinterpret_cast<GstElement*>(gst_element_get_bus(pipeline)));
  GstMessage* m = gst_bus_pop_filtered(GST_BUS(bus.get()), GST_MESSAGE_ERROR);
  if (m != nullptr) {
    out.error = true;
    gst_message_unref(m);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  return out;
}
