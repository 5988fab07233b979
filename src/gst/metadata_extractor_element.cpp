#include "gst/metadata_extractor_element.h"

namespace {

struct QmxMetaExtract {
  QmxFilterElement parent;
};

struct QmxMetaExtractClass {
  QmxFilterElementClass parent_class;
};

G_DEFINE_TYPE(QmxMetaExtract, qmx_meta_extract, QMX_TYPE_FILTER_ELEMENT)

void qmx_meta_extract_class_init(QmxMetaExtractClass* klass) {
  QmxFilterElementClassSetUp(&klass->parent_class, FilterRole::kExtractor, nullptr, "QMX metadata extractor",
                             "Filter/Metadata", "Decodes the DVR metadata inside compressed frames");
  GstBaseTransformClass* transform_class = GST_BASE_TRANSFORM_CLASS(klass);
  transform_class->transform_ip = QmxFilterElementExtract;
  // It must see buffers while passing them through untouched.
  transform_class->transform_ip_on_passthrough = TRUE;
}

void qmx_meta_extract_init(QmxMetaExtract* self) {
  gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), TRUE);
}

}  // namespace

GType QmxMetadataExtractorElementType() {
  return qmx_meta_extract_get_type();
}
