#include "gst/filter_element.h"

#include <memory>

#include "metadata/overlay_filter.h"

namespace {

enum { PROP_0, PROP_DVR_KIND };
constexpr int DEFAULT_PROP_DVR_KIND = 0;

G_DEFINE_ABSTRACT_TYPE(QmxFilterElement, qmx_filter_element, GST_TYPE_BASE_TRANSFORM)

#define QMX_FILTER_ELEMENT_GET_CLASS(obj) \
  (G_TYPE_INSTANCE_GET_CLASS((obj), QMX_TYPE_FILTER_ELEMENT, QmxFilterElementClass))

void qmx_filter_element_set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  QmxFilterElement* self = QMX_FILTER_ELEMENT(object);
  switch (id) {
    case PROP_DVR_KIND:
      self->dvrKind = g_value_get_int(value);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
      break;
  }
}

void qmx_filter_element_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  QmxFilterElement* self = QMX_FILTER_ELEMENT(object);
  switch (id) {
    case PROP_DVR_KIND:
      g_value_set_int(value, self->filter ? DvrKindNumber(self->filter->DvrKind()) : self->dvrKind);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
      break;
  }
}

void qmx_filter_element_constructed(GObject* object) {
  G_OBJECT_CLASS(qmx_filter_element_parent_class)->constructed(object);
  QmxFilterElement* self = QMX_FILTER_ELEMENT(object);
  const FilterRole role = QMX_FILTER_ELEMENT_GET_CLASS(object)->role;
  gchar* name = gst_object_get_name(GST_OBJECT(object));
  self->filter =
      std::make_unique<COverlayFilter>(name ? name : "", role, DvrLayoutFromKindNumber(self->dvrKind))
          .release();
  g_free(name);
}

void qmx_filter_element_finalize(GObject* object) {
  QmxFilterElement* self = QMX_FILTER_ELEMENT(object);
  std::unique_ptr<COverlayFilter>(self->filter).reset();
  self->filter = nullptr;
  G_OBJECT_CLASS(qmx_filter_element_parent_class)->finalize(object);
}

GstCaps* qmx_filter_element_transform_caps(GstBaseTransform* base, GstPadDirection, GstCaps* caps,
                                           GstCaps* filter) {
  const char* own = QMX_FILTER_ELEMENT_GET_CLASS(base)->caps;
  GstCaps* result = nullptr;
  if (own != nullptr) {
    GstCaps* roleCaps = gst_caps_from_string(own);
    result = gst_caps_intersect(caps, roleCaps);
    gst_caps_unref(roleCaps);
  } else {
    result = gst_caps_ref(caps);
  }
  if (filter) {
    GstCaps* narrowed = gst_caps_intersect_full(filter, result, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(result);
    result = narrowed;
  }
  return result;
}

void qmx_filter_element_class_init(QmxFilterElementClass* klass) {
  GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
  gobject_class->set_property = qmx_filter_element_set_property;
  gobject_class->get_property = qmx_filter_element_get_property;
  gobject_class->constructed = qmx_filter_element_constructed;
  gobject_class->finalize = qmx_filter_element_finalize;
  g_object_class_install_property(
      gobject_class, PROP_DVR_KIND,
      g_param_spec_int("dvr-kind", "DVR kind", "0 four-channel, 1..3 two-channel layouts", 0, 3,
                       DEFAULT_PROP_DVR_KIND,
                       GParamFlags(G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY | G_PARAM_STATIC_STRINGS)));
  GST_BASE_TRANSFORM_CLASS(klass)->transform_caps = qmx_filter_element_transform_caps;
  klass->role = FilterRole::kOverlay;
  klass->caps = nullptr;
}

void qmx_filter_element_init(QmxFilterElement* self) {
  self->dvrKind = DEFAULT_PROP_DVR_KIND;
  self->filter = nullptr;
}

}  // namespace

GType QmxFilterElementType() {
  return qmx_filter_element_get_type();
}

COverlayFilter* OverlayElementFilter(GstElement* element) {
  if (element == nullptr || !QMX_IS_FILTER_ELEMENT(element)) return nullptr;
  return QMX_FILTER_ELEMENT(element)->filter;
}

void QmxFilterElementClassSetUp(QmxFilterElementClass* klass, FilterRole role, const char* caps,
                                const char* longName, const char* classification, const char* description) {
  klass->role = role;
  klass->caps = caps;
  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  GstCaps* templateCaps = caps ? gst_caps_from_string(caps) : gst_caps_new_any();
  gst_element_class_add_pad_template(
      element_class, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, templateCaps));
  gst_element_class_add_pad_template(element_class,
                                     gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, templateCaps));
  gst_caps_unref(templateCaps);
  gst_element_class_set_static_metadata(element_class, longName, classification, description, "QMX");
}

int64_t QmxBufferRunningTime(GstBaseTransform* base, GstBuffer* buffer, bool end) {
  const GstClockTime pts = GST_BUFFER_PTS(buffer);
  if (!GST_CLOCK_TIME_IS_VALID(pts)) return CTimedMetadataInterface::kNoTime;
  const GstClockTime duration = GST_BUFFER_DURATION(buffer);
  GstClockTime at = pts;
  if (end) at += GST_CLOCK_TIME_IS_VALID(duration) && duration > 0 ? duration : 1;
  // Streams of one file share their segments, so running times pair a
  // metadata sample with its frame across branches (and after seeks).
  const GstSegment& segment = base->segment;
  GstClockTime running = at;
  if (segment.format == GST_FORMAT_TIME) {
    running = gst_segment_to_running_time(&segment, GST_FORMAT_TIME, at);
    // A time before the segment's start clips; the end of a frame that
    // begins inside it may still count.
    if (!GST_CLOCK_TIME_IS_VALID(running)) return CTimedMetadataInterface::kNoTime;
  }
  return int64_t(running);
}

GstFlowReturn QmxFilterElementExtract(GstBaseTransform* base, GstBuffer* buffer) {
  QmxFilterElement* self = QMX_FILTER_ELEMENT(base);
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) goto map_failed;
  // Extractors only read: the buffer passes on unchanged.
  self->filter->Transform(map.data, map.size, QmxBufferRunningTime(base, buffer, false));
  gst_buffer_unmap(buffer, &map);
  return GST_FLOW_OK;

  /* ERRORS */
map_failed:
  GST_ELEMENT_ERROR(self, STREAM, FAILED, (nullptr), ("could not map the buffer"));
  return GST_FLOW_ERROR;
}
