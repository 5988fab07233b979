#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/pipeline/channel_result.h"
#include "engine/pipeline/engine_config.h"
#include "engine/pipeline/frame_consumer.h"
#include "engine/pipeline/graph_plan.h"
#include "engine/pipeline/gst_handles.h"
#include "engine/pipeline/thread_order.h"
#include "engine/recording_properties.h"
#include "metadata/recording_context.h"

class COverlayFilter;
class CMetadataInterface;

// One recording file's pipeline: filesrc "File Source Filter" ! avidemux
// "QMX AVI Splitter", and one bin per branch the plan of the file's streams
// asks for (see branch_builders.h).
//
// Lifecycle: Start builds the pipeline; Preroll sets it prerolling without
// waiting (volumes and switches are set in between, so that no sample passes
// with the wrong ones); WaitReady waits for that preroll (or for the error
// that ends it) and then reads what the sinks received (sizes, audio
// channels, length).
// A graph is driven by its bus: ERROR, EOS, WARNING and ASYNC_DONE set its
// state at once and are passed to the event handler.
//
// Threads: Start and the destructor on one thread at a time (the owner's);
// the rest from any thread. Frames reach the consumer and events the handler
// on streaming threads; both must not block or call back into the graph.
class RecordingGraph {
 public:
  // kVideoEnding: every camera has shown its last picture of the file (the
  // last one's span still runs; kEndOfStream follows when it is over).
  enum class Event { kEndOfStream, kError, kWarning, kVideoEnding };
  using EventHandler = std::function<void(Event)>;

  RecordingGraph();
  ~RecordingGraph();
  RecordingGraph(const RecordingGraph&) = delete;
  RecordingGraph& operator=(const RecordingGraph&) = delete;

  // Plans and builds the pipeline of `path`. Returns a GraphResult code for
  // what is known before data flows (file, properties, plan, elements).
  // `listener` (may be null) receives every channel's metadata texts. A
  // `shown` graph publishes the trigger names it reads before its first
  // metadata is decoded. A nonzero result also makes HasError true, with
  // the result's message in ErrorText.
  int Start(const std::string& path, const EngineConfig& config, CMetadataInterface* listener,
            bool shown = false);
  // Starts the preroll at position 0; the bus tells how it ends.
  void Preroll();
  // Waits until the preroll (or the last seek) has finished: 0, or 4 when
  // the pipeline failed (its error message is in ErrorText) or never
  // settled within a short bound. The first success reads the results.
  int WaitReady();
  // Waits until the pipeline has reached its target state after a change or
  // a seek; false on an error. Woken by the bus, never by polling.
  bool WaitSettled();

  // Non-waiting transport: the pipeline reports through its bus.
  void SetState(GstState state);
  // Runs the prerolled graph so that its first frame is shown when the
  // pipeline clock reaches `baseTime`: a file following another one starts
  // exactly where the other's last picture ends. Pausing or seeking puts the
  // graph back on its own timing.
  void StartAt(GstClockTime baseTime);
  // The clock time at which the last picture shown ends; NONE before one
  // was shown.
  GstClockTime ShownEndClockTime() const;
  bool StartedAhead() const { return scheduled_.load(); }
  // A flushing, frame-accurate seek to `ns` inside the file at playback
  // `rate` (1 normal), sent once to the demuxer; false when it was refused.
  // From 4 times on only the frames a screen can show are decoded
  // (playback_rate.h).
  bool SeekTo(int64_t ns, double rate = 1.0);
  // Channel c's frames as the file's index has them: how many, the start
  // time of frame n (as the demuxer stamps it), and the frame whose span
  // holds `ns`. 0 / -1 where the channel has no video.
  int64_t FrameCount(int channel) const;
  int64_t FrameTimeNs(int channel, int64_t n) const;
  int64_t FrameAtNs(int channel, int64_t ns) const;
  // The stamp of channel c's last frame that reached its sink; -1 none
  // since the last seek.
  int64_t ShownPts(int channel) const;
  // The rate of the last seek; 1 for a graph fresh from its preroll.
  double Rate() const { return rate_.load(); }
  int64_t PositionNs() const;  // -1 unknown

