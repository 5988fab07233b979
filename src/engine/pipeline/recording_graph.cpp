#include "engine/pipeline/recording_graph.h"

#include <gst/app/gstappsink.h>
#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "avi/avi_reader.h"
#include "engine/pipeline/demux_pad_names.h"
#include "engine/pipeline/graph_control.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/timeline.h"
#include "engine/recording_layout.h"
#include "gst/element_registry.h"
#include "gst/overlay_element.h"
#include "metadata/overlay_filter.h"
#include "metadata/trigger_names.h"

namespace {

constexpr int kRoleExtractor = 0;
constexpr int kRoleOverlay = 1;
constexpr int kRoleAudio = 2;
constexpr int kRoleMulti = 3;

std::atomic<bool> gForceExport{false};

std::string Numbered(const char* base, int channel) {
  return std::string(base) + " " + std::to_string(channel + 1);
}

// Adds a new element to the pipeline; null when the factory is missing.
GstElement* Add(GstElement* pipeline, const char* factory, const std::string& name) {
  GstElement* e = gst_element_factory_make(factory, name.c_str());
  if (e) gst_bin_add(GST_BIN(pipeline), e);
  return e;
}

// Our filter carries two names: the object name its listeners see as the
// metadata's source ("Meta Data Extractor 1"), taken when it is made, and
// its name in the graph ("Metadata 1").
GstElement* AddOverlay(GstElement* pipeline, int role, int dvrKind, const std::string& objectName,
                       const std::string& graphName) {
  static constexpr const char* kFactories[] = {"qmxmetaextract", "qmxoverlay", "qmxaudiotransform",
                                               "qmxmultimeta"};
  if (role < 0 || role > 3) return nullptr;
  GstElement* e = gst_element_factory_make_full(kFactories[role], "name", objectName.c_str(), "dvr-kind",
                                                dvrKind, nullptr);
  if (!e) return nullptr;
  gst_element_set_name(e, graphName.c_str());
  gst_bin_add(GST_BIN(pipeline), e);
  return e;
}

GstElement* AddCapsFilter(GstElement* pipeline, const std::string& name, const char* caps) {
  GstElement* e = Add(pipeline, "capsfilter", name);
  if (!e) return nullptr;
  gsth::Caps c(gst_caps_from_string(caps));
  g_object_set(e, "caps", c.get(), nullptr);
  return e;
}

bool LinkChain(std::initializer_list<GstElement*> chain) {
  GstElement* prev = nullptr;
  for (GstElement* e : chain) {
    if (!e) return false;
    if (prev && !gst_element_link(prev, e)) return false;
    prev = e;
  }
  return true;
}

bool IsH264Handler(avi::FourCC f) {
  const std::string text = avi::FourCCText(f);
  for (const char* name : {"H264", "h264", "X264", "x264", "avc1", "AVC1"}) {
    if (text == name) return true;
  }
  return false;
}

bool IsH264Stream(const avi::AviStream& s) {
  if (IsH264Handler(s.header.handler)) return true;
  // BITMAPINFOHEADER biCompression at offset 16.
  return s.strf.size() >= 20 && IsH264Handler(avi::ReadLE32(s.strf.data() + 16));
}

// The element that turns the stream's audio format into raw samples; null
// for formats the player does not play.
const char* AudioDecoderFor(const avi::AviStream& s) {
  if (s.strf.size() < 2) return nullptr;
  switch (avi::ReadLE16(s.strf.data())) {
    case avi::kWaveFormatPcm:
      return "identity";
    case avi::kWaveFormatMuLaw:
      return "mulawdec";
    case avi::kWaveFormatALaw:
      return "alawdec";
    case 0x0002:  // Microsoft ADPCM
    case 0x0011:  // IMA ADPCM
      return "adpcmdec";
    default:
      return nullptr;
  }
}

// The audio output: the device, or what QMX_AUDIO_SINK describes (a
// gst-launch fragment; "{channel}" becomes 1..4), so tests can record to WAV.
GstElement* MakeAudioSink(int channel, const std::string& name) {
  if (const char* desc = std::getenv("QMX_AUDIO_SINK"); desc && *desc) {
    std::string text = desc;
    for (size_t at = text.find("{channel}"); at != std::string::npos; at = text.find("{channel}")) {
      text.replace(at, 9, std::to_string(channel + 1));
    }
    GError* err = nullptr;
    GstElement* bin = gst_parse_bin_from_description(text.c_str(), TRUE, &err);
    if (err) g_error_free(err);
    if (bin) gst_element_set_name(bin, name.c_str());
    return bin;
  }
  return gst_element_factory_make("autoaudiosink", name.c_str());
}

bool ExportRequested() {
  if (gForceExport) return true;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string cmd((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t at = cmd.find("exportfiltergraph");
  return at != std::string::npos && at > 0;
}

void ExportGraph(GstElement* pipeline) {
  gsth::GString dot(gst_debug_bin_to_dot_data(GST_BIN(pipeline), GST_DEBUG_GRAPH_SHOW_ALL));
  std::error_code ec;
  const std::filesystem::path out = std::filesystem::temp_directory_path(ec) / "QMXgraph.dot";
  if (ec || !dot) return;
  std::ofstream f(out, std::ios::binary | std::ios::trunc);
  f << dot.get();
}

// --- streaming-thread callbacks ---------------------------------------------

void Deliver(RecordingGraph::SinkState& st, GstSample* sample) {
  FrameConsumer* consumer = st.graph->consumer.load();
  if (!consumer || !sample) return;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstVideoInfo info;
  if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample))) return;
  gsth::BufferMap map(buffer, GST_MAP_READ);
  if (!map.ok()) return;
  const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
  if (stride <= 0 || map.size() < gsize(stride) * GST_VIDEO_INFO_HEIGHT(&info)) return;
  VideoFrame f;
  f.channel = st.channel;
  f.bgrx = map.data();
  f.width = GST_VIDEO_INFO_WIDTH(&info);
  f.height = GST_VIDEO_INFO_HEIGHT(&info);
  f.strideBytes = stride;
  f.ptsNs = GST_BUFFER_PTS_IS_VALID(buffer) ? int64_t(GST_BUFFER_PTS(buffer)) : -1;
  consumer->OnVideoFrame(f);
}

