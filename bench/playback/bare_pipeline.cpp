#include "bare_pipeline.h"

namespace {

constexpr GstClockTime kSettleTimeout = 10 * GST_SECOND;

bool WaitForState(GstElement* pipeline) {
  GstState state, pending;
  return gst_element_get_state(pipeline, &state, &pending, kSettleTimeout) == GST_STATE_CHANGE_SUCCESS ||
         gst_element_get_state(pipeline, &state, &pending, 0) == GST_STATE_CHANGE_NO_PREROLL;
}

}  // namespace

bool PrerollGraph(GstElement* pipeline) {
  if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return false;
  return WaitForState(pipeline);
}

bool SeekGraph(GstElement* pipeline, int64_t ns) {
  if (ns < 0) ns = 0;
  const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  return gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags, ns) && WaitForState(pipeline);
}
