#pragma once

#include <gst/gst.h>

#include "gst/filter_element.h"

// "qmxmultimeta": the extractor of a recording's separate metadata stream.
// Takes its 56-byte samples (any caps), decodes them and hands the texts,
// with the sample's running time, to the filter's listeners (slots 1..4 are
// the channels' overlays); every buffer passes on unchanged. Registered by
// RegisterQmxElements().
GType QmxMultiMetadataElementType();
