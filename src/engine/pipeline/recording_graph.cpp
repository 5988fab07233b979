#include "engine/pipeline/recording_graph.h"

#include <gst/app/gstappsink.h>
#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "avi/avi_reader.h"
#include "avi/read_only_file.h"
#include "engine/pipeline/branch_builders.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_rate.h"
#include "engine/pipeline/timeline.h"
#include "engine/recording_layout.h"
#include "gst/element_registry.h"
#include "gst/held_buffer.h"
#include "gst/overlay_element.h"
#include "metadata/deinterlace.h"
#include "metadata/overlay_filter.h"
#include "metadata/recording_context.h"
#include "metadata/trigger_names.h"
#include "snapshot/jpeg_bgrx_decoder.h"
#include "snapshot/snapshot_image.h"

namespace {

// A healthy graph settles in milliseconds; a failing one says so on its bus.
// The bound only covers a pipeline that neither settles nor fails.
constexpr auto kSettleLimit = std::chrono::seconds(5) * kSanitizerSlowdown;
// How long a state query waits, once the bus has spoken, for the pipeline
// to commit the state its message announced.
constexpr GstClockTime kCommitLook = 50 * GST_MSECOND;

bool IsH264Handler(avi::FourCC f) {
  const std::string text = avi::FourCCText(f);
  for (const char* name : {"H264", "h264", "X264", "x264", "avc1", "AVC1"}) {
    if (text == name) return true;
  }
  return false;
}

PlannedStream Describe(const avi::AviReader& reader, size_t i) {
  const avi::AviStream& s = reader.Stream(i);
  PlannedStream p;
  p.type = s.header.type;
  p.name = s.name;
  p.chunkCount = reader.ChunkCount(i);
  p.hasFormat = !s.strf.empty();
  // BITMAPINFOHEADER biCompression at offset 16.
  p.h264 = IsH264Handler(s.header.handler) ||
           (s.strf.size() >= 20 && IsH264Handler(avi::ReadLE32(s.strf.data() + 16)));
  if (s.strf.size() >= 2) p.audioFormatTag = avi::ReadLE16(s.strf.data());
  return p;
}

bool FactoryInstalled(const std::string& name) {
  std::unique_ptr<GstElementFactory, gsth::ObjectUnref> f(gst_element_factory_find(name.c_str()));
  return bool(f);
}

void ExportGraph(GstElement* pipeline) {
  gsth::GString dot(gst_debug_bin_to_dot_data(GST_BIN(pipeline), GST_DEBUG_GRAPH_SHOW_ALL));
  std::error_code ec;
  const std::filesystem::path out = std::filesystem::temp_directory_path(ec) / "QMXgraph.dot";
  if (ec || !dot) return;
  std::ofstream f(out, std::ios::binary | std::ios::trunc);
  f << dot.get();
}

// Why `path` can't be opened for reading, or "" when it can.
std::string ReadFailure(const std::string& path) {
  avi::ReadOnlyFile file;
  std::string error;
  return file.Open(path, &error) ? std::string() : error;
}

// Why `path` can't be opened for writing, or "" when it can.
std::string WriteFailure(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return {};
}

int64_t SampleStamp(GstSample* sample) {
  GstBuffer* b = sample ? gst_sample_get_buffer(sample) : nullptr;
  return b && GST_BUFFER_PTS_IS_VALID(b) ? int64_t(GST_BUFFER_PTS(b)) : -2;
}

}  // namespace

RecordingGraph::RecordingGraph() = default;

RecordingGraph::~RecordingGraph() {
  if (!pipeline_) return;
  consumer_ = nullptr;
  for (GstElement* e : overlay_) {
    if (COverlayFilter* f = e ? OverlayElementFilter(e) : nullptr) f->ReleaseFrameCopy();
  }
  SetListener(nullptr);
  gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
  gsth::Bus bus(gst_element_get_bus(pipeline_.get()));
  gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
  // The streaming threads have stopped: their last callbacks are over.
  TakeOver(&streamingDone_);
}

// --- streaming-thread callbacks ---------------------------------------------