GstFlowReturn OnPreroll(GstAppSink* sink, gpointer data) {
  auto& st = *static_cast<RecordingGraph::SinkState*>(data);
  gsth::Sample sample(gst_app_sink_pull_preroll(sink));
  if (!sample) return GST_FLOW_OK;
  GstBuffer* b = gst_sample_get_buffer(sample.get());
  // A paused graph shows its frame at once (after a seek or a step). The
  // same buffer comes again as the first sample when the graph runs; it is
  // passed on only once. A graph prerolled while nobody watched it (the next
  // file, prepared ahead) hands its first frame on when it starts.
  if (st.graph->consumer.load()) {
    st.prerollPts = b && GST_BUFFER_PTS_IS_VALID(b) ? int64_t(GST_BUFFER_PTS(b)) : -2;
    Deliver(st, sample.get());
  } else {
    st.prerollPts = -1;
  }
  return GST_FLOW_OK;
}

GstFlowReturn OnSample(GstAppSink* sink, gpointer data) {
  auto& st = *static_cast<RecordingGraph::SinkState*>(data);
  gsth::Sample sample(gst_app_sink_pull_sample(sink));
  if (!sample) return GST_FLOW_OK;
  GstBuffer* b = gst_sample_get_buffer(sample.get());
  const int64_t pts = b && GST_BUFFER_PTS_IS_VALID(b) ? int64_t(GST_BUFFER_PTS(b)) : -2;
  const int64_t shown = st.prerollPts.exchange(-1);
  if (shown != -1 && shown == pts) return GST_FLOW_OK;
  Deliver(st, sample.get());
  return GST_FLOW_OK;
}

GstBusSyncReply OnBusMessage(GstBus*, GstMessage* msg, gpointer data) {
  auto* g = static_cast<RecordingGraph*>(data);
  if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
    if (!g->ended_.exchange(true) && g->onEndOfStream) g->onEndOfStream();
  } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
    g->errored_ = true;
  }
  // Nobody pops this bus: drop everything so messages do not pile up.
  return GST_BUS_DROP;
}

void OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
  // The branch waiting for this pad is its queue, named after the pad.
  auto* pipeline = static_cast<GstElement*>(data);
  gsth::GString padName(gst_pad_get_name(pad));
  const std::string queueName = std::string("Queue ") + padName.get();
  gsth::Element queue(gst_bin_get_by_name(GST_BIN(pipeline), queueName.c_str()));
  if (!queue) return;
  gsth::Pad sink(gst_element_get_static_pad(queue.get(), "sink"));
  if (sink && !gst_pad_is_linked(sink.get())) gst_pad_link(pad, sink.get());
}

// The Motion-JPEG decoder of every channel: our own, which writes BGRx in
// one pass, else the stock ones, which need a colour conversion after them.
struct DecoderChoice {
  const char* factory = nullptr;  // null: none installed
  bool needsConversion = false;
};

DecoderChoice ChooseJpegDecoder() {
  const DecoderChoice choices[] = {{"qmxjpegdec", false}, {"jpegdec", true}, {"avdec_mjpeg", true}};
  for (const DecoderChoice& c : choices) {
    std::unique_ptr<GstElementFactory, gsth::ObjectUnref> probe(gst_element_factory_find(c.factory));
    if (probe) return c;
  }
  return {};
}

struct Stream {
  int index = -1;  // in the file
  std::string padName;
};

}  // namespace

