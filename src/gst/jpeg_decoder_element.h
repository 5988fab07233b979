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
// Properties "shown-width" and "shown-height" (0, the default: unknown): the
// size the picture is shown at. A picture shown at less than half its size
// is decoded at 1/2, 1/4 or 1/8 of it (libjpeg-turbo's reduced inverse DCT,
// never below the shown size), not deinterlaced, and its output caps say
// so; whoever needs the recorded frame (snapshots, exports, checks) decodes
// it apart at full size. "picture-width" and "picture-height" (read only)
// give the last frame's own size.
//
// Registered by RegisterQmxElements() (element_registry.h) with rank none,
// so only pipelines that name it use it.
GType QmxJpegDecoderElementType();
