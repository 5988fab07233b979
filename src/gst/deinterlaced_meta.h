#pragma once

#include <gst/gst.h>

// A mark on a video buffer whose picture has already been deinterlaced:
// the decoder deinterlaces rows while they are still in the cache, and the
// overlay then leaves the picture as it is instead of a second pass.
void MarkDeinterlaced(GstBuffer* buffer);  // `buffer` must be writable
bool IsDeinterlaced(GstBuffer* buffer);
