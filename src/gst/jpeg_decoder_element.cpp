#include "gst/jpeg_decoder_element.h"

#include <gst/video/gstvideodecoder.h>
#include <gst/video/video.h>

#include <memory>
#include <vector>

#include "gst/deinterlaced_meta.h"
#include "metadata/deinterlace.h"
#include "metadata/overlay_filter.h"
#include "snapshot/bgrx_scaler.h"
#include "snapshot/jpeg_bgrx_decoder.h"

GST_DEBUG_CATEGORY_STATIC(qmx_jpegdec_debug);
#define GST_CAT_DEFAULT qmx_jpegdec_debug

namespace {

// What the streaming thread decodes with: a picture shown smaller than its
// decoded size is decoded into `decoded` and scaled down into the output
// buffer as its rows come out.
struct Streaming {
  JpegBgrxDecoder decoder;
  BgrxScaler scaler;
  std::vector<uint8_t> decoded;
};

struct QmxJpegDec {
  GstVideoDecoder parent;
  Streaming* streaming;              // owned; made in start, deleted in stop (streaming state only)
  GstVideoCodecState* inputState;    // owned reference, for the frame rate and aspect of the output
  gint deinterlace;                  // a QmxDeinterlace value; atomic access, set from any thread
  gint shownWidth, shownHeight;      // the size the picture is shown at, 0 unknown; atomic, any thread
  gint pictureWidth, pictureHeight;  // the last frame's own size; atomic, read from any thread
};

enum QmxDeinterlace { kDeinterlaceNone = 0, kDeinterlaceAdaptive = 1, kDeinterlaceFast = 2 };
enum {
  PROP_0,
  PROP_DEINTERLACE,
  PROP_SHOWN_WIDTH,
  PROP_SHOWN_HEIGHT,
  PROP_PICTURE_WIDTH,
  PROP_PICTURE_HEIGHT
};

struct QmxJpegDecClass {
  GstVideoDecoderClass parent_class;
};

GType qmx_jpeg_dec_get_type();
#define QMX_JPEG_DEC(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), qmx_jpeg_dec_get_type(), QmxJpegDec))

G_DEFINE_TYPE(QmxJpegDec, qmx_jpeg_dec, GST_TYPE_VIDEO_DECODER)

GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("image/jpeg"));
GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("BGRx")));

void ReleaseInputState(QmxJpegDec* self) {
  if (self->inputState) gst_video_codec_state_unref(self->inputState);
  self->inputState = nullptr;
}

gboolean qmx_jpeg_dec_start(GstVideoDecoder* base) {
  QmxJpegDec* self = QMX_JPEG_DEC(base);
  if (!self->streaming) self->streaming = std::make_unique<Streaming>().release();
  return TRUE;
}

gboolean qmx_jpeg_dec_stop(GstVideoDecoder* base) {
  QmxJpegDec* self = QMX_JPEG_DEC(base);
  std::unique_ptr<Streaming>(self->streaming).reset();
  self->streaming = nullptr;
  ReleaseInputState(self);
  return TRUE;
}

gboolean qmx_jpeg_dec_set_format(GstVideoDecoder* base, GstVideoCodecState* state) {
  QmxJpegDec* self = QMX_JPEG_DEC(base);
  ReleaseInputState(self);
  self->inputState = gst_video_codec_state_ref(state);
  // The output format is set from the first frame's header: caps sizes from
  // a container are only a claim.
  return TRUE;
}

// Makes the output BGRx of width × height unless it already is.
bool EnsureOutputSize(QmxJpegDec* self, int width, int height) {
  GstVideoDecoder* base = GST_VIDEO_DECODER(self);
  GstVideoCodecState* current = gst_video_decoder_get_output_state(base);
  const bool same = current && GST_VIDEO_INFO_WIDTH(&current->info) == width &&
                    GST_VIDEO_INFO_HEIGHT(&current->info) == height;
  if (current) gst_video_codec_state_unref(current);
  if (same) return true;
  GST_DEBUG_OBJECT(self, "output %dx%d", width, height);
  GstVideoCodecState* out = gst_video_decoder_set_output_state(base, GST_VIDEO_FORMAT_BGRx, guint(width),
                                                               guint(height), self->inputState);
  if (!out) return false;
  gst_video_codec_state_unref(out);
  return gst_video_decoder_negotiate(base);
}