  const std::string& Path() const { return path_; }
  bool Ready() const { return ready_.load(); }
  bool AtEnd() const { return ended_.load(); }
  // Whether the graph has run or been sought since its preroll at 0.
  bool Moved() const { return moved_.load(); }
  bool HasError() const { return errored_.load(); }
  void ClearEnd() { ended_ = false; }
  // The first error's text, naming the element it came from.
  std::string ErrorText() const;
  // Why the graph failed, beyond its result code: why the file can't be
  // read, the element that failed with its message, or a time-out named as
  // such. Empty while nothing failed or nothing more is known. Never names
  // the file (the caller does, once).
  std::string FailureCause() const;
  int WarningCount() const { return warnings_.load(); }

  // Results; until WaitReady has succeeded the planned channels read
  // present, with sizes -1, and the length 0.
  ChannelResults Channels() const;
  int ChannelCount() const;
  DvrLayout DvrKind() const { return layout_; }
  int VideoStreamCount() const { return videoStreamCount_; }
  int64_t Duration() const;  // hundredths of a second
  // This file's texts: its configuration block, format, audio and bit rate,
  // and the DVR type.
  RecordingProperties Properties() const;
  const RecordingContext& Context() const { return *context_; }

  // Where the file starts on the sequence timeline, hundredths.
  int64_t StartOffset() const { return startOffset_.load(); }
  void SetStartOffset(int64_t centis) { startOffset_ = centis; }

  // Where frames go; null while the graph is not the one shown.
  void SetConsumer(FrameConsumer* consumer) { consumer_ = consumer; }
  // Who hears the metadata texts (listener slot 0); null for silence.
  void SetListener(CMetadataInterface* listener);
  void SetEventHandler(EventHandler handler);

  // How full-height pictures are deinterlaced on every channel: our decoder
  // does it while the rows are in the cache, the overlay where another
  // decoder made the picture.
  void SetFastDeinterlace(bool fast);

  // The size channel c's pictures are shown at (0 × 0: unknown, always the
  // full size): our decoder hands a picture shown smaller than its size on
  // at the size shown. Any thread, never waits.
  void SetShownSize(int channel, int width, int height);
  // Channel c's last shown frame when it was shown reduced: decoded again at
  // full size from its compressed picture (deinterlaced as a full-size frame
  // is), as the packed RGB snapshot image the overlay's copy would give
  // (kDone), or written as its snapshot JPEG.
  enum class FullSnapshot { kNotReduced, kDone, kFailed };
  FullSnapshot FullSnapshotImage(int channel, std::vector<uint8_t>& rgb, int& width, int& height);
  FullSnapshot SaveFullSnapshot(int channel, const std::string& path);
  // Our filters, null where the branch is absent.
  COverlayFilter* Overlay(int channel) const;
  COverlayFilter* AudioTransform(int channel) const;
  GstElement* Volume(int channel) const;
  GstElement* Pipeline() const { return pipeline_.get(); }

 private:
  struct SinkState {
    RecordingGraph* graph = nullptr;
    int channel = 0;
    std::atomic<int64_t> prerollPts{-1};  // pts of a preroll frame already handed on, -1 none
    std::atomic<bool> fed{false};         // a video branch of the pipeline ends here
    std::atomic<bool> ended{false};       // its end has come since the last seek
    int64_t keptSpan = -1;                // the branch's streaming thread only (playback_rate.h)
  };
  // A streaming-thread callback's use of the graph, ordered after the
  // owner's hand-over and before the graph's end (thread_order.h).
  struct StreamingPass {
    explicit StreamingPass(const RecordingGraph& g) : graph(g) { TakeOver(&graph); }
    ~StreamingPass() { HandOver(&graph.streamingDone_); }
    const RecordingGraph& graph;
  };
  struct Results {
    ChannelResults channels{};
    int channelCount = 0;
    int64_t duration = 0;
  };