GstBusSyncReply RecordingGraph::OnBusMessage(GstBus*, GstMessage* msg, gpointer data) {
  auto* g = static_cast<RecordingGraph*>(data);
  const StreamingPass pass(*g);
  switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_ASYNC_DONE:
    case GST_MESSAGE_STATE_CHANGED:
      if (GST_MESSAGE_SRC(msg) == GST_OBJECT_CAST(g->pipeline_.get())) g->NoteSettling();
      break;
    case GST_MESSAGE_EOS:
      g->NoteSettling();
      if (!g->ended_.exchange(true)) g->Notify(Event::kEndOfStream);
      break;
    case GST_MESSAGE_ERROR: {
      GError* err = nullptr;
      gchar* debug = nullptr;
      gst_message_parse_error(msg, &err, &debug);
      const std::string source = GST_MESSAGE_SRC(msg) ? GST_OBJECT_NAME(GST_MESSAGE_SRC(msg)) : "pipeline";
      const std::string text = source + ": " + (err ? err->message : "unknown error");
      {
        std::lock_guard<std::mutex> l(g->lock_);
        if (g->errorText_.empty()) g->errorText_ = text;
      }
      g->NoteCause(text);
      if (err) g_error_free(err);
      g_free(debug);
      const bool first = !g->errored_.exchange(true);
      g->NoteSettling();
      if (first) g->Notify(Event::kError);
      break;
    }
    case GST_MESSAGE_WARNING:
      ++g->warnings_;
      g->Notify(Event::kWarning);
      break;
    default:
      break;
  }
  // Everything the graph needs is taken here; nobody pops this bus.
  return GST_BUS_DROP;
}

void RecordingGraph::NoteSettling() {
  {
    std::lock_guard<std::mutex> l(settleLock_);
    ++busTicks_;
  }
  settleWake_.notify_all();
}

void RecordingGraph::Notify(Event e) {
  EventHandler h;
  {
    std::lock_guard<std::mutex> l(lock_);
    h = handler_;
  }
  if (h) h(e);
}

void RecordingGraph::NoteCause(const std::string& cause) {
  std::lock_guard<std::mutex> l(lock_);
  if (cause_.empty()) cause_ = cause;
}

void RecordingGraph::OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
  auto* g = static_cast<RecordingGraph*>(data);
  const StreamingPass pass(*g);
  gsth::GString padName(gst_pad_get_name(pad));
  std::vector<Branch> refused;
  {
    std::lock_guard<std::mutex> l(g->lock_);
    for (const Branch& b : g->branches_) {
      if (b.padName != padName.get()) continue;
      gsth::Pad sink(gst_element_get_static_pad(b.bin, "sink"));
      if (!sink || gst_pad_is_linked(sink.get())) continue;
      // A stream whose data the branch's decoder can't take (a codec the
      // header did not tell) loses its branch instead of failing the file.
      gsth::Caps caps(gst_pad_query_caps(pad, nullptr));
      gsth::Pad decoderIn(b.decoder ? gst_element_get_static_pad(b.decoder, "sink") : nullptr);
      gsth::Caps accepted(decoderIn ? gst_pad_query_caps(decoderIn.get(), nullptr) : nullptr);
      if ((caps && accepted && !gst_caps_can_intersect(caps.get(), accepted.get())) ||
          gst_pad_link(pad, sink.get()) != GST_PAD_LINK_OK)
        refused.push_back(b);
    }
  }
  for (const Branch& b : refused) g->RemoveBranch(b);
}

void RecordingGraph::OnNoMorePads(GstElement*, gpointer data) {
  // A branch whose pad never came would hold up every preroll.
  auto* g = static_cast<RecordingGraph*>(data);
  const StreamingPass pass(*g);
  std::vector<Branch> unfed;
  {
    std::lock_guard<std::mutex> l(g->lock_);
    for (const Branch& b : g->branches_) {
      gsth::Pad sink(gst_element_get_static_pad(b.bin, "sink"));
      if (sink && !gst_pad_is_linked(sink.get())) unfed.push_back(b);
    }
  }
  for (const Branch& b : unfed) g->RemoveBranch(b);
}

void RecordingGraph::RemoveBranch(const Branch& branch) {
  std::vector<GstElement*> bins{branch.bin};
  if (branch.kind == BranchKind::kVideo) {
    sinkState_[size_t(branch.channel)].fed = false;
    for (const Branch& b : branches_) {
      if (b.kind == BranchKind::kAudio && b.channel == branch.channel) bins.push_back(b.bin);
    }
  }
  for (GstElement* bin : bins) {
    {
      std::lock_guard<std::mutex> l(lock_);
      bool gone = false;
      for (const gsth::Element& e : removed_) gone = gone || e.get() == bin;
      if (gone) continue;
      removed_.push_back(gsth::Ref(bin));
    }
    gst_element_set_locked_state(bin, TRUE);
    gst_element_set_state(bin, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(pipeline_.get()), bin);
  }
}