// Whether frames of this size are deinterlaced, by the overlay's own rule,
// and the element is asked to do it.
bool DeinterlacesFrame(QmxJpegDec* self, int width, int height) {
  if (g_atomic_int_get(&self->deinterlace) == kDeinterlaceNone) return false;
  int w = 0, h = 0;
  bool deinterlace = false;
  return COverlayFilter::VideoFrameSize(std::size_t(width) * std::size_t(height) * 4, DvrLayout::kFourChannel,
                                        w, h, deinterlace) &&
         deinterlace && w == width && h == height;
}

// Decodes the frame at `shown`'s reduction into `pixels` (rows `stride`
// apart, `capacity` bytes), deinterlacing full-size pictures when asked,
// and scales it down to the shown size while the rows come out when that is
// smaller; the scale takes a fast deinterlace in on the way.
JpegBgrxDecoder::Result DecodeShown(QmxJpegDec* self, const GstMapInfo& in, const ShownJpegSize& shown,
                                    uint8_t* pixels, gsize capacity, int stride, bool deinterlace) {
  Streaming& st = *self->streaming;
  const bool fast = g_atomic_int_get(&self->deinterlace) == kDeinterlaceFast;
  const int width = shown.decodedWidth, height = shown.decodedHeight;
  uint8_t* decoded = pixels;
  gsize decodedCapacity = capacity;
  int decodedStride = stride;
  const bool scaled = shown.Scaled();
  const bool passOverRows = deinterlace && !(scaled && fast);
  if (scaled) {
    if (!st.scaler.Configure(width, height, shown.width, shown.height,
                             deinterlace && fast ? FirstDeinterlacedRow(height) : -1))
      return JpegBgrxDecoder::Result::kBadTarget;
    st.decoded.resize(std::size_t(width) * std::size_t(height) * 4);
    decoded = st.decoded.data();
    decodedCapacity = st.decoded.size();
    decodedStride = width * 4;
  }
  int done = 0;
  JpegBgrxDecoder::RowsDone rowsDone;
  if (passOverRows || scaled) {
    rowsDone = [&](int rows) {
      if (passOverRows)
        DeinterlaceRows(decoded, width, height, std::size_t(decodedStride), done > 0 ? done - 1 : 0, rows,
                        fast);
      done = rows;
      // A deinterlaced row is final once the row below it is there.
      if (scaled)
        st.scaler.Feed(decoded, std::size_t(decodedStride), passOverRows && rows < height ? rows - 1 : rows,
                       pixels, std::size_t(stride));
    };
  }
  return st.decoder.Decode(in.data, in.size, decoded, decodedCapacity, width, height, decodedStride, rowsDone,
                           shown.scaleDenom);
}

