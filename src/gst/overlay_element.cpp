#include "gst/overlay_element.h"

#include <gst/video/video.h>

#include <cstring>
#include <memory>
#include <vector>

#include "gst/deinterlaced_meta.h"
#include "gst/held_buffer.h"
#include "metadata/overlay_filter.h"

namespace {

struct QmxOverlay {
  QmxFilterElement parent;
  // Negotiated format (streaming thread).
  bool haveVideoInfo;
  GstVideoInfo videoInfo;
  std::vector<uint8_t>* packed;  // owned; rows of a padded frame made contiguous
};

struct QmxOverlayClass {
  QmxFilterElementClass parent_class;
};

G_DEFINE_TYPE(QmxOverlay, qmx_overlay, QMX_TYPE_FILTER_ELEMENT)

#define QMX_OVERLAY(obj) (reinterpret_cast<QmxOverlay*>(obj))

COverlayFilter& FilterOf(QmxOverlay* self) {
  return *self->parent.filter;
}

void qmx_overlay_finalize(GObject* object) {
  QmxOverlay* self = QMX_OVERLAY(object);
  std::unique_ptr<std::vector<uint8_t>>(self->packed).reset();
  self->packed = nullptr;
  G_OBJECT_CLASS(qmx_overlay_parent_class)->finalize(object);
}

gboolean qmx_overlay_set_caps(GstBaseTransform* base, GstCaps* incaps, GstCaps*) {
  QmxOverlay* self = QMX_OVERLAY(base);
  self->haveVideoInfo = gst_video_info_from_caps(&self->videoInfo, incaps);
  if (!self->haveVideoInfo) goto bad_caps;
  return TRUE;

  /* ERRORS */
bad_caps:
  GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, (nullptr), ("unusable caps %" GST_PTR_FORMAT, incaps));
  return FALSE;
}

gboolean qmx_overlay_sink_event(GstBaseTransform* base, GstEvent* event) {
  // Times held before a flush belong to the timeline the seek left.
  if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) FilterOf(QMX_OVERLAY(base)).ClearPendingTexts();
  return GST_BASE_TRANSFORM_CLASS(qmx_overlay_parent_class)->sink_event(base, event);
}

gboolean qmx_overlay_stop(GstBaseTransform* base) {
  FilterOf(QMX_OVERLAY(base)).ClearPendingTexts();
  return TRUE;
}

// Hands the frame to the filter with its real size and the end of its time
// span; a frame whose rows carry padding is made contiguous first and
// written back after.
GstFlowReturn qmx_overlay_transform_ip(GstBaseTransform* base, GstBuffer* buffer) {
  QmxOverlay* self = QMX_OVERLAY(base);
  COverlayFilter& filter = FilterOf(self);
  const int64_t dueBefore = QmxBufferRunningTime(base, buffer, true);
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
    const bool deinterlaced = IsDeinterlaced(buffer);
    if (std::size_t(stride) == rowBytes && gst_buffer_n_memory(buffer) == 1 && pixels == frame.map[0].data) {
      // One block of memory from its start: the filter keeps a reference to
      // it instead of copying the frame.
      filter.TransformVideo(
          pixels, bytes, width, height, dueBefore, [buffer] { return HoldBufferForReading(buffer); },
          deinterlaced);
    } else if (stride > 0 && std::size_t(stride) > rowBytes) {
      if (self->packed == nullptr) self->packed = std::make_unique<std::vector<uint8_t>>().release();
      std::vector<uint8_t>& packed = *self->packed;
      packed.resize(bytes);
      for (int r = 0; r < height; ++r)
        std::memcpy(packed.data() + std::size_t(r) * rowBytes, pixels + std::size_t(r) * stride, rowBytes);
      filter.TransformVideo(packed.data(), bytes, width, height, dueBefore, nullptr, deinterlaced);
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

void qmx_overlay_class_init(QmxOverlayClass* klass) {
  QmxFilterElementClassSetUp(&klass->parent_class, FilterRole::kOverlay, "video/x-raw,format=BGRx",
                             "QMX overlay", "Filter/Effect/Video",
                             "Deinterlaces DVR pictures and draws their metadata onto them");
  G_OBJECT_CLASS(klass)->finalize = qmx_overlay_finalize;
  GstBaseTransformClass* transform_class = GST_BASE_TRANSFORM_CLASS(klass);
  transform_class->set_caps = qmx_overlay_set_caps;
  transform_class->sink_event = qmx_overlay_sink_event;
  transform_class->stop = qmx_overlay_stop;
  transform_class->transform_ip = qmx_overlay_transform_ip;
}

void qmx_overlay_init(QmxOverlay* self) {
  self->haveVideoInfo = false;
  gst_video_info_init(&self->videoInfo);
  self->packed = nullptr;
  gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
}

}  // namespace

GType QmxOverlayElementType() {
  return qmx_overlay_get_type();
}
