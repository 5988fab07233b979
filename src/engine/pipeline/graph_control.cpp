#include "engine/pipeline/graph_control.h"

namespace {

bool WaitForState(GstElement* pipeline) {
  GstState state, pending;
  return gst_element_get_state(pipeline, &state, &pending, kPrerollTimeout) == GST_STATE_CHANGE_SUCCESS ||
         gst_element_get_state(pipeline, &state, &pending, 0) == GST_STATE_CHANGE_NO_PREROLL;
}

}  // namespace

bool PrerollGraph(GstElement* pipeline) {
  return SetGraphState(pipeline, GST_STATE_PAUSED);
}

bool SetGraphState(GstElement* pipeline, GstState state) {
  if (gst_element_set_state(pipeline, state) == GST_STATE_CHANGE_FAILURE) return false;
  return WaitForState(pipeline);
}

bool SeekGraph(GstElement* pipeline, int64_t ns) {
  if (ns < 0) ns = 0;
  const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  if (!gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags, ns)) return false;
  return WaitForState(pipeline);
}

int64_t PositionNs(GstElement* pipeline) {
  gint64 pos = -1;
  if (!gst_element_query_position(pipeline, GST_FORMAT_TIME, &pos)) return -1;
  return pos;
}

int64_t DurationNs(GstElement* pipeline) {
  gint64 dur = -1;
  if (!gst_element_query_duration(pipeline, GST_FORMAT_TIME, &dur)) return -1;
  return dur;
}