void RecordingGraph::Deliver(SinkState& st, GstSample* sample) {
  if (GstBuffer* shown = sample ? gst_sample_get_buffer(sample) : nullptr) {
    // A reduced picture carries its compressed frame, for a full snapshot.
    GstParentBufferMeta* parent = gst_buffer_get_parent_buffer_meta(shown);
    gsth::Buffer jpeg(parent ? gst_buffer_ref(parent->buffer) : nullptr);
    std::lock_guard<std::mutex> l(reducedLock_);
    std::swap(reducedJpeg_[size_t(st.channel)], jpeg);
  }  // the one let go is unreferenced outside the lock
  FrameConsumer* consumer = consumer_.load();
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
  // The sink is the buffer's last stop: nothing writes it again.
  f.hold = [buffer, pixels = f.bgrx, start = map.data()]() -> std::shared_ptr<const uint8_t> {
    std::shared_ptr<const uint8_t> held = HoldBufferForReading(buffer);
    // Mapped again, system memory gives the same bytes; anything else is copied.
    if (!held || held.get() != start) return nullptr;
    return std::shared_ptr<const uint8_t>(held, pixels);
  };
  consumer->OnVideoFrame(f);
}

// Where the picture of `sample` ends, as running time; the last one shown
// tells where the next file has to begin.
void RecordingGraph::NoteShown(GstSample* sample) {
  GstBuffer* b = sample ? gst_sample_get_buffer(sample) : nullptr;
  const GstSegment* segment = sample ? gst_sample_get_segment(sample) : nullptr;
  if (!b || !segment || !GST_BUFFER_PTS_IS_VALID(b)) return;
  GstClockTime end = GST_BUFFER_PTS(b);
  if (GST_BUFFER_DURATION_IS_VALID(b)) end += GST_BUFFER_DURATION(b);
  const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, end);
  if (running == GST_CLOCK_TIME_NONE) return;
  int64_t seen = shownEnd_.load();
  while (int64_t(running) > seen && !shownEnd_.compare_exchange_weak(seen, int64_t(running))) {
  }
}

GstPadProbeReturn RecordingGraph::OnSinkEvent(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto& st = *static_cast<SinkState*>(data);
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  // The end reaches the sink right after its last picture was shown, a
  // whole frame span before the sink reports the end. A camera whose
  // decoding fell behind shows its last pictures late: the next file, which
  // starts at the time the pictures were due, waits for them, so that no
  // pane goes back from the next file to this one.
  if (event && GST_EVENT_TYPE(event) == GST_EVENT_EOS) {
    const StreamingPass pass(*st.graph);
    st.ended = true;
    if (st.graph->AllVideoEnded() && !st.graph->ending_.exchange(true)) st.graph->Notify(Event::kVideoEnding);
  }
  return GST_PAD_PROBE_OK;
}

bool RecordingGraph::AllVideoEnded() const {
  return std::all_of(sinkState_.begin(), sinkState_.end(),
                     [](const SinkState& st) { return !st.fed || st.ended; });
}

GstPadProbeReturn RecordingGraph::OnBranchInput(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto& st = *static_cast<SinkState*>(data);
  if (GST_PAD_PROBE_INFO_TYPE(info) & (GST_PAD_PROBE_TYPE_EVENT_BOTH | GST_PAD_PROBE_TYPE_EVENT_FLUSH)) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    // A seek starts the spans anew.
    if (event &&
        (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP || GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT))
      st.keptSpan = -1;
    return GST_PAD_PROBE_OK;
  }
  GstBuffer* b = GST_PAD_PROBE_INFO_BUFFER(info);
  const int64_t span = ThinningSpanNs(st.graph->rate_.load());
  if (!b || span == 0 || !GST_BUFFER_PTS_IS_VALID(b)) return GST_PAD_PROBE_OK;
  // Dropped before the queue: a frame never shown is never decoded.
  return KeepThinnedFrame(int64_t(GST_BUFFER_PTS(b)), span, st.keptSpan) ? GST_PAD_PROBE_OK
                                                                         : GST_PAD_PROBE_DROP;
}

GstFlowReturn RecordingGraph::OnPreroll(GstAppSink* sink, gpointer data) {
  auto& st = *static_cast<SinkState*>(data);
  const StreamingPass pass(*st.graph);
  gsth::Sample sample(gst_app_sink_pull_preroll(sink));
  if (!sample) return GST_FLOW_OK;
  st.graph->shownPts_[size_t(st.channel)] = SampleStamp(sample.get());
  // A paused graph shows its frame at once (after a seek or a step). The
  // same buffer comes again as the first sample when the graph runs; it is
  // passed on only once. A graph prerolled while nobody watched it (the next
  // file, prepared ahead) hands its first frame on when it starts.
  if (st.graph->consumer_.load()) {
    st.prerollPts = SampleStamp(sample.get());
    st.graph->Deliver(st, sample.get());
  } else {
    st.prerollPts = -1;
  }
  return GST_FLOW_OK;
}

