#include "gst/deinterlaced_meta.h"

namespace {

constexpr const char* kMetaName = "QmxDeinterlacedMeta";

void EnsureRegistered() {
  static const GstMetaInfo* info = [] {
    // No tags: the mark describes these pixels only, and an element that
    // changes them in any way must not carry it on.
    static const gchar* tags[] = {nullptr};
    return gst_meta_register_custom(kMetaName, tags, nullptr, nullptr, nullptr);
  }();
  (void)info;
}

}  // namespace

void MarkDeinterlaced(GstBuffer* buffer) {
  EnsureRegistered();
  if (buffer && !gst_buffer_get_custom_meta(buffer, kMetaName)) gst_buffer_add_custom_meta(buffer, kMetaName);
}

bool IsDeinterlaced(GstBuffer* buffer) {
  EnsureRegistered();
  return buffer && gst_buffer_get_custom_meta(buffer, kMetaName) != nullptr;
}
