#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>

// A reference on `buffer`, mapped for reading, that keeps its bytes valid
// for as long as the pointer (its first mapped byte) lives: a frame can be
// kept for painting or a snapshot without copying it. The buffer must not be
// written again once handed out this way; a pool gets it back when the last
// holder lets go. Null when the buffer can't be mapped. Any thread.
std::shared_ptr<const uint8_t> HoldBufferForReading(GstBuffer* buffer);
