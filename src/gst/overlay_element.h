#pragma once

#include <gst/gst.h>

#include "gst/element_registry.h"

class COverlayFilter;

// "qmxoverlay", an in-place GstBaseTransform carrying a COverlayFilter,
// registered by RegisterQmxElements().
//
// "qmxoverlay" properties, construct-only:
//   role      int 0..3 (default 1): 0 metadata extractor and 3 multi-metadata
//             extractor (any caps, buffers pass unchanged and are parsed),
//             1 video overlay (video/x-raw,format=BGRx), 2 audio transform
//             (audio/x-raw,format=S16LE; mixes only 2-channel audio).
//   dvr-kind  int 0..3 (default 0).
// The filter's source name for listeners is the element's name at creation.
GType QmxOverlayElementType();

// The C++ filter of a "qmxoverlay" element, owned by the element and alive
// as long as it is; null for any other element. Use it to set switches,
// gains and listeners, and to take snapshots.
COverlayFilter* OverlayElementFilter(GstElement* element);