GstFlowReturn RecordingGraph::OnSample(GstAppSink* sink, gpointer data) {
  auto& st = *static_cast<SinkState*>(data);
  const StreamingPass pass(*st.graph);
  gsth::Sample sample(gst_app_sink_pull_sample(sink));
  if (!sample) return GST_FLOW_OK;
  st.graph->shownPts_[size_t(st.channel)] = SampleStamp(sample.get());
  st.graph->NoteShown(sample.get());
  const int64_t shown = st.prerollPts.exchange(-1);
  if (shown != -1 && shown == SampleStamp(sample.get())) return GST_FLOW_OK;
  st.graph->Deliver(st, sample.get());
  return GST_FLOW_OK;
}

// --- building ----------------------------------------------------------------

bool RecordingGraph::AddBranch(const BranchPlan& plan, const EngineConfig& config) {
  const DvrLayout dvrKind = layout_;
  GstElement* bin = nullptr;
  switch (plan.kind) {
    case BranchKind::kVideo:
      bin = BuildVideoBranch(plan, dvrKind);
      break;
    case BranchKind::kAudio:
      bin = BuildAudioBranch(plan, dvrKind, config.audioSink);
      break;
    case BranchKind::kMetadata:
      bin = BuildMetadataBranch(plan, dvrKind);
      break;
  }
  if (!bin) return false;
  gst_bin_add(GST_BIN(pipeline_.get()), bin);
  auto find = [&](const std::string& name) {
    // Borrowed: the bin keeps its elements as long as the graph lives.
    gsth::Element e(gst_bin_get_by_name(GST_BIN(bin), name.c_str()));
    // Every filter of the recording shares its frame lock and DVR type.
    if (COverlayFilter* f = e ? OverlayElementFilter(e.get()) : nullptr) f->SetContext(context_);
    return e.get();
  };
  const int c = plan.channel;
  GstElement* decoder = nullptr;
  if (plan.kind == BranchKind::kVideo) decoder = find(ChannelElementName("MJPEG Decompressor", c));
  if (plan.kind == BranchKind::kAudio) decoder = find(ChannelElementName("ACM", c));
  branches_.push_back({plan.padName, bin, decoder, plan.kind, c});
  switch (plan.kind) {
    case BranchKind::kVideo: {
      extractor_[c] = find(ChannelElementName("Metadata", c));
      overlay_[c] = find(ChannelElementName("Overlay", c));
      videoSink_[c] = find(ChannelElementName("Video", c));
      COverlayFilter* ex = extractor_[c] ? OverlayElementFilter(extractor_[c]) : nullptr;
      COverlayFilter* ov = overlay_[c] ? OverlayElementFilter(overlay_[c]) : nullptr;
      if (ex && ov) ex->SetListener1(ov);
      if (decoder && g_object_class_find_property(G_OBJECT_GET_CLASS(decoder), "deinterlace")) {
        videoDecoder_[c] = decoder;
        SetDecoderDeinterlace(c, ov && ov->FastDeinterlace());
      }
      sinkState_[c].graph = this;
      sinkState_[c].channel = c;
      sinkState_[c].fed = videoSink_[c] != nullptr;
      GstAppSinkCallbacks callbacks{};
      callbacks.new_preroll = &OnPreroll;
      callbacks.new_sample = &OnSample;
      gst_app_sink_set_callbacks(GST_APP_SINK(videoSink_[c]), &callbacks, &sinkState_[c], nullptr);
      gsth::Pad sinkPad(gst_element_get_static_pad(videoSink_[c], "sink"));
      if (sinkPad)
        gst_pad_add_probe(sinkPad.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &OnSinkEvent, &sinkState_[c],
                          nullptr);
      gsth::Pad input(gst_element_get_static_pad(bin, "sink"));
      if (input)
        gst_pad_add_probe(input.get(),
                          GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                          GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                          &OnBranchInput, &sinkState_[c], nullptr);
      break;
    }
    case BranchKind::kAudio:
      audioTransform_[c] = find(ChannelElementName("Audio Transform", c));
      volume_[c] = find(ChannelElementName("Volume", c));
      plannedAudio_[c] = 1;
      break;
    case BranchKind::kMetadata:
      multiExtractor_ = find("Multi Meta Filter");
      if (COverlayFilter* multi = multiExtractor_ ? OverlayElementFilter(multiExtractor_) : nullptr)
        multi->SetListeners1to4(Overlay(0), Overlay(1), Overlay(2), Overlay(3));
      break;
  }
  return true;
}

int RecordingGraph::Start(const std::string& path, const EngineConfig& config, CMetadataInterface* listener,
                          bool shown) {
  const int result = Build(path, config, listener, shown);
  if (result != kGraphOk) {
    {
      std::lock_guard<std::mutex> l(lock_);
      errorText_ = GraphResultMessage(result, props_.h264Mode == VideoCoding::kH264);
    }
    errored_ = true;
  }
  return result;
}

