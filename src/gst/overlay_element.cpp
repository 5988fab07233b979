#include "gst/overlay_element.h"

#include <gst/audio/audio.h>
#include <gst/base/gstbasetransform.h>
#include <gst/video/video.h>

#include <cstring>
#include <memory>
#include <vector>

#include "metadata/overlay_filter.h"

GST_DEBUG_CATEGORY_STATIC(qmx_overlay_debug);
#define GST_CAT_DEFAULT qmx_overlay_debug

namespace {

enum { PROP_0, PROP_ROLE, PROP_DVR_KIND };
constexpr int DEFAULT_PROP_ROLE = 1;
constexpr int DEFAULT_PROP_DVR_KIND = 0;

struct QmxOverlay {
  GstBaseTransform parent;
  int role;
  int dvrKind;
  COverlayFilter* filter;  // owned; made in constructed, deleted in finalize
  // Negotiated formats (streaming thread).
  bool haveVideoInfo;
  GstVideoInfo videoInfo;
  int audioChannels;
  std::vector<uint8_t>* packed;  // owned; rows of a padded frame made contiguous
};

struct QmxOverlayClass {
  GstBaseTransformClass parent_class;
};

GType qmx_overlay_get_type();
#define QMX_TYPE_OVERLAY (qmx_overlay_get_type())
#define QMX_OVERLAY(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), QMX_TYPE_OVERLAY, QmxOverlay))
#define QMX_IS_OVERLAY(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), QMX_TYPE_OVERLAY))

G_DEFINE_TYPE(QmxOverlay, qmx_overlay, GST_TYPE_BASE_TRANSFORM)

GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

// The caps a role works on; null for the extractor roles, which take any.
GstCaps* RoleCaps(int role) {
  if (role == 1) return gst_caps_from_string("video/x-raw,format=BGRx");
  if (role == 2) return gst_caps_from_string("audio/x-raw,format=S16LE,layout=interleaved");
  return nullptr;
}

void qmx_overlay_set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  QmxOverlay* self = QMX_OVERLAY(object);
  switch (id) {
    case PROP_ROLE:
      self->role = g_value_get_int(value);
      break;
    case PROP_DVR_KIND:
      self->dvrKind = g_value_get_int(value);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
      break;
  }
}

void qmx_overlay_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  QmxOverlay* self = QMX_OVERLAY(object);
  switch (id) {
    case PROP_ROLE:
      g_value_set_int(value, self->role);
      break;
    case PROP_DVR_KIND:
      g_value_set_int(value, self->filter ? self->filter->DvrKind() : self->dvrKind);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
      break;
  }
}

void qmx_overlay_constructed(GObject* object) {
  G_OBJECT_CLASS(qmx_overlay_parent_class)->constructed(object);
  QmxOverlay* self = QMX_OVERLAY(object);
  gchar* name = gst_object_get_name(GST_OBJECT(object));
  self->filter = std::make_unique<COverlayFilter>(name ? name : "", self->role, self->dvrKind).release();
  g_free(name);
  GstBaseTransform* base = GST_BASE_TRANSFORM(object);
  // Extractors only read what passes; the others change it where it lies.
  if (self->role == 0 || self->role == 3) {
    gst_base_transform_set_passthrough(base, TRUE);
  } else {
    gst_base_transform_set_in_place(base, TRUE);
  }
}

void qmx_overlay_finalize(GObject* object) {
  QmxOverlay* self = QMX_OVERLAY(object);
  std::unique_ptr<COverlayFilter>(self->filter).reset();
  self->filter = nullptr;
  std::unique_ptr<std::vector<uint8_t>>(self->packed).reset();
  self->packed = nullptr;
  G_OBJECT_CLASS(qmx_overlay_parent_class)->finalize(object);
}

GstCaps* qmx_overlay_transform_caps(GstBaseTransform* base, GstPadDirection, GstCaps* caps, GstCaps* filter) {
  QmxOverlay* self = QMX_OVERLAY(base);
  GstCaps* roleCaps = RoleCaps(self->role);
  GstCaps* result = roleCaps ? gst_caps_intersect(caps, roleCaps) : gst_caps_ref(caps);
  if (roleCaps) gst_caps_unref(roleCaps);
  if (filter) {
    GstCaps* narrowed = gst_caps_intersect_full(filter, result, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(result);
    result = narrowed;
  }
  return result;
}

gboolean qmx_overlay_set_caps(GstBaseTransform* base, GstCaps* incaps, GstCaps*) {
  QmxOverlay* self = QMX_OVERLAY(base);
  if (self->role == 1) {
    self->haveVideoInfo = gst_video_info_from_caps(&self->videoInfo, incaps);
    if (!self->haveVideoInfo) goto bad_caps;
  } else if (self->role == 2) {
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, incaps)) goto bad_caps;
    self->audioChannels = GST_AUDIO_INFO_CHANNELS(&info);
  }
  return TRUE;

  /* ERRORS */
bad_caps:
  GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, (nullptr), ("unusable caps %" GST_PTR_FORMAT, incaps));
  return FALSE;
}