  static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* msg, gpointer data);
  static void OnPadAdded(GstElement*, GstPad* pad, gpointer data);
  static void OnNoMorePads(GstElement*, gpointer data);
  static GstFlowReturn OnPreroll(GstAppSink* sink, gpointer data);
  static GstFlowReturn OnSample(GstAppSink* sink, gpointer data);
  static GstPadProbeReturn OnSinkEvent(GstPad* pad, GstPadProbeInfo* info, gpointer data);
  static GstPadProbeReturn OnBranchInput(GstPad* pad, GstPadProbeInfo* info, gpointer data);
  void NoteShown(GstSample* sample);
  // Every channel still in the pipeline has shown its last picture.
  bool AllVideoEnded() const;
  // Back on the pipeline's own timing after StartAt, before a pause or seek.
  void EndScheduledStart();
  void Deliver(SinkState& st, GstSample* sample);
  int Build(const std::string& path, const EngineConfig& config, CMetadataInterface* listener, bool shown);
  bool AddBranch(const BranchPlan& plan, const EngineConfig& config);
  void Inspect();
  void SetDecoderDeinterlace(int channel, bool fast);
  void Notify(Event e);
  // Keeps the first cause of a failure.
  void NoteCause(const std::string& cause);
  // The bus told of a step towards settling (ASYNC_DONE, the pipeline's
  // state change, EOS, ERROR): WaitSettled looks at the state again.
  void NoteSettling();

  std::string path_;
  DvrLayout layout_ = DvrLayout::kFourChannel;
  int videoStreamCount_ = 0;
  // Shared with the graph's filters, which may outlive a teardown by a moment.
  std::shared_ptr<RecordingContext> context_ = std::make_shared<RecordingContext>();
  gsth::Element pipeline_;
  GstElement* demuxer_ = nullptr;  // borrowed from the pipeline
  std::array<GstElement*, 4> extractor_{}, overlay_{}, audioTransform_{}, volume_{};
  GstElement* multiExtractor_ = nullptr;
  std::array<GstElement*, 4> videoSink_{};
  std::array<GstElement*, 4> videoDecoder_{};  // our decoder where the branch has it, else null
  struct Branch {
    std::string padName;            // the demuxer pad that feeds it
    GstElement* bin = nullptr;      // borrowed from the pipeline
    GstElement* decoder = nullptr;  // the element that must take the pad's caps, or null
    BranchKind kind = BranchKind::kVideo;
    int channel = 0;
  };
  std::vector<Branch> branches_;  // fixed before the preroll starts
  // Takes a branch out of the pipeline; a channel without pictures loses its
  // sound too. Not under lock_.
  void RemoveBranch(const Branch& branch);

  std::array<SinkState, 4> sinkState_;
  // The compressed picture of each channel's last shown frame when it was
  // shown reduced (a reference), else null; guarded by reducedLock_.
  std::mutex reducedLock_;
  std::array<gsth::Buffer, 4> reducedJpeg_;
  std::array<int, 4> plannedAudio_{};  // 1 where an audio branch was built
  std::array<double, 4> fps_{};
  std::array<uint32_t, 4> frameScale_{}, frameRate_{};  // the stream headers' time base
  std::array<std::atomic<int64_t>, 4> shownPts_{{{-1}, {-1}, {-1}, {-1}}};
  std::array<uint64_t, 4> videoBytes_{}, videoChunks_{};

  std::atomic<FrameConsumer*> consumer_{nullptr};
  std::atomic<int64_t> startOffset_{0};
  std::atomic<bool> ready_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> moved_{false};
  std::atomic<bool> ending_{false};     // kVideoEnding told since the last seek
  std::atomic<bool> scheduled_{false};  // started by StartAt, base time fixed
  std::atomic<int64_t> shownEnd_{-1};   // running time where the last picture shown ends
  std::atomic<bool> errored_{false};
  std::atomic<int> warnings_{0};
  std::atomic<double> rate_{1.0};

  std::mutex settleLock_;
  std::condition_variable settleWake_;
  uint64_t busTicks_ = 0;  // guarded by settleLock_

  char streamingDone_ = 0;   // only its address is used, to order the callbacks' end
  mutable std::mutex lock_;  // guards the fields below
  std::once_flag inspected_;
  Results results_;
  RecordingProperties props_;
  std::string errorText_;
  std::string cause_;
  // Branches taken out of the pipeline (no data, or data their decoder
  // can't take); kept alive so that their elements stay valid for anyone
  // still holding them.
  std::vector<gsth::Element> removed_;
  EventHandler handler_;
};

// Start, Preroll and WaitReady in one, for callers that need the graph at once: the
// headless modes, benches and tests. `props` gets a copy of the graph's
// texts.
int BuildRecordingGraph(RecordingGraph& graph, const std::string& path, RecordingProperties& props,
                        CMetadataInterface* listener, const EngineConfig& config = {});
