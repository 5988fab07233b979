#include "gst/push_source_element.h"

#include <gst/base/gstpushsrc.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

namespace {

// How often a waiting streaming thread looks at the flushing flag, in case
// an interruption came just before its wait began.
constexpr auto kFrameWaitStep = std::chrono::milliseconds(20);

struct PushSourceState {
  std::mutex lock;  // guards supplier and flushing
  std::condition_variable wake;
  std::shared_ptr<PushSampleSupplier> supplier;
  bool flushing = false;
};

struct CPushSource {
  GstPushSrc parent;
  PushSourceState state;  // constructed in init, destroyed in finalize
};

struct CPushSourceClass {
  GstPushSrcClass parent_class;
};

G_DEFINE_TYPE(CPushSource, c_push_source, GST_TYPE_PUSH_SRC)

GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("image/jpeg"));

PushSourceState& State(gpointer self) {
  return reinterpret_cast<CPushSource*>(self)->state;
}

std::shared_ptr<PushSampleSupplier> Supplier(gpointer self) {
  std::lock_guard<std::mutex> hold(State(self).lock);
  return State(self).supplier;
}

GstCaps* GetCaps(GstBaseSrc* src, GstCaps* filter) {
  const auto supplier = Supplier(src);
  int width = 320, height = 240;
  double fps = 30.0;
  if (supplier) supplier->Format(width, height, fps);
  int num = 30, den = 1;
  gst_util_double_to_fraction(fps, &num, &den);
  GstCaps* caps = gst_caps_new_simple("image/jpeg", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                      "framerate", GST_TYPE_FRACTION, num, den, nullptr);
  if (!filter) return caps;
  GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
  gst_caps_unref(caps);
  return both;
}

gboolean Unlock(GstBaseSrc* src) {
  PushSourceState& s = State(src);
  std::shared_ptr<PushSampleSupplier> supplier;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    s.flushing = true;
    supplier = s.supplier;
  }
  s.wake.notify_all();
  if (supplier) supplier->Interrupt();
  return TRUE;
}

gboolean UnlockStop(GstBaseSrc* src) {
  std::lock_guard<std::mutex> hold(State(src).lock);
  State(src).flushing = false;
  return TRUE;
}

GstFlowReturn Create(GstPushSrc* src, GstBuffer** out) {
  PushSourceState& s = State(src);
  std::shared_ptr<PushSampleSupplier> supplier;
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(s.lock);
      if (s.flushing) return GST_FLOW_FLUSHING;
      supplier = s.supplier;
    }
    if (supplier) {
      if (supplier->WaitForNewSample(kFrameWaitStep)) break;
      continue;
    }
    std::unique_lock<std::mutex> hold(s.lock);
    s.wake.wait_for(hold, kFrameWaitStep, [&s] { return s.flushing || s.supplier; });
  }
  PushSampleSupplier::Sample sample;
  if (!supplier->NextSample(sample)) return GST_FLOW_EOS;
  GstBuffer* buffer = gst_buffer_new_memdup(sample.data.data(), sample.data.size());
  GST_BUFFER_PTS(buffer) = GstClockTime(sample.ptsNs);
  GST_BUFFER_DURATION(buffer) = GstClockTime(sample.durationNs);
  if (!sample.syncPoint) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
  *out = buffer;
  return GST_FLOW_OK;
}

void Finalize(GObject* object) {
  State(object).~PushSourceState();
  G_OBJECT_CLASS(c_push_source_parent_class)->finalize(object);
}

void c_push_source_class_init(CPushSourceClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = Finalize;
  auto* element_class = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element_class, &src_template);
  gst_element_class_set_static_metadata(element_class, "QMX live push source", "Source/Video",
                                        "Sends the newest live frames of a DVR channel", "QMX");
  auto* base_class = GST_BASE_SRC_CLASS(klass);
  base_class->get_caps = GetCaps;
  base_class->unlock = Unlock;
  base_class->unlock_stop = UnlockStop;
  GST_PUSH_SRC_CLASS(klass)->create = Create;
}

void c_push_source_init(CPushSource* self) {
  new (&self->state) PushSourceState();
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
  gst_base_src_set_live(GST_BASE_SRC(self), FALSE);
}

}  // namespace

GType QmxPushSourceElementType() {
  return c_push_source_get_type();
}

void QmxPushSourceSetSupplier(GstElement* element, std::shared_ptr<PushSampleSupplier> supplier) {
  if (!G_TYPE_CHECK_INSTANCE_TYPE(element, c_push_source_get_type())) return;
  PushSourceState& s = State(element);
  {
    std::lock_guard<std::mutex> hold(s.lock);
    s.supplier = std::move(supplier);
  }
  s.wake.notify_all();
}
