#pragma once

#include <gst/gst.h>

#include "gst/filter_element.h"

// "qmxoverlay": a channel's video overlay, in place on video/x-raw BGRx
// frames. Deinterlaces full-height frames, draws the metadata texts due at
// each frame's running time (COverlayFilter::TransformVideo) and keeps a
// copy for snapshots. A flushing seek drops the texts held for frames that
// will no longer come. Registered by RegisterQmxElements().
GType QmxOverlayElementType();
