#pragma once

#include <gst/gst.h>

#include <memory>

// Owning handles for GStreamer objects: each holds one reference and drops
// it when it goes away. Construct from a pointer the caller owns (a "transfer
// full" return value); use Ref() to take an extra reference to a borrowed one.

namespace gsth {

struct ObjectUnref {
  void operator()(gpointer p) const { gst_object_unref(p); }
};
struct CapsUnref {
  void operator()(GstCaps* p) const { gst_caps_unref(p); }
};
struct SampleUnref {
  void operator()(GstSample* p) const { gst_sample_unref(p); }
};
struct MessageUnref {
  void operator()(GstMessage* p) const { gst_message_unref(p); }
};
struct QueryUnref {
  void operator()(GstQuery* p) const { gst_query_unref(p); }
};
struct BufferUnref {
  void operator()(GstBuffer* p) const { gst_buffer_unref(p); }
};
struct GFreeDeleter {
  void operator()(gpointer p) const { g_free(p); }
};

using Element = std::unique_ptr<GstElement, ObjectUnref>;
using Pad = std::unique_ptr<GstPad, ObjectUnref>;
using Bus = std::unique_ptr<GstBus, ObjectUnref>;
using Caps = std::unique_ptr<GstCaps, CapsUnref>;
using Sample = std::unique_ptr<GstSample, SampleUnref>;
using Message = std::unique_ptr<GstMessage, MessageUnref>;
using Query = std::unique_ptr<GstQuery, QueryUnref>;
using Buffer = std::unique_ptr<GstBuffer, BufferUnref>;
using GString = std::unique_ptr<gchar, GFreeDeleter>;

template <class T>
std::unique_ptr<T, ObjectUnref> Ref(T* p) {
  return std::unique_ptr<T, ObjectUnref>(p ? static_cast<T*>(gst_object_ref(p)) : nullptr);
}

// A buffer mapped for reading (or writing) for the lifetime of the object.
class BufferMap {
 public:
  BufferMap(GstBuffer* buffer, GstMapFlags flags) : buffer_(buffer) {
    mapped_ = buffer_ && gst_buffer_map(buffer_, &info_, flags);
  }
  ~BufferMap() {
    if (mapped_) gst_buffer_unmap(buffer_, &info_);
  }
  BufferMap(const BufferMap&) = delete;
  BufferMap& operator=(const BufferMap&) = delete;

  bool ok() const { return mapped_; }
  guint8* data() const { return info_.data; }
  gsize size() const { return info_.size; }

 private:
  GstBuffer* buffer_;
  GstMapInfo info_{};
  bool mapped_ = false;
};

// For a pipeline whose messages nobody reads: its bus drops every message
// from now on, and those it holds. Call it once the pipeline has left the
// NULL state: leaving it clears the bus's flushing, and an unread bus keeps
// every message (a warning per frame that does not decode, say) and the
// elements they name for the pipeline's life.
void DropBusMessages(GstElement* pipeline);

// gst_init for the process, once, from whichever thread gets here first.
void EnsureGstInitialized();

}  // namespace gsth
