#include "gst/held_buffer.h"

std::shared_ptr<const uint8_t> HoldBufferForReading(GstBuffer* buffer) {
  struct Mapped {
    GstBuffer* buffer;
    GstMapInfo map;
  };
  if (!buffer) return nullptr;
  auto mapped = std::make_unique<Mapped>();
  mapped->buffer = gst_buffer_ref(buffer);
  if (!gst_buffer_map(mapped->buffer, &mapped->map, GST_MAP_READ)) {
    gst_buffer_unref(mapped->buffer);
    return nullptr;
  }
  const uint8_t* data = mapped->map.data;
  return std::shared_ptr<const uint8_t>(data, [m = mapped.release()](const uint8_t*) {
    gst_buffer_unmap(m->buffer, &m->map);
    gst_buffer_unref(m->buffer);
    std::unique_ptr<Mapped>(m).reset();
  });
}
