#pragma once

#include <memory>

#include "gst/push_source_element.h"
#include "live/push_pin.h"

// A channel's push pin as the qmxpushsrc element takes its samples:
// 100-nanosecond stamps become nanoseconds. The supplier shares the pin.
std::shared_ptr<PushSampleSupplier> MakePinSupplier(std::shared_ptr<CPushPin> pin);