// Role 1: hands the frame to the filter with its real size; a frame whose
// rows carry padding is made contiguous first and written back after.
GstFlowReturn TransformVideo(QmxOverlay* self, GstBuffer* buffer) {
  GstVideoFrame frame;
  if (!self->haveVideoInfo) goto not_negotiated;
  if (!gst_video_frame_map(&frame, &self->videoInfo, buffer, GST_MAP_READWRITE)) goto map_failed;
  {
    const int width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    auto* pixels = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const std::size_t rowBytes = std::size_t(width) * 4;
    const std::size_t bytes = rowBytes * std::size_t(height);
    if (std::size_t(stride) == rowBytes) {
      self->filter->TransformVideo(pixels, bytes, width, height);
    } else if (stride > 0 && std::size_t(stride) > rowBytes) {
      if (self->packed == nullptr) self->packed = std::make_unique<std::vector<uint8_t>>().release();
      std::vector<uint8_t>& packed = *self->packed;
      packed.resize(bytes);
      for (int r = 0; r < height; ++r)
        std::memcpy(packed.data() + std::size_t(r) * rowBytes, pixels + std::size_t(r) * stride, rowBytes);
      self->filter->TransformVideo(packed.data(), bytes, width, height);
      for (int r = 0; r < height; ++r)
        std::memcpy(pixels + std::size_t(r) * stride, packed.data() + std::size_t(r) * rowBytes, rowBytes);
    }
  }
  gst_video_frame_unmap(&frame);
  return GST_FLOW_OK;

  /* ERRORS */
not_negotiated:
  GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, (nullptr), ("no video format negotiated"));
  return GST_FLOW_NOT_NEGOTIATED;
map_failed:
  GST_ELEMENT_ERROR(self, STREAM, FAILED, (nullptr), ("could not map the video frame"));
  return GST_FLOW_ERROR;
}

GstFlowReturn qmx_overlay_transform_ip(GstBaseTransform* base, GstBuffer* buffer) {
  QmxOverlay* self = QMX_OVERLAY(base);
  if (self->role == 1) return TransformVideo(self, buffer);

  GstMapInfo map;
  const bool extractor = self->role == 0 || self->role == 3;
  if (!extractor && self->role == 2 && self->audioChannels != 2) return GST_FLOW_OK;  // no stereo pairs
  if (!gst_buffer_map(buffer, &map, extractor ? GST_MAP_READ : GST_MAP_READWRITE)) goto map_failed;
  // Extractors only read: the buffer passes on unchanged.
  self->filter->Transform(map.data, map.size);
  gst_buffer_unmap(buffer, &map);
  return GST_FLOW_OK;

  /* ERRORS */
map_failed:
  GST_ELEMENT_ERROR(self, STREAM, FAILED, (nullptr), ("could not map the buffer"));
  return GST_FLOW_ERROR;
}

void qmx_overlay_class_init(QmxOverlayClass* klass) {
  GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  GstBaseTransformClass* transform_class = GST_BASE_TRANSFORM_CLASS(klass);

  gobject_class->set_property = qmx_overlay_set_property;
  gobject_class->get_property = qmx_overlay_get_property;
  gobject_class->constructed = qmx_overlay_constructed;
  gobject_class->finalize = qmx_overlay_finalize;

  const auto flags = GParamFlags(G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY | G_PARAM_STATIC_STRINGS);
  g_object_class_install_property(
      gobject_class, PROP_ROLE,
      g_param_spec_int("role", "Role",
                       "0 metadata extractor, 1 video overlay, 2 audio transform, "
                       "3 multi-metadata extractor",
                       0, 3, DEFAULT_PROP_ROLE, flags));
  g_object_class_install_property(
      gobject_class, PROP_DVR_KIND,
      g_param_spec_int("dvr-kind", "DVR kind", "0 four-channel, 1..3 two-channel layouts", 0, 3,
                       DEFAULT_PROP_DVR_KIND, flags));

  gst_element_class_set_static_metadata(element_class, "QMX overlay", "Filter/Effect/Video",
                                        "Extracts DVR metadata, draws it onto frames, deinterlaces and mixes "
                                        "stereo audio",
                                        "QMX");
  gst_element_class_add_static_pad_template(element_class, &sink_template);
  gst_element_class_add_static_pad_template(element_class, &src_template);

  transform_class->transform_caps = qmx_overlay_transform_caps;
  transform_class->set_caps = qmx_overlay_set_caps;
  transform_class->transform_ip = qmx_overlay_transform_ip;
  // Extractors must see buffers even while passing them through untouched.
  transform_class->transform_ip_on_passthrough = TRUE;
}

void qmx_overlay_init(QmxOverlay* self) {
  self->role = DEFAULT_PROP_ROLE;
  self->dvrKind = DEFAULT_PROP_DVR_KIND;
  self->filter = nullptr;
  self->haveVideoInfo = false;
  gst_video_info_init(&self->videoInfo);
  self->audioChannels = 0;
  self->packed = nullptr;
}

}  // namespace

GType QmxOverlayElementType() {
  static gsize type = 0;
  if (g_once_init_enter(&type)) {
    GST_DEBUG_CATEGORY_INIT(qmx_overlay_debug, "qmxoverlay", 0, "QMX overlay filter");
    g_once_init_leave(&type, QMX_TYPE_OVERLAY);
  }
  return GType(type);
}

COverlayFilter* OverlayElementFilter(GstElement* element) {
  if (element == nullptr || !QMX_IS_OVERLAY(element)) return nullptr;
  return QMX_OVERLAY(element)->filter;
}
