#pragma once

#include <gst/gst.h>

#include "gst/filter_element.h"

// "qmxaudiotransform": a channel's audio transform, in place on interleaved
// S16LE audio. With stereo on (COverlayFilter::SetStereoOn) it mixes each
// stereo pair by the filter's gains; audio of any other channel count passes
// untouched. Registered by RegisterQmxElements().
GType QmxAudioTransformElementType();
