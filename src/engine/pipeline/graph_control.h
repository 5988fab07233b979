#pragma once

#include <gst/gst.h>

#include <cstdint>

// State changes and seeks that wait for the pipeline to really get there
// (bounded), for bare pipelines such as the benches' baselines; recording
// graphs are driven by their buses instead (RecordingGraph).

inline constexpr GstClockTime kPrerollTimeout = 10 * GST_SECOND;

// Pauses the pipeline and waits until every sink holds its first buffer.
// False when the pipeline fails or does not preroll in time.
bool PrerollGraph(GstElement* pipeline);

// Sets `state` and waits for the change to complete (bounded).
bool SetGraphState(GstElement* pipeline, GstState state);

// Flushing, frame-accurate seek to `ns` inside the file; waits until the
// sinks hold the frame at that time (the pipeline returns to the state it
// was in). False when the seek is refused or does not complete.
//
// With `demuxer` the seek is sent once, to the demuxer's first source pad.
// Sent to the pipeline, every sink passes the seek upstream and the AVI
// demuxer seeks, and flushes every branch, once per sink: nine times over
// for a four-channel recording with sound and a metadata stream.
bool SeekGraph(GstElement* pipeline, int64_t ns, GstElement* demuxer = nullptr);

// -1 when unknown.
int64_t PositionNs(GstElement* pipeline);
int64_t DurationNs(GstElement* pipeline);
