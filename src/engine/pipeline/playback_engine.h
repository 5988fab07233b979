#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/pipeline/audio_routing.h"
#include "engine/pipeline/engine_config.h"
#include "engine/pipeline/engine_events.h"
#include "engine/pipeline/frame_consumer.h"
#include "engine/pipeline/graph_slots.h"
#include "engine/pipeline/recording_graph.h"
#include "engine/pipeline/sequence_file.h"
#include "engine/pipeline/transport_queue.h"
#include "engine/pipeline/video_arrangement.h"
#include "engine/recording_properties.h"
#include "engine/video_view.h"
#include "metadata/text_lines.h"

class CMetadataInterface;

// Plays a recording, or a run of recording files as one timeline.
//
// Units: positions and lengths in hundredths of a second ("centis"),
// slider positions in thousandths of the total (per-mille, double), volumes
// in percent at the interface.
//
// Threads: every operation is meant for the window thread and is safe to
// call from any thread; none waits on a pipeline. The transport operations
// (Play, Pause, Stop, Seek, StepFrame) post a command and return at once; the
// engine's transport thread performs the commands in order, a new seek
// superseding the seeks still queued. Until a seek has been performed the
// position queries answer its target, so a slider never jumps back. The
// engine lock (a plain mutex) only guards the engine's own state and is
// never held across a wait. OpenSequence and CloseSequence build and tear
// down pipelines: they belong on a worker thread (the window opens there).
//
// Three threads of the engine's own: the transport thread performs the
// commands; the event thread reacts to what the pipelines report on their
// buses (a file's end moves on to the next file, whose graph waits
// prerolled; an error ends that file and is reported) and calls
// EngineEvents; the preparer builds and prerolls the graphs of the
// following files. Frames reach the FrameConsumer and metadata texts the
// listener on streaming threads, from the graph being shown only.
class PlaybackEngine {
 public:
  // `consumer` receives the frames of the graph being shown; `listener` its
  // channels' decoded metadata (the main window's banner). Both may be null
  // and must outlive the engine. `events` (may be null, must outlive the
  // engine) hears of errors, file changes and the end of the recording.
  explicit PlaybackEngine(FrameConsumer* consumer = nullptr, CMetadataInterface* listener = nullptr,
                          EngineEvents* events = nullptr, EngineConfig config = {});
  ~PlaybackEngine();
  PlaybackEngine(const PlaybackEngine&) = delete;
  PlaybackEngine& operator=(const PlaybackEngine&) = delete;

  // Builds the first file's graph and starts playing it once its first
  // frame is ready; the next six files are built and prerolled off the
  // caller's thread, the lengths of all come from their headers. Returns a
  // GraphResult code of the first file (0 playing); later files that fail
  // are reported through EngineEvents and skipped. An empty list gives 3
  // (message: GraphResultMessage(3, false, true)).
  int OpenSequence(const std::vector<std::string>& paths);
  // Why the last OpenSequence failed beyond its code (RecordingGraph's
  // FailureCause of the first file); "" after a success or when nothing
  // more is known.
  std::string OpenFailureCause();
  void CloseSequence();

  // Transport: each posts its command and returns at once; IsPlaying and
  // the position queries tell what was asked for at once, the frames and
  // OnTransportSettled tell when it is done.
  void Play();
  void Pause();
  // Back to the first file's start, paused.
  void Stop();
  // To `centis` when it lies within the total, else to perMille/1000 of the
  // total; the frame at that time then reaches the consumer.
  void Seek(double perMille, int64_t centis);
  // 15 hundredths back (direction <= 0) or forward from where the previous
  // command leaves the position, never past the end; with `show` the frame
  // there reaches the consumer.
  void StepFrame(int direction, bool show);
  // Moves channel `channel`'s picture by exactly one of its frames, back
  // (direction < 0) or on, through the files' indexes and across file
  // boundaries; the other channels show their frames at that time. Meant
  // while paused; at either end of the recording nothing moves.
  void StepExactFrame(int direction, int channel);
  // Channel c's frame shown in the current file: its number there (from
  // 0), the file's frame count and the frame's own time in the file (ns).
  // False before a frame was shown since the last seek.
  bool ShownFrame(int channel, int64_t& frame, int64_t& count, int64_t& timeNs);
  // Playback speed, one of the steps of playback_rate.h (other values go to
  // the nearest): every camera and the following files at the same rate,
  // sound only from 1/2 to 2 times. Performed as a seek to the position.
  void SetRate(double rate);
  double Rate() const { return rate_.load(); }
  // Waits until every transport command posted so far has been performed;
  // false when `limit` passed first. For headless modes and tests: a window
  // listens for OnTransportSettled instead.
  bool WaitTransport(std::chrono::milliseconds limit);

