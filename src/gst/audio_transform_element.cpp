#include "gst/audio_transform_element.h"

#include <gst/audio/audio.h>

#include "metadata/overlay_filter.h"

namespace {

struct QmxAudioTransform {
  QmxFilterElement parent;
  int channels;  // of the negotiated format; 0 before (streaming thread)
};

struct QmxAudioTransformClass {
  QmxFilterElementClass parent_class;
};

G_DEFINE_TYPE(QmxAudioTransform, qmx_audio_transform, QMX_TYPE_FILTER_ELEMENT)

#define QMX_AUDIO_TRANSFORM(obj) (reinterpret_cast<QmxAudioTransform*>(obj))

gboolean qmx_audio_transform_set_caps(GstBaseTransform* base, GstCaps* incaps, GstCaps*) {
  QmxAudioTransform* self = QMX_AUDIO_TRANSFORM(base);
  GstAudioInfo info;
  if (!gst_audio_info_from_caps(&info, incaps)) goto bad_caps;
  self->channels = GST_AUDIO_INFO_CHANNELS(&info);
  return TRUE;

  /* ERRORS */
bad_caps:
  GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, (nullptr), ("unusable caps %" GST_PTR_FORMAT, incaps));
  return FALSE;
}

GstFlowReturn qmx_audio_transform_transform_ip(GstBaseTransform* base, GstBuffer* buffer) {
  QmxAudioTransform* self = QMX_AUDIO_TRANSFORM(base);
  if (self->channels != 2) return GST_FLOW_OK;  // no stereo pairs to mix
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_READWRITE)) goto map_failed;
  self->parent.filter->Transform(map.data, map.size);
  gst_buffer_unmap(buffer, &map);
  return GST_FLOW_OK;

  /* ERRORS */
map_failed:
  GST_ELEMENT_ERROR(self, STREAM, FAILED, (nullptr), ("could not map the buffer"));
  return GST_FLOW_ERROR;
}

void qmx_audio_transform_class_init(QmxAudioTransformClass* klass) {
  QmxFilterElementClassSetUp(&klass->parent_class, FilterRole::kAudio,
                             "audio/x-raw,format=S16LE,layout=interleaved", "QMX audio transform",
                             "Filter/Effect/Audio", "Mixes the two sides of DVR stereo audio");
  GstBaseTransformClass* transform_class = GST_BASE_TRANSFORM_CLASS(klass);
  transform_class->set_caps = qmx_audio_transform_set_caps;
  transform_class->transform_ip = qmx_audio_transform_transform_ip;
}

void qmx_audio_transform_init(QmxAudioTransform* self) {
  self->channels = 0;
  gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
}

}  // namespace

GType QmxAudioTransformElementType() {
  return qmx_audio_transform_get_type();
}