int RecordingGraph::Build(const std::string& path, const EngineConfig& config, CMetadataInterface* listener,
                          bool shown) {
  gsth::EnsureGstInitialized();
  RegisterQmxElements();
  path_ = path;

  layout_ = DetectDvrKind(path);
  {
    std::lock_guard<std::mutex> l(lock_);
    if (const int r = ReadRecordingProperties(path, props_, config.headerCorrection); r != kPropertiesOk) {
      if (r == kPropertiesCannotOpen) cause_ = ReadFailure(path);
      if (r == kPropertiesCannotCorrect) {
        const std::string why = WriteFailure(path);
        cause_ = "its header can't be corrected" + (why.empty() ? std::string() : ": " + why);
      }
      return r;
    }
    if (shown) SetTriggerNames(props_.triggerNames);
  }

  // The demuxer announces its pads only while it runs; the file's own
  // stream list says beforehand which pads will come and what they carry.
  avi::AviReader reader;
  if (!reader.Open(path)) {
    NoteCause(reader.Error());
    return kGraphNotConnected;
  }
  std::vector<PlannedStream> streams;
  for (size_t i = 0; i < reader.StreamCount(); ++i) streams.push_back(Describe(reader, i));
  const GraphPlan plan = PlanRecordingGraph(streams, layout_, FactoryInstalled);
  layout_ = plan.layout;
  videoStreamCount_ = plan.videoStreamCount;
  context_->SetType(layout_ == DvrLayout::kFourChannel ? RecordingContext::DvrType::kFourChannel
                                                       : RecordingContext::DvrType::kTwoChannel);
  {
    std::lock_guard<std::mutex> l(lock_);
    props_.dvrType = context_->TypeText();
    props_.h264Mode = plan.result == kGraphH264 ? VideoCoding::kH264 : VideoCoding::kMotionJpeg;
    for (const BranchPlan& b : plan.branches) {
      // Until the preroll tells, every planned channel counts as present.
      if (b.kind == BranchKind::kVideo) results_.channels[size_t(b.channel)].video = true;
    }
  }
  if (plan.result != kGraphOk) return plan.result;

  pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
  if (!pipeline_) return kGraphNoPipeline;
  GstElement* pipe = pipeline_.get();
  {
    // One clock for every graph, so that one file can start where another
    // ends (StartAt); an audio output follows it instead of leading.
    std::unique_ptr<GstClock, gsth::ObjectUnref> clock(gst_system_clock_obtain());
    gst_pipeline_use_clock(GST_PIPELINE(pipe), clock.get());
  }
  {
    gsth::Bus bus(gst_element_get_bus(pipe));
    gst_bus_set_sync_handler(bus.get(), &RecordingGraph::OnBusMessage, this, nullptr);
  }
  GstElement* source = gst_element_factory_make("filesrc", "File Source Filter");
  if (!source) {
    NoteCause("the GStreamer element filesrc is not installed");
    return kGraphFileUnusable;
  }
  gst_bin_add(GST_BIN(pipe), source);
  g_object_set(source, "location", path.c_str(), nullptr);
  GstElement* demux = gst_element_factory_make("avidemux", "QMX AVI Splitter");
  if (!demux) return kGraphNoSplitter;
  gst_bin_add(GST_BIN(pipe), demux);
  demuxer_ = demux;
  if (!gst_element_link(source, demux)) {
    NoteCause("filesrc could not be linked to avidemux");
    return kGraphNotConnected;
  }

  for (const BranchPlan& b : plan.branches) {
    if (b.kind == BranchKind::kVideo) {
      const avi::AviStream& s = reader.Stream(size_t(b.streamIndex));
      fps_[b.channel] = s.header.scale ? double(s.header.rate) / s.header.scale : 0.0;
      frameScale_[b.channel] = s.header.scale;
      frameRate_[b.channel] = s.header.rate;
      for (const auto& chunk : s.chunks) videoBytes_[b.channel] += chunk.size;
      videoChunks_[b.channel] = s.chunks.size();
    }
    AddBranch(b, config);
  }
  SetListener(listener);
  g_signal_connect(demux, "pad-added", G_CALLBACK(&RecordingGraph::OnPadAdded), this);
  g_signal_connect(demux, "no-more-pads", G_CALLBACK(&RecordingGraph::OnNoMorePads), this);

  if (config.exportGraph) ExportGraph(pipe);
  return kGraphOk;
}

void RecordingGraph::Preroll() {
  HandOver(this);
  if (pipeline_ && gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
    {
      std::lock_guard<std::mutex> l(lock_);
      if (errorText_.empty()) errorText_ = "the media pipeline could not be started";
    }
    NoteCause("the media pipeline could not be started");
    errored_ = true;
  }
}

