#include "engine/pipeline/gst_handles.h"

#include <mutex>

namespace gsth {

void EnsureGstInitialized() {
  static std::once_flag once;
  std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

}  // namespace gsth
