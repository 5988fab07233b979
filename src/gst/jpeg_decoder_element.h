#pragma once

#include <gst/gst.h>

// "qmxjpegdec": a GstVideoDecoder that turns Motion-JPEG frames (image/jpeg,
// one whole frame per buffer) into video/x-raw,format=BGRx in one pass
// (JpegBgrxDecoder), so playback needs no colour conversion element.
//
// The output size follows each frame's own header: a frame whose size
// differs from the one negotiated renegotiates the output before it is
// decoded, and no frame is ever written past its output buffer.
// A damaged frame posts a warning (STREAM/DECODE) and is dropped; playback
// goes on with the next frame however many damaged frames come.
//
// Property "deinterlace" (0 no, the default; 1 adaptive; 2 fast): full-height
// pictures are deinterlaced as their rows come out of the decoder, exactly as
// the overlay would, and carry the mark of deinterlaced_meta.h.
//
// Registered by RegisterQmxElements() (element_registry.h) with rank none,
// so only pipelines that name it use it.
GType QmxJpegDecoderElementType();
