#include "gst/multi_metadata_element.h"

namespace {

struct QmxMultiMeta {
  QmxFilterElement parent;
};

struct QmxMultiMetaClass {
  QmxFilterElementClass parent_class;
};

G_DEFINE_TYPE(QmxMultiMeta, qmx_multi_meta, QMX_TYPE_FILTER_ELEMENT)

void qmx_multi_meta_class_init(QmxMultiMetaClass* klass) {
  QmxFilterElementClassSetUp(&klass->parent_class, FilterRole::kMulti, nullptr,
                             "QMX multi-metadata extractor", "Filter/Metadata",
                             "Decodes the samples of a DVR metadata stream for every channel");
  GstBaseTransformClass* transform_class = GST_BASE_TRANSFORM_CLASS(klass);
  transform_class->transform_ip = QmxFilterElementExtract;
  // It must see buffers while passing them through untouched.
  transform_class->transform_ip_on_passthrough = TRUE;
}

void qmx_multi_meta_init(QmxMultiMeta* self) {
  gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), TRUE);
}

}  // namespace

GType QmxMultiMetadataElementType() {
  return qmx_multi_meta_get_type();
}
