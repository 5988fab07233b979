#pragma once

#include <gst/gst.h>

#include <cstdint>

// Blocking control of the benches' bare baseline pipelines (the player's own
// graphs are driven by their buses instead). Each wait is bounded by 10 s.

// Pauses the pipeline and waits until every sink holds its first buffer.
// False when the pipeline fails or does not preroll in time.
bool PrerollGraph(GstElement* pipeline);

// Flushing, frame-accurate seek to `ns`; waits until the sinks hold the
// frame at that time. False when the seek is refused or does not complete.
bool SeekGraph(GstElement* pipeline, int64_t ns);