bool RecordingGraph::WaitSettled() {
  if (!pipeline_) return false;
  const auto until = std::chrono::steady_clock::now() + kSettleLimit;
  std::unique_lock<std::mutex> l(settleLock_);
  GstClockTime look = 0;
  for (;;) {
    if (errored_) return false;
    const uint64_t seen = busTicks_;
    l.unlock();
    // The state itself is the answer; the bus only says when to ask again.
    GstState state, pending;
    const GstStateChangeReturn r = gst_element_get_state(pipeline_.get(), &state, &pending, look);
    l.lock();
    if (r == GST_STATE_CHANGE_SUCCESS || r == GST_STATE_CHANGE_NO_PREROLL) return !errored_;
    if (r == GST_STATE_CHANGE_FAILURE) return false;
    if (!settleWake_.wait_until(l, until, [&] { return busTicks_ != seen || errored_.load(); })) {
      if (errored_) return false;
      l.unlock();
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kSettleLimit).count();
      NoteCause("timed out: the pipeline neither started nor failed within " + std::to_string(seconds) +
                " s");
      return false;
    }
    // The pipeline posts its news as it commits; a moment's wait on the
    // state itself covers a commit that lands just after its message.
    look = kCommitLook;
  }
}

int RecordingGraph::WaitReady() {
  if (!pipeline_) return kGraphNotConnected;
  if (!WaitSettled()) return kGraphNotConnected;
  std::call_once(inspected_, [this] { Inspect(); });
  return kGraphOk;
}