  double GetPosition();  // per-mille of the total
  int64_t GetPositionCentis();
  int64_t GetTotal() const { return total_.load(); }
  bool IsPlaying() const { return playing_.load(); }
  double LastStepPosition() const { return lastStepPosition_.load(); }
  // Warnings the pipelines of this sequence reported (damaged frames the
  // decoders skipped, …).
  int WarningCount() const { return warnings_.load(); }

  void SetView(VideoView view);
  VideoView View() const { return view_.load(); }
  void SetAudioRoute(VideoView view, int channel, bool on);
  bool GetAudioRoute(VideoView view, int channel);
  void SetAudioVolume(int channel, int percent);
  int GetAudioVolume(int channel);
  void SetOverlayText(bool on);
  void SetDeinterlace(bool fast);
  // Applies the view's overlay line switches to the chosen graphs (0
  // previous, 1 current, 2 next, other values all three) and returns what
  // the panes show: per pane the channel and the source rows. The switches
  // are applied again after every change of file.
  VideoArrangement ArrangeVideo(bool quad, int which);
  // What the overlays of the file being shown draw, per channel (false
  // where the channel has no overlay).
  struct OverlaySwitches {
    std::array<bool, 4> text{}, gpsLines{}, timeLines{};
  };
  OverlaySwitches ShownOverlaySwitches();
  // The texts the overlay of channel 0..3 of the file being shown draws
  // (the placeholders when the channel has no overlay).
  OverlayTexts ShownOverlayTexts(int channel);
  // Size the window lays out for (first channel with video); 320x240 until
  // a graph with video has been arranged.
  void VideoSize(int& width, int& height, bool& known);

  // The size channel c's pictures are shown at, in pixels (0 × 0, the
  // default: the full size). A picture shown smaller than its size is handed
  // on at the size shown (decoded at 1/2, 1/4 or 1/8 of it where that still
  // covers it, and scaled down); whoever needs more (a zoom) asks for the
  // size it draws at. Snapshots always hold the recorded frame.
  void SetShownSize(int channel, int width, int height);

  // Writes channel 0..3's last frame as a JPEG; false without such a frame.
  bool TakeSnapshot(int channel, const std::string& path);
  // The frame TakeSnapshot would write, as packed RGB (snapshot_image.h),
  // for the window to crop or adjust first; false when none is kept.
  bool SnapshotImage(int channel, std::vector<uint8_t>& rgb, int& width, int& rows);

  // What the open recording holds (the current file's graph); nothing
  // present without one.
  ChannelResults Channels();
  DvrLayout DvrKind();
  VideoCoding H264Mode();
  // The current file's texts; the size is the whole sequence's.
  RecordingProperties Properties();
  std::vector<SequenceFile> Files();
  int CurrentFileIndex();

 private:
  using GraphPtr = std::shared_ptr<RecordingGraph>;
  using Slots = GraphSlots<RecordingGraph>;
  struct BusNews {
    const RecordingGraph* graph;  // identity only; looked up under the lock
    RecordingGraph::Event event;
  };

