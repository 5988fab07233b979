#include "engine/pipeline/branch_builders.h"

#include <initializer_list>
#include <vector>

#include "engine/pipeline/gst_handles.h"

namespace {

// Collects a branch's elements; the bin (and everything in it) goes away
// unless the branch is complete.
class BranchBin {
 public:
  explicit BranchBin(const std::string& name) : bin_(gst_bin_new(name.c_str())) { gst_object_ref_sink(bin_); }
  ~BranchBin() { gst_object_unref(bin_); }
  BranchBin(const BranchBin&) = delete;
  BranchBin& operator=(const BranchBin&) = delete;

  // Takes `e` (floating) into the bin; null stays null and spoils the branch.
  GstElement* Add(GstElement* e) {
    if (!e) {
      complete_ = false;
      return nullptr;
    }
    gst_bin_add(GST_BIN(bin_), e);
    return e;
  }
  GstElement* Make(const char* factory, const std::string& name) {
    return Add(gst_element_factory_make(factory, name.c_str()));
  }
  GstElement* MakeCaps(const std::string& name, const char* caps) {
    GstElement* e = Make("capsfilter", name);
    if (e) {
      gsth::Caps c(gst_caps_from_string(caps));
      g_object_set(e, "caps", c.get(), nullptr);
    }
    return e;
  }

  // Links the chain and exposes its head's sink pad; the bin, floating, or
  // null when anything is missing or refuses to link.
  GstElement* Finish(std::initializer_list<GstElement*> chain) {
    if (!complete_ || chain.size() == 0) return nullptr;
    GstElement* prev = nullptr;
    for (GstElement* e : chain) {
      if (!e || (prev && !gst_element_link(prev, e))) return nullptr;
      prev = e;
    }
    gsth::Pad target(gst_element_get_static_pad(*chain.begin(), "sink"));
    if (!target || !gst_element_add_pad(bin_, gst_ghost_pad_new("sink", target.get()))) return nullptr;
    GstElement* out = GST_ELEMENT(gst_object_ref(bin_));
    // Hand it on floating, as a freshly made element would be.
    g_object_force_floating(G_OBJECT(out));
    return out;
  }

 private:
  GstElement* bin_;
  bool complete_ = true;
};

}  // namespace

GstElement* MakeAudioSink(const std::string& description, int channel, const std::string& name) {
  if (description.empty()) return gst_element_factory_make("autoaudiosink", name.c_str());
  std::string text = description;
  for (size_t at = text.find("{channel}"); at != std::string::npos; at = text.find("{channel}"))
    text.replace(at, 9, std::to_string(channel + 1));
  GError* err = nullptr;
  GstElement* bin = gst_parse_bin_from_description(text.c_str(), TRUE, &err);
  if (err) g_error_free(err);
  if (bin) gst_element_set_name(bin, name.c_str());
  return bin;
}

void LetSinksSkipPreroll(GstElement* bin) {
  if (!bin || !GST_IS_BIN(bin)) return;
  GstIterator* it = gst_bin_iterate_sinks(GST_BIN(bin));
  GValue item = G_VALUE_INIT;
  bool done = false;
  while (!done) {
    switch (gst_iterator_next(it, &item)) {
      case GST_ITERATOR_OK: {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        if (GST_IS_BIN(e)) {
          LetSinksSkipPreroll(e);  // autoaudiosink and parsed bins hold the real sink
        } else if (g_object_class_find_property(G_OBJECT_GET_CLASS(e), "async")) {
          g_object_set(e, "async", FALSE, nullptr);
        }
        g_value_reset(&item);
        break;
      }
      case GST_ITERATOR_RESYNC:
        gst_iterator_resync(it);
        break;
      default:
        done = true;
        break;
    }
  }
  g_value_unset(&item);
  gst_iterator_free(it);
}

namespace {

const char* FilterFactory(FilterRole role) {
  switch (role) {
    case FilterRole::kExtractor:
      return "qmxmetaextract";
    case FilterRole::kOverlay:
      return "qmxoverlay";
    case FilterRole::kAudio:
      return "qmxaudiotransform";
    case FilterRole::kMulti:
      break;
  }
  return "qmxmultimeta";
}

}  // namespace

