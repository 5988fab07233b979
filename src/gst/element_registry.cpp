#include "gst/element_registry.h"

#include <gst/gst.h>

#include <mutex>

#include "gst/audio_transform_element.h"
#include "gst/jpeg_decoder_element.h"
#include "gst/metadata_extractor_element.h"
#include "gst/multi_metadata_element.h"
#include "gst/overlay_element.h"
#include "gst/push_source_element.h"

bool RegisterQmxElements() {
  static std::once_flag once;
  static bool registered = false;
  std::call_once(once, [] {
    const struct {
      const char* name;
      GType type;
    } elements[] = {
        {"qmxmetaextract", QmxMetadataExtractorElementType()},
        {"qmxoverlay", QmxOverlayElementType()},
        {"qmxaudiotransform", QmxAudioTransformElementType()},
        {"qmxmultimeta", QmxMultiMetadataElementType()},
        {"qmxjpegdec", QmxJpegDecoderElementType()},
        {"qmxpushsrc", QmxPushSourceElementType()},
    };
    registered = true;
    for (const auto& e : elements)
      registered = gst_element_register(nullptr, e.name, GST_RANK_NONE, e.type) && registered;
  });
  return registered;
}