void RecordingGraph::Inspect() {
  Results r;
  std::array<std::string, 4> format, bitRate;
  for (int c = 0; c < 4; ++c) {
    if (!videoSink_[c]) continue;
    gsth::Pad pad(gst_element_get_static_pad(videoSink_[c], "sink"));
    gsth::Caps caps(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
    GstVideoInfo info;
    // A sink the demuxer never fed leaves its channel absent.
    if (!caps || !gst_video_info_from_caps(&info, caps.get())) continue;
    ChannelResult& found = r.channels[c];
    found.video = true;
    found.width = GST_VIDEO_INFO_WIDTH(&info);
    found.height = GST_VIDEO_INFO_HEIGHT(&info);
    // A picture decoded reduced for a small pane keeps its own size here.
    if (videoDecoder_[c]) {
      int w = 0, h = 0;
      g_object_get(videoDecoder_[c], "picture-width", &w, "picture-height", &h, nullptr);
      if (w > 0 && h > 0) found.width = w, found.height = h;
    }
    ++r.channelCount;
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d, %.2f fps", found.width, found.height, fps_[c]);
    format[c] = text;
    const double seconds = fps_[c] > 0 ? double(videoChunks_[c]) / fps_[c] : 0.0;
    if (seconds > 0) {
      std::snprintf(text, sizeof text, "%d kbit/s", int(double(videoBytes_[c]) * 8 / seconds / 1000));
      bitRate[c] = text;
    }
  }
  for (int c = 0; c < 4; ++c) {
    COverlayFilter* t = AudioTransform(c);
    if (!plannedAudio_[c] || !r.channels[c].video || !t) continue;
    gsth::Pad pad(gst_element_get_static_pad(audioTransform_[c], "sink"));
    gsth::Caps caps(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
    GstAudioInfo info;
    // Sound is present where samples reached the transform.
    if (!caps || !gst_audio_info_from_caps(&info, caps.get())) continue;
    r.channels[c].audio = true;
    t->SetStereoOn(GST_AUDIO_INFO_CHANNELS(&info) == 2);
  }
  gint64 dur = -1;
  if (gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &dur) && dur > 0)
    r.duration = NanosToCentis(dur);
  {
    std::lock_guard<std::mutex> l(lock_);
    results_ = r;
    for (int c = 0; c < 4; ++c) {
      if (!format[c].empty()) props_.formatText[c] = format[c];
      if (!bitRate[c].empty()) props_.bitRateText[c] = bitRate[c];
      if (r.channels[c].audio) props_.audioText[c] = "Audio Enabled";
    }
  }
  // The first preroll has told which channels have sound; from now on the
  // pictures alone say when the graph has settled (branch_builders.h).
  for (const Branch& b : branches_) {
    if (b.kind == BranchKind::kAudio) LetSinksSkipPreroll(b.bin);
  }
  ready_ = true;
}

// --- transport -----------------------------------------------------------------

void RecordingGraph::SetState(GstState state) {
  if (state == GST_STATE_PLAYING) moved_ = true;
  if (state != GST_STATE_PLAYING) EndScheduledStart();
  HandOver(this);
  if (pipeline_) gst_element_set_state(pipeline_.get(), state);
}

void RecordingGraph::StartAt(GstClockTime baseTime) {
  if (!pipeline_) return;
  moved_ = true;
  scheduled_ = true;
  HandOver(this);
  // Without a start time the pipeline keeps the base time given instead of
  // taking the moment it starts.
  gst_element_set_start_time(pipeline_.get(), GST_CLOCK_TIME_NONE);
  gst_element_set_base_time(pipeline_.get(), baseTime);
  gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
}

void RecordingGraph::EndScheduledStart() {
  // With a start time again, the pipeline notes where it pauses and goes on
  // from there; a flushing seek starts its timing anew.
  if (scheduled_.exchange(false) && pipeline_) gst_element_set_start_time(pipeline_.get(), 0);
}

GstClockTime RecordingGraph::ShownEndClockTime() const {
  const int64_t end = shownEnd_.load();
  if (!pipeline_ || end < 0) return GST_CLOCK_TIME_NONE;
  return gst_element_get_base_time(pipeline_.get()) + GstClockTime(end);
}

bool RecordingGraph::SeekTo(int64_t ns, double rate) {
  if (!pipeline_) return false;
  if (ns < 0) ns = 0;
  EndScheduledStart();
  ended_ = false;
  ending_ = false;
  for (SinkState& st : sinkState_) st.ended = false;
  shownEnd_ = -1;
  // A paused graph sought back to its start waits on its first frame as if
  // fresh from its preroll: it can still follow another file seamlessly.
  moved_ = ns != 0;
  rate_ = rate;
  for (auto& pts : shownPts_) pts = -1;
  HandOver(this);
  const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  // Sent once, to the demuxer's first source pad: sent to the pipeline,
  // every sink passes the seek upstream and the demuxer seeks, and flushes
  // every branch, once per sink.
  GstPad* pad = nullptr;
  GST_OBJECT_LOCK(demuxer_);
  if (demuxer_->srcpads) pad = GST_PAD(gst_object_ref(demuxer_->srcpads->data));
  GST_OBJECT_UNLOCK(demuxer_);
  if (!pad)
    return gst_element_seek(pipeline_.get(), rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, ns,
                            GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
  GstEvent* seek = gst_event_new_seek(rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, ns, GST_SEEK_TYPE_NONE,
                                      GST_CLOCK_TIME_NONE);
  const bool sent = gst_pad_send_event(pad, seek);
  gst_object_unref(pad);
  return sent;
}

int64_t RecordingGraph::FrameCount(int c) const {
  if (c < 0 || c > 3 || !frameScale_[c] || !frameRate_[c]) return 0;
  return int64_t(videoChunks_[c]);
}

int64_t RecordingGraph::FrameTimeNs(int c, int64_t n) const {
  if (FrameCount(c) == 0 || n < 0) return -1;
  return int64_t(gst_util_uint64_scale(guint64(n), guint64(frameScale_[c]) * GST_SECOND, frameRate_[c]));
}

int64_t RecordingGraph::FrameAtNs(int c, int64_t ns) const {
  if (FrameCount(c) == 0 || ns < 0) return -1;
  // Stamps are rounded down from the exact frame times: the frame whose
  // stamp is nearest below, with a nanosecond's grace.
  const guint64 n =
      gst_util_uint64_scale(guint64(ns) + 1, frameRate_[c], guint64(frameScale_[c]) * GST_SECOND);
  return std::min<int64_t>(int64_t(n), FrameCount(c) - 1);
}

int64_t RecordingGraph::ShownPts(int c) const {
  return c < 0 || c > 3 ? -1 : shownPts_[size_t(c)].load();
}

int64_t RecordingGraph::PositionNs() const {
  gint64 pos = -1;
  if (!pipeline_ || !gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &pos)) return -1;
  return pos;
}

// --- state ---------------------------------------------------------------------

std::string RecordingGraph::ErrorText() const {
  std::lock_guard<std::mutex> l(lock_);
  return errorText_;
}

std::string RecordingGraph::FailureCause() const {
  std::lock_guard<std::mutex> l(lock_);
  return cause_;
}

ChannelResults RecordingGraph::Channels() const {
  std::lock_guard<std::mutex> l(lock_);
  return results_.channels;
}
int RecordingGraph::ChannelCount() const {
  std::lock_guard<std::mutex> l(lock_);
  return results_.channelCount;
}
int64_t RecordingGraph::Duration() const {
  std::lock_guard<std::mutex> l(lock_);
  return results_.duration;
}

RecordingProperties RecordingGraph::Properties() const {
  std::lock_guard<std::mutex> l(lock_);
  RecordingProperties p = props_;
  p.dvrType = context_->TypeText();
  return p;
}

void RecordingGraph::SetListener(CMetadataInterface* listener) {
  for (GstElement* e : extractor_) {
    if (COverlayFilter* f = e ? OverlayElementFilter(e) : nullptr) f->SetListener0(listener);
  }
  if (COverlayFilter* f = multiExtractor_ ? OverlayElementFilter(multiExtractor_) : nullptr)
    f->SetListener0(listener);
}

void RecordingGraph::SetEventHandler(EventHandler handler) {
  std::lock_guard<std::mutex> l(lock_);
  handler_ = std::move(handler);
}

void RecordingGraph::SetFastDeinterlace(bool fast) {
  for (int c = 0; c < 4; ++c) {
    if (COverlayFilter* f = Overlay(c)) f->SetFastDeinterlace(fast);
    SetDecoderDeinterlace(c, fast);
  }
}

void RecordingGraph::SetShownSize(int channel, int width, int height) {
  if (channel < 0 || channel > 3 || !videoDecoder_[size_t(channel)]) return;
  g_object_set(videoDecoder_[size_t(channel)], "shown-width", std::max(0, width), "shown-height",
               std::max(0, height), nullptr);
}

RecordingGraph::FullSnapshot RecordingGraph::FullSnapshotImage(int channel, std::vector<uint8_t>& rgb,
                                                               int& width, int& height) {
  rgb.clear();
  width = height = 0;
  if (channel < 0 || channel > 3) return FullSnapshot::kNotReduced;
  gsth::Buffer jpeg;
  {
    std::lock_guard<std::mutex> l(reducedLock_);
    if (reducedJpeg_[size_t(channel)]) jpeg.reset(gst_buffer_ref(reducedJpeg_[size_t(channel)].get()));
  }
  if (!jpeg) return FullSnapshot::kNotReduced;
  std::vector<uint8_t> pixels;
  bool decoded = false;
  {
    gsth::BufferMap map(jpeg.get(), GST_MAP_READ);
    JpegBgrxDecoder decoder;
    if (map.ok() && decoder.ReadSize(map.data(), map.size(), width, height) == JpegBgrxDecoder::Result::kOk) {
      pixels.resize(size_t(width) * size_t(height) * 4);
      decoded = decoder.Decode(map.data(), map.size(), pixels.data(), pixels.size(), width, height,
                               width * 4) == JpegBgrxDecoder::Result::kOk;
    }
  }
  if (!decoded) return FullSnapshot::kFailed;
  // As the decoder or the overlay treats a full-size frame of this size.
  const COverlayFilter* overlay = Overlay(channel);
  int w = 0, h = 0;
  bool deinterlace = false;
  if (overlay && COverlayFilter::VideoFrameSize(pixels.size(), overlay->DvrKind(), w, h, deinterlace) &&
      deinterlace && w == width && h == height)
    FastDeinterlaceFrame(pixels.data(), width, height, overlay->FastDeinterlace());
  rgb = BuildSnapshotImage(pixels.data(), width, height, false);
  return rgb.empty() ? FullSnapshot::kFailed : FullSnapshot::kDone;
}

RecordingGraph::FullSnapshot RecordingGraph::SaveFullSnapshot(int channel, const std::string& path) {
  std::vector<uint8_t> image;
  int width = 0, height = 0;
  const FullSnapshot full = FullSnapshotImage(channel, image, width, height);
  if (full != FullSnapshot::kDone) return full;
  return WriteJpegFile(path.c_str(), image.data(), width, height, 75) ? FullSnapshot::kDone
                                                                      : FullSnapshot::kFailed;
}

void RecordingGraph::SetDecoderDeinterlace(int channel, bool fast) {
  // The decoder's modes: 1 adaptive, 2 fast (jpeg_decoder_element.h).
  if (videoDecoder_[channel]) g_object_set(videoDecoder_[channel], "deinterlace", fast ? 2 : 1, nullptr);
}

COverlayFilter* RecordingGraph::Overlay(int channel) const {
  if (channel < 0 || channel > 3 || !overlay_[channel]) return nullptr;
  return OverlayElementFilter(overlay_[channel]);
}
COverlayFilter* RecordingGraph::AudioTransform(int channel) const {
  if (channel < 0 || channel > 3 || !audioTransform_[channel]) return nullptr;
  return OverlayElementFilter(audioTransform_[channel]);
}
GstElement* RecordingGraph::Volume(int channel) const {
  if (channel < 0 || channel > 3) return nullptr;
  return volume_[channel];
}

int BuildRecordingGraph(RecordingGraph& g, const std::string& path, RecordingProperties& props,
                        CMetadataInterface* listener, const EngineConfig& config) {
  int result = g.Start(path, config, listener);
  if (result == kGraphOk) {
    g.Preroll();
    result = g.WaitReady();
  }
  props = g.Properties();
  return result;
}