std::string ChannelElementName(const char* base, int channel) {
  return std::string(base) + " " + std::to_string(channel + 1);
}

GstElement* MakeQmxFilter(FilterRole role, DvrLayout dvrKind, const std::string& objectName,
                          const std::string& graphName) {
  GstElement* e = gst_element_factory_make_full(FilterFactory(role), "name", objectName.c_str(), "dvr-kind",
                                                DvrKindNumber(dvrKind), nullptr);
  // The object name is taken at creation; the graph name replaces it as the
  // element's name afterwards, the filter keeps the first as its source name.
  if (e) gst_element_set_name(e, graphName.c_str());
  return e;
}

GstElement* BuildVideoBranch(const BranchPlan& p, DvrLayout dvrKind) {
  const int c = p.channel;
  BranchBin b(ChannelElementName("Channel", c) + " Video");
  GstElement* queue = b.Make("queue", "Queue " + p.padName);
  GstElement* extractor =
      b.Add(MakeQmxFilter(FilterRole::kExtractor, dvrKind, ChannelElementName("Meta Data Extractor", c),
                          ChannelElementName("Metadata", c)));
  GstElement* decoder = b.Make(p.decoder.c_str(), ChannelElementName("MJPEG Decompressor", c));
  GstElement* overlay = b.Add(MakeQmxFilter(FilterRole::kOverlay, dvrKind, ChannelElementName("Overlay", c),
                                            ChannelElementName("Overlay", c)));
  GstElement* sink = b.Make("appsink", ChannelElementName("Video", c));
  if (sink) g_object_set(sink, "sync", TRUE, "max-buffers", 2u, nullptr);
  if (!p.convertToBgrx) return b.Finish({queue, extractor, decoder, overlay, sink});
  GstElement* convert = b.Make("videoconvert", ChannelElementName("Video Convert", c));
  GstElement* bgrx = b.MakeCaps(ChannelElementName("Video Format", c), "video/x-raw,format=BGRx");
  return b.Finish({queue, extractor, decoder, convert, bgrx, overlay, sink});
}

GstElement* BuildAudioBranch(const BranchPlan& p, DvrLayout dvrKind, const std::string& audioSink) {
  const int c = p.channel;
  BranchBin b(ChannelElementName("Channel", c) + " Audio");
  GstElement* queue = b.Make("queue", "Queue " + p.padName);
  GstElement* decoder = b.Make(p.decoder.c_str(), ChannelElementName("ACM", c));
  GstElement* convert = b.Make("audioconvert", ChannelElementName("Audio Convert", c));
  GstElement* s16 = b.MakeCaps(ChannelElementName("Audio Format", c), "audio/x-raw,format=S16LE");
  const std::string transformName = ChannelElementName("Audio Transform", c);
  GstElement* transform = b.Add(MakeQmxFilter(FilterRole::kAudio, dvrKind, transformName, transformName));
  // Sound slowed down or sped up keeps its pitch.
  GstElement* tempo = b.Make("scaletempo", ChannelElementName("Tempo", c));
  GstElement* volume = b.Make("volume", ChannelElementName("Volume", c));
  // Silent until the routing is applied.
  if (volume) g_object_set(volume, "volume", 0.0, "mute", TRUE, nullptr);
  GstElement* sink = b.Add(MakeAudioSink(audioSink, c, ChannelElementName("Audio", c)));
  return b.Finish({queue, decoder, convert, s16, transform, tempo, volume, sink});
}

GstElement* BuildMetadataBranch(const BranchPlan& p, DvrLayout dvrKind) {
  BranchBin b("Metadata Stream");
  // Metadata samples are tiny and sparse next to the pictures: the queue
  // must never fill up and stop the demuxer while the video queues wait,
  // and the sink must not hold up preroll.
  GstElement* queue = b.Make("queue", "Queue " + p.padName);
  if (queue)
    g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", guint64(0), nullptr);
  GstElement* multi =
      b.Add(MakeQmxFilter(FilterRole::kMulti, dvrKind, "Meta Data Extractor", "Multi Meta Filter"));
  GstElement* sink = b.Make("fakesink", "NULL Renderer");
  if (sink) g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
  return b.Finish({queue, multi, sink});
}