  // Starts a graph of `path` with the routing and switches set, prerolling.
  // Without the lock.
  GraphPtr MakeGraph(const std::string& path, bool shown, int& result);
  void PlaceGraph(RecordingGraph& g, int index, GraphSlot slot);
  GraphPtr Current();
  // A sequence is open (and, with `playableGraph`, its current file has a
  // pipeline).
  bool HasSequence(bool playableGraph);
  int64_t PositionOf(const GraphPtr& g);
  // The transport thread's side of the commands.
  void Perform(const TransportCommand& command);
  void PlayNow();
  void PauseNow();
  // `exactNs` (>= 0): the target on the timeline to the nanosecond, for a
  // frame's own time; `t` then only picks the file.
  void SeekTo(int64_t t, bool show, int64_t exactNs = -1);
  void StepExactNow(int direction, int channel);
  void AdvanceLocked();
  // The state `g` should be in now: the current graph plays while the user
  // plays, a next file started ahead too, every other graph waits paused.
  GstState WantedStateLocked(const GraphPtr& g);
  // Brings `g` to its wanted state; without the lock.
  void SettleState(const GraphPtr& g);
  // The current file has a successor whose graph is not there yet.
  bool NextPendingLocked();
  int FileAtLocked(int64_t t) const;
  GraphPtr SlotGraphLocked(GraphSlot slot);
  void ArrangeLocked(bool quad, int which, VideoArrangement* shown);
  void ApplyRoutingLocked();
  void ApplyRoutingTo(RecordingGraph& g);  // under the lock
  void ApplyOverlaySwitches(RecordingGraph& g);
  template <class F>
  void ForEachSlotGraph(int which, F&& f);
  void Post(std::function<void()> call);
  void PostBusNews(BusNews news);
  void HandleBusNews(const BusNews& news);
  void EventLoop();
  void PrepareLoop();
  // Without the lock: rewinds the graphs placed as next after they had
  // played, and destroys `graphs` and those that fell out of the cache.
  void FinishUnlocked(std::vector<GraphPtr> graphs);

  FrameConsumer* consumer_;
  CMetadataInterface* listener_;
  EngineEvents* events_;
  const EngineConfig config_;

  std::mutex lock_;  // the engine lock
  std::unique_ptr<Slots> slots_;
  std::vector<SequenceFile> files_;
  std::string openCause_;
  uint64_t sequenceBytes_ = 0;
  int sequence_ = 0;  // counts opens, so late work of a closed sequence is dropped
  RoutingMatrix routes_ = DefaultRoutes();
  std::array<int, 4> volume_{};  // hundredths of a dB, -4000..0
  bool arrangedQuad_ = false;
  std::array<std::pair<int, int>, 4> shownSize_{};  // SetShownSize's, per channel
  int videoWidth_ = 320, videoHeight_ = 240;
  bool videoSizeKnown_ = false;
  std::vector<GraphPtr> toRewind_;  // next graphs to seek back to 0 once the lock is let go
  std::vector<GraphPtr> toSettle_;  // graphs whose state follows once the lock is let go
  std::map<int, GraphPtr> built_;   // graphs built off the lock for a move, by file index

  std::atomic<int64_t> total_{0};
  std::atomic<bool> playing_{false};
  std::atomic<double> rate_{1.0};
  std::atomic<VideoView> view_{};
  std::atomic<bool> overlayText_{false};
  std::atomic<bool> fastDeinterlace_{true};
  std::atomic<double> lastStepPosition_{0};
  std::atomic<VideoCoding> h264Mode_{VideoCoding::kMotionJpeg};
  std::atomic<int> warnings_{0};

  // The event thread's queue: bus news and calls to EngineEvents.
  std::mutex eventLock_;
  std::condition_variable eventWake_;
  std::deque<BusNews> news_;                 // guarded by eventLock_
  std::deque<std::function<void()>> calls_;  // guarded by eventLock_
  bool quit_ = false;                        // guarded by eventLock_
  // The preparer's queue: files to build, graphs to wait for.
  struct PrepareJob {
    int sequence;
    int index;
    std::string path;
  };
  std::mutex prepareLock_;
  std::condition_variable prepareWake_;
  std::deque<PrepareJob> jobs_;  // guarded by prepareLock_
  bool prepareQuit_ = false;     // guarded by prepareLock_
  std::thread eventThread_;
  std::thread preparer_;
  // Made last and stopped first: its thread calls into everything above.
  std::unique_ptr<TransportQueue> transport_;
};
