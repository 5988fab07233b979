#pragma once

#include <gst/gst.h>

#include "gst/filter_element.h"

// "qmxmetaextract": a channel's metadata extractor. Takes compressed frames
// (any caps), decodes the metadata each carries and hands the texts, with
// the frame's running time, to the filter's listeners; every buffer passes
// on unchanged. Registered by RegisterQmxElements().
GType QmxMetadataExtractorElementType();