GstFlowReturn qmx_jpeg_dec_handle_frame(GstVideoDecoder* base, GstVideoCodecFrame* frame) {
  QmxJpegDec* self = QMX_JPEG_DEC(base);
  GstFlowReturn ret = GST_FLOW_OK;
  JpegBgrxDecoder::Result result = JpegBgrxDecoder::Result::kOk;
  GstMapInfo in;
  GstVideoCodecState* state = nullptr;
  GstVideoFrame out;
  int width = 0, height = 0;
  ShownJpegSize shown;
  bool deinterlaced = false;

  if (!gst_buffer_map(frame->input_buffer, &in, GST_MAP_READ)) goto map_failed;
  result = self->streaming->decoder.ReadSize(in.data, in.size, width, height);
  if (result != JpegBgrxDecoder::Result::kOk) goto decode_failed;
  g_atomic_int_set(&self->pictureWidth, width);
  g_atomic_int_set(&self->pictureHeight, height);
  // A picture shown smaller than its size is handed on at the size shown:
  // below half of it libjpeg-turbo decodes at a reduced size directly (a
  // fraction of the work), and what is left is scaled down here, so the
  // window neither scales nor holds the full picture.
  shown = ChooseShownJpegSize(width, height, g_atomic_int_get(&self->shownWidth),
                              g_atomic_int_get(&self->shownHeight));
  deinterlaced = shown.scaleDenom == 1 && DeinterlacesFrame(self, width, height);
  width = shown.width;
  height = shown.height;
  if (!EnsureOutputSize(self, width, height)) goto not_negotiated;

  ret = gst_video_decoder_allocate_output_frame(base, frame);
  if (ret != GST_FLOW_OK) goto alloc_failed;
  state = gst_video_decoder_get_output_state(base);
  if (!gst_video_frame_map(&out, &state->info, frame->output_buffer, GST_MAP_WRITE)) goto out_map_failed;
  {
    auto* pixels = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&out, 0));
    const gsize before = gsize(pixels - out.map[0].data);
    const gsize capacity = out.map[0].size > before ? out.map[0].size - before : 0;
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&out, 0);
    result = DecodeShown(self, in, shown, pixels, capacity, stride, deinterlaced);
  }
  gst_video_frame_unmap(&out);
  gst_video_codec_state_unref(state);
  if (result != JpegBgrxDecoder::Result::kOk) goto decode_failed;
  if (deinterlaced) MarkDeinterlaced(frame->output_buffer);
  // The recorded frame goes along with its reduced picture.
  if (shown.scaleDenom > 1 || shown.Scaled())
    gst_buffer_add_parent_buffer_meta(frame->output_buffer, frame->input_buffer);
  gst_buffer_unmap(frame->input_buffer, &in);
  return gst_video_decoder_finish_frame(base, frame);

  /* ERRORS */
map_failed:
  GST_ELEMENT_ERROR(self, STREAM, FAILED, (nullptr), ("could not map the compressed frame"));
  gst_video_decoder_drop_frame(base, frame);
  return GST_FLOW_ERROR;
decode_failed:
  gst_buffer_unmap(frame->input_buffer, &in);
  // The frame is lost, not the stream: tell the application and go on.
  GST_ELEMENT_WARNING(self, STREAM, DECODE, ("Could not decode a Motion-JPEG frame."),
                      ("%s: %s", JpegBgrxResultText(result), self->streaming->decoder.LastError().c_str()));
  gst_video_decoder_drop_frame(base, frame);
  return ret;
not_negotiated:
  gst_buffer_unmap(frame->input_buffer, &in);
  GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, (nullptr), ("downstream refuses BGRx %dx%d", width, height));
  gst_video_decoder_drop_frame(base, frame);
  return GST_FLOW_NOT_NEGOTIATED;
alloc_failed:
  gst_buffer_unmap(frame->input_buffer, &in);
  GST_DEBUG_OBJECT(self, "no output buffer: %s", gst_flow_get_name(ret));
  gst_video_decoder_drop_frame(base, frame);
  return ret;
out_map_failed:
  gst_video_codec_state_unref(state);
  gst_buffer_unmap(frame->input_buffer, &in);
  GST_ELEMENT_ERROR(self, STREAM, FAILED, (nullptr), ("could not map the output frame"));
  gst_video_decoder_drop_frame(base, frame);
  return GST_FLOW_ERROR;
}

void qmx_jpeg_dec_finalize(GObject* object) {
  QmxJpegDec* self = QMX_JPEG_DEC(object);
  std::unique_ptr<Streaming>(self->streaming).reset();
  self->streaming = nullptr;
  ReleaseInputState(self);
  G_OBJECT_CLASS(qmx_jpeg_dec_parent_class)->finalize(object);
}

void qmx_jpeg_dec_set_property(GObject* object, guint id, const GValue* value, GParamSpec* spec) {
  QmxJpegDec* self = QMX_JPEG_DEC(object);
  if (id == PROP_DEINTERLACE)
    g_atomic_int_set(&self->deinterlace, g_value_get_int(value));
  else if (id == PROP_SHOWN_WIDTH)
    g_atomic_int_set(&self->shownWidth, g_value_get_int(value));
  else if (id == PROP_SHOWN_HEIGHT)
    g_atomic_int_set(&self->shownHeight, g_value_get_int(value));
  else
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
}

