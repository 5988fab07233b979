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

bool SeekGraph(GstElement* pipeline, int64_t ns, GstElement* demuxer) {
  if (ns < 0) ns = 0;
  const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  GstPad* pad = nullptr;
  if (demuxer) {
    GST_OBJECT_LOCK(demuxer);
    if (demuxer->srcpads) pad = GST_PAD(gst_object_ref(demuxer->srcpads->data));
    GST_OBJECT_UNLOCK(demuxer);
  }
  bool sent;
  if (pad) {
    GstEvent* seek = gst_event_new_seek(1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, ns,
                                        GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    sent = gst_pad_send_event(pad, seek);
    gst_object_unref(pad);
  } else {
    sent = gst_element_seek_simple(pipeline, GST_FORMAT_TIME, flags, ns);
  }
  return sent && WaitForState(pipeline);
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
