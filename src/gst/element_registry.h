#pragma once

// Registers the project's own elements with GStreamer in this process (no
// plugin files), all with rank none so only pipelines that name them use
// them: the filter elements "qmxmetaextract", "qmxoverlay",
// "qmxaudiotransform", "qmxmultimeta" (filter_element.h and one header
// each), the decoder "qmxjpegdec" (jpeg_decoder_element.h) and the live
// source "qmxpushsrc" (push_source_element.h). Idempotent
// and thread-safe; gst_init must have run. False when any registration
// failed.
bool RegisterQmxElements();