void qmx_jpeg_dec_get_property(GObject* object, guint id, GValue* value, GParamSpec* spec) {
  QmxJpegDec* self = QMX_JPEG_DEC(object);
  if (id == PROP_DEINTERLACE)
    g_value_set_int(value, g_atomic_int_get(&self->deinterlace));
  else if (id == PROP_SHOWN_WIDTH)
    g_value_set_int(value, g_atomic_int_get(&self->shownWidth));
  else if (id == PROP_SHOWN_HEIGHT)
    g_value_set_int(value, g_atomic_int_get(&self->shownHeight));
  else if (id == PROP_PICTURE_WIDTH)
    g_value_set_int(value, g_atomic_int_get(&self->pictureWidth));
  else if (id == PROP_PICTURE_HEIGHT)
    g_value_set_int(value, g_atomic_int_get(&self->pictureHeight));
  else
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
}

void qmx_jpeg_dec_class_init(QmxJpegDecClass* klass) {
  GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  GstVideoDecoderClass* decoder_class = GST_VIDEO_DECODER_CLASS(klass);

  gobject_class->finalize = qmx_jpeg_dec_finalize;
  gobject_class->set_property = qmx_jpeg_dec_set_property;
  gobject_class->get_property = qmx_jpeg_dec_get_property;
  g_object_class_install_property(
      gobject_class, PROP_DEINTERLACE,
      g_param_spec_int("deinterlace", "Deinterlace",
                       "Deinterlace full-height pictures as they are decoded, marking them so the overlay "
                       "does not: 0 no, 1 adaptive, 2 fast",
                       kDeinterlaceNone, kDeinterlaceFast, kDeinterlaceNone,
                       GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
  const struct {
    guint id;
    const char *name, *blurb;
    GParamFlags flags;
  } sizes[] = {
      {PROP_SHOWN_WIDTH, "shown-width",
       "Width the picture is shown at: a smaller picture is decoded at 1/2, 1/4 or 1/8 of its size where "
       "that still covers it, then scaled down to it (0: always the full size)",
       G_PARAM_READWRITE},
      {PROP_SHOWN_HEIGHT, "shown-height", "Height the picture is shown at (see shown-width)",
       G_PARAM_READWRITE},
      {PROP_PICTURE_WIDTH, "picture-width", "The last frame's own width, whatever size it was decoded at",
       G_PARAM_READABLE},
      {PROP_PICTURE_HEIGHT, "picture-height", "The last frame's own height", G_PARAM_READABLE},
  };
  for (const auto& p : sizes)
    g_object_class_install_property(gobject_class, p.id,
                                    g_param_spec_int(p.name, p.name, p.blurb, 0, G_MAXINT, 0,
                                                     GParamFlags(p.flags | G_PARAM_STATIC_STRINGS)));
  gst_element_class_set_static_metadata(element_class, "QMX Motion-JPEG decoder", "Codec/Decoder/Video",
                                        "Decodes Motion-JPEG frames straight into BGRx", "QMX");
  gst_element_class_add_static_pad_template(element_class, &sink_template);
  gst_element_class_add_static_pad_template(element_class, &src_template);

  decoder_class->start = qmx_jpeg_dec_start;
  decoder_class->stop = qmx_jpeg_dec_stop;
  decoder_class->set_format = qmx_jpeg_dec_set_format;
  decoder_class->handle_frame = qmx_jpeg_dec_handle_frame;
}

void qmx_jpeg_dec_init(QmxJpegDec* self) {
  self->streaming = nullptr;
  self->inputState = nullptr;
  self->deinterlace = kDeinterlaceNone;
  self->shownWidth = self->shownHeight = 0;
  self->pictureWidth = self->pictureHeight = 0;
  GstVideoDecoder* base = GST_VIDEO_DECODER(self);
  // Every buffer from the demuxer is one whole frame.
  gst_video_decoder_set_packetized(base, TRUE);
}

}  // namespace

GType QmxJpegDecoderElementType() {
  static gsize type = 0;
  if (g_once_init_enter(&type)) {
    GST_DEBUG_CATEGORY_INIT(qmx_jpegdec_debug, "qmxjpegdec", 0, "QMX Motion-JPEG decoder");
    g_once_init_leave(&type, qmx_jpeg_dec_get_type());
  }
  return GType(type);
}
