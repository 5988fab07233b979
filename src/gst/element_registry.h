#pragma once

// Registers the project's own elements with GStreamer in this process (no
// plugin files): "qmxoverlay" (overlay_element.h) and "qmxjpegdec"
// (jpeg_decoder_element.h), both with rank none. Idempotent and thread-safe;
// gst_init must have run. False when any registration failed.
bool RegisterQmxElements();
