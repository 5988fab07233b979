#pragma once

#include <gst/base/gstbasetransform.h>
#include <gst/gst.h>

#include <cstdint>

#include "metadata/overlay_filter.h"

// The abstract GstBaseTransform the project's four filter elements derive
// from: each instance carries one COverlayFilter in the role its class names,
// made when the element is constructed and deleted with it.
//
// Property of every filter element, construct-only:
//   dvr-kind  int 0..3 (default 0): the DvrKindNumber of the recording's layout.
// The filter's source name for listeners is the element's name at creation.
GType QmxFilterElementType();

// The C++ filter of one of our filter elements ("qmxmetaextract",
// "qmxoverlay", "qmxaudiotransform", "qmxmultimeta"), owned by the element
// and alive as long as it is; null for any other element. Use it to set the
// recording context, switches, gains and listeners, and to take snapshots.
COverlayFilter* OverlayElementFilter(GstElement* element);

// For the element files only.
struct QmxFilterElement {
  GstBaseTransform parent;
  int dvrKind;
  COverlayFilter* filter;  // owned; made in constructed, deleted in finalize
};

struct QmxFilterElementClass {
  GstBaseTransformClass parent_class;
  FilterRole role;   // the COverlayFilter role of every instance
  const char* caps;  // what the element works on; null takes any caps
};

#define QMX_TYPE_FILTER_ELEMENT (QmxFilterElementType())
#define QMX_FILTER_ELEMENT(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), QMX_TYPE_FILTER_ELEMENT, QmxFilterElement))
#define QMX_IS_FILTER_ELEMENT(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), QMX_TYPE_FILTER_ELEMENT))

// Sets a subclass's role, caps, pad templates and description.
void QmxFilterElementClassSetUp(QmxFilterElementClass* klass, FilterRole role, const char* caps,
                                const char* longName, const char* classification, const char* description);

// Running time in nanoseconds of a buffer's start (end: its start plus its
// duration, or just after its start when it has none) in the element's
// input segment; CTimedMetadataInterface::kNoTime when the buffer carries no
// time.
int64_t QmxBufferRunningTime(GstBaseTransform* base, GstBuffer* buffer, bool end);

// transform_ip of the extractor elements: parses the buffer with its time,
// which passes on unchanged.
GstFlowReturn QmxFilterElementExtract(GstBaseTransform* base, GstBuffer* buffer);
