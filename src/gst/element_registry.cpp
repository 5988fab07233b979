#include "gst/element_registry.h"

#include <gst/gst.h>

#include <mutex>

#include "gst/jpeg_decoder_element.h"
#include "gst/overlay_element.h"

bool RegisterQmxElements() {
  static std::once_flag once;
  static bool registered = false;
  std::call_once(once, [] {
    const bool overlay = gst_element_register(nullptr, "qmxoverlay", GST_RANK_NONE, QmxOverlayElementType());
    const bool decoder =
        gst_element_register(nullptr, "qmxjpegdec", GST_RANK_NONE, QmxJpegDecoderElementType());
    registered = overlay && decoder;
  });
  return registered;
}
