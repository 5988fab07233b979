#include "engine/pipeline/gst_handles.h"

#include <mutex>

namespace gsth {

void EnsureGstInitialized() {
  static std::once_flag once;
  std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

void DropBusMessages(GstElement* pipeline) {
  Bus bus(gst_element_get_bus(pipeline));
  if (bus) gst_bus_set_flushing(bus.get(), TRUE);
}

}  // namespace gsth