RecordingGraph::~RecordingGraph() {
  if (pipeline) {
    consumer = nullptr;
    for (GstElement* e : overlay) {
      if (COverlayFilter* f = OverlayOf(e)) f->ReleaseFrameCopy();
    }
    for (GstElement* e : extractor) {
      if (COverlayFilter* f = OverlayOf(e)) {
        f->SetListener0(nullptr);
        f->SetListener1(nullptr);
      }
    }
    if (COverlayFilter* f = OverlayOf(multiExtractor)) {
      f->SetListener0(nullptr);
      f->SetListeners1to4(nullptr, nullptr, nullptr, nullptr);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    gsth::Bus bus(gst_element_get_bus(pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
  }
}

COverlayFilter* RecordingGraph::OverlayOf(GstElement* e) const {
  return e ? OverlayElementFilter(e) : nullptr;
}

void RecordingGraph::SetConsumer(FrameConsumer* c) {
  consumer = c;
}

void SetExportFilterGraph(bool on) {
  gForceExport = on;
}

int BuildRecordingGraph(RecordingGraph& g, const std::string& path, RecordingProperties& props,
                        CMetadataInterface* listener) {
  gsth::EnsureGstInitialized();
  RegisterQmxElements();
  g.path = path;

  g.pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
  if (!g.pipeline) return kGraphNoPipeline;
  GstElement* pipe = g.pipeline.get();
  {
    gsth::Bus bus(gst_element_get_bus(pipe));
    gst_bus_set_sync_handler(bus.get(), OnBusMessage, &g, nullptr);
  }

  g.dvrKind = DetectDvrKind(path);
  SetDvrTypeText(g.dvrKind == kFourChannelDvr ? kFourChannelDvrText : kTwoChannelDvrText);
  props.dvrType = DvrTypeText();
  if (const int r = ReadRecordingProperties(path, props); r != kPropertiesOk) return r;

  GstElement* source = Add(pipe, "filesrc", "File Source Filter");
  if (!source) return kGraphFileUnusable;
  g_object_set(source, "location", path.c_str(), nullptr);
  GstElement* demux = Add(pipe, "avidemux", "QMX AVI Splitter");
  if (!demux) return kGraphNoSplitter;
  g.demuxer = demux;
  if (!gst_element_link(source, demux)) return kGraphNotConnected;

  // The demuxer announces its pads only while it runs; the file's own
  // stream list says beforehand which pads will come and what they carry.
  avi::AviReader reader;
  if (!reader.Open(path)) return kGraphNotConnected;
  std::vector<DemuxStream> described;
  for (size_t i = 0; i < reader.StreamCount(); ++i) {
    const avi::AviStream& s = reader.Stream(i);
    described.push_back({s.header.type, s.name, reader.ChunkCount(i), !s.strf.empty()});
    if (s.header.type == avi::kVids) ++g.videoStreamCount;
  }
  const std::vector<DemuxPad> pads = MapDemuxPads(described);
  std::vector<PinDescription> pins;
  std::vector<int> pinStream;  // pins[k] is pads[pinStream[k]]
  for (size_t i = 0; i < pads.size(); ++i) {
    if (!pads[i].exposed) continue;
    pins.push_back({PinDirection::kOutput, pads[i].pinName});
    pinStream.push_back(int(i));
  }
  auto find = [&](int index, int type, bool byChannel) -> Stream {
    const int k = FindPin(pins, PinDirection::kOutput, index, type, byChannel);
    if (k < 0) return {};
    const DemuxPad& p = pads[pinStream[k]];
    return {p.streamIndex, p.padName};
  };

  if (g.dvrKind != kFourChannelDvr && find(2, kAnyStream, false).index >= 0) g.dvrKind = kFourChannelDvr;

  std::array<Stream, 4> video, audio;
  for (int c = 0; c < 4; ++c) {
    video[c] = find(c, kVideoStream, true);
    audio[c] = find(c, kAudioStream, true);
  }

  const DecoderChoice decoderChoice = ChooseJpegDecoder();
  for (int c = 0; c < 4; ++c) {
    g.extractor[c] = AddOverlay(pipe, kRoleExtractor, g.dvrKind, Numbered("Meta Data Extractor", c),
                                Numbered("Metadata", c));
    g.overlay[c] = AddOverlay(pipe, kRoleOverlay, g.dvrKind, Numbered("Overlay", c), Numbered("Overlay", c));
  }
  for (int c = 0; c < 4; ++c) {
    if (video[c].index < 0) continue;
    COverlayFilter* ex = g.OverlayOf(g.extractor[c]);
    COverlayFilter* ov = g.OverlayOf(g.overlay[c]);
    if (!ex || !ov) return kGraphNoPipeline;
    ex->SetListener1(ov);
    ex->SetListener0(listener);

    const avi::AviStream& s = reader.Stream(video[c].index);
    if (IsH264Stream(s)) return kGraphH264;
    props.h264Mode = 0;
    if (!decoderChoice.factory) return kGraphNoDecoder;

    GstElement* queue = Add(pipe, "queue", "Queue " + video[c].padName);
    GstElement* decoder = Add(pipe, decoderChoice.factory, Numbered("MJPEG Decompressor", c));
    GstElement* sink = Add(pipe, "appsink", Numbered("Video", c));
    bool linked;
    if (decoderChoice.needsConversion) {
      GstElement* convert = Add(pipe, "videoconvert", Numbered("Video Convert", c));
      GstElement* bgrx = AddCapsFilter(pipe, Numbered("Video Format", c), "video/x-raw,format=BGRx");
      linked = LinkChain({queue, g.extractor[c], decoder, convert, bgrx, g.overlay[c], sink});
    } else {
      linked = LinkChain({queue, g.extractor[c], decoder, g.overlay[c], sink});
    }
    if (!linked) {
      if (queue) gst_bin_remove(GST_BIN(pipe), queue);  // the pad must not feed a broken chain
      continue;
    }
    g_object_set(sink, "sync", TRUE, "max-buffers", 2u, nullptr);
    g.sinkState[c].graph = &g;
    g.sinkState[c].channel = c;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_preroll = OnPreroll;
    callbacks.new_sample = OnSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &g.sinkState[c], nullptr);
    g.videoPresent[c] = true;
  }

  if (Stream meta = find(0, kMetadataStream, false); meta.index >= 0) {
    GstElement* queue = Add(pipe, "queue", "Queue " + meta.padName);
    g.multiExtractor = AddOverlay(pipe, kRoleMulti, g.dvrKind, "Meta Data Extractor", "Multi Meta Filter");
    GstElement* sink = Add(pipe, "fakesink", "NULL Renderer");
    if (COverlayFilter* multi = g.OverlayOf(g.multiExtractor)) {
      multi->SetListeners1to4(g.OverlayOf(g.overlay[0]), g.OverlayOf(g.overlay[1]), g.OverlayOf(g.overlay[2]),
                              g.OverlayOf(g.overlay[3]));
      multi->SetListener0(listener);
    }
    if (sink) g_object_set(sink, "sync", FALSE, nullptr);
    LinkChain({queue, g.multiExtractor, sink});
  }

  for (int c = 0; c < 4; ++c) {
    if (audio[c].index < 0 || !g.videoPresent[c]) continue;
    const char* decoder = AudioDecoderFor(reader.Stream(audio[c].index));
    if (!decoder) continue;
    props.audioText[c] = "Audio Enabled";
    GstElement* queue = Add(pipe, "queue", "Queue " + audio[c].padName);
    GstElement* acm = Add(pipe, decoder, Numbered("ACM", c));
    GstElement* convert = Add(pipe, "audioconvert", Numbered("Audio Convert", c));
    GstElement* s16 = AddCapsFilter(pipe, Numbered("Audio Format", c), "audio/x-raw,format=S16LE");
    const std::string transformName = Numbered("Audio Transform", c);
    g.audioTransform[c] = AddOverlay(pipe, kRoleAudio, g.dvrKind, transformName, transformName);
    g.volume[c] = Add(pipe, "volume", Numbered("Volume", c));
    GstElement* sink = MakeAudioSink(c, Numbered("Audio", c));
    if (sink) gst_bin_add(GST_BIN(pipe), sink);
    if (g.volume[c]) g_object_set(g.volume[c], "volume", 0.0, "mute", TRUE, nullptr);
    if (!LinkChain({queue, acm, convert, s16, g.audioTransform[c], g.volume[c], sink})) {
      if (queue) gst_bin_remove(GST_BIN(pipe), queue);
      g.volume[c] = nullptr;
      continue;
    }
    g.audioPresent[c] = true;
  }

  g_signal_connect(demux, "pad-added", G_CALLBACK(OnPadAdded), pipe);

  if (!PrerollGraph(pipe)) return kGraphNotConnected;

  for (int c = 0; c < 4; ++c) {
    if (!g.videoPresent[c]) continue;
    gsth::Element sink(gst_bin_get_by_name(GST_BIN(pipe), Numbered("Video", c).c_str()));
    gsth::Pad pad(gst_element_get_static_pad(sink.get(), "sink"));
    gsth::Caps caps(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
    GstVideoInfo info;
    if (!caps || !gst_video_info_from_caps(&info, caps.get())) {
      // The demuxer never fed this channel: it is absent.
      g.videoPresent[c] = false;
      continue;
    }
    g.width[c] = GST_VIDEO_INFO_WIDTH(&info);
    g.height[c] = GST_VIDEO_INFO_HEIGHT(&info);
    ++g.channelCount;
    const avi::AviStream& s = reader.Stream(video[c].index);
    const double fps = s.header.scale ? double(s.header.rate) / s.header.scale : 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d, %.2f fps", g.width[c], g.height[c], fps);
    props.formatText[c] = text;
    uint64_t bytes = 0;
    for (const auto& chunk : s.chunks) bytes += chunk.size;
    const double seconds = fps > 0 ? s.chunks.size() / fps : 0.0;
    if (seconds > 0) {
      std::snprintf(text, sizeof text, "%d kbit/s", int(bytes * 8 / seconds / 1000));
      props.bitRateText[c] = text;
    }
  }
  for (int c = 0; c < 4; ++c) {
    COverlayFilter* t = g.OverlayOf(g.audioTransform[c]);
    if (!g.audioPresent[c] || !t) continue;
    gsth::Pad pad(gst_element_get_static_pad(g.audioTransform[c], "sink"));
    gsth::Caps caps(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
    GstAudioInfo info;
    if (caps && gst_audio_info_from_caps(&info, caps.get()))
      t->SetStereoOn(GST_AUDIO_INFO_CHANNELS(&info) == 2);
  }

  g.duration = NanosToCentis(DurationNs(pipe));
  if (ExportRequested()) ExportGraph(pipe);
  g.graphReady = true;
  return kGraphOk;
}
