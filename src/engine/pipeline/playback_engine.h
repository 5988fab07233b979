#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/pipeline/audio_routing.h"
#include "engine/pipeline/engine_events.h"
#include "engine/pipeline/frame_consumer.h"
#include "engine/pipeline/graph_slots.h"
#include "engine/pipeline/recording_graph.h"
#include "engine/pipeline/sequence_file.h"
#include "engine/pipeline/video_arrangement.h"
#include "engine/recording_properties.h"

class CMetadataInterface;

// Plays a recording, or a run of recording files as one timeline.
//
// Units: positions and lengths in hundredths of a second ("centis"),
// slider positions in thousandths of the total (per-mille, double), volumes
// in percent at the interface.
//
// Threads: every operation is meant for the window thread and is safe to
// call from any thread; the transport, routing and snapshot operations are
// serialised by one re-entrant lock. Frames reach the FrameConsumer and
// metadata texts the listener on streaming threads. A file that ends is
// followed by the next one at once, by the engine's own advance thread, with
// the next file's graph prepared (prerolled) ahead, so no frame is skipped or
// repeated at the boundary. The last file's end stops playback.
class PlaybackEngine {
 public:
  // `consumer` receives the frames of the graph being shown; `listener` every
  // channel's decoded metadata (the main window's banner). Both may be null
  // and must outlive the engine. `events` (may be null, must outlive the
  // engine) hears of errors, file changes and the end of the recording.
  explicit PlaybackEngine(FrameConsumer* consumer = nullptr, CMetadataInterface* listener = nullptr,
                          EngineEvents* events = nullptr);
  ~PlaybackEngine();
  PlaybackEngine(const PlaybackEngine&) = delete;
  PlaybackEngine& operator=(const PlaybackEngine&) = delete;

  // Builds the first seven files' graphs, measures the others, and starts
  // playing the first file. Returns a GraphResult code (0 playing); on
  // failure what was built stays until CloseSequence. An empty list gives 3
  // (message: GraphResultMessage(3, false, true)).
  int OpenSequence(const std::vector<std::string>& paths);
  void CloseSequence();

  void Play();
  void Pause();
  // Back to the first file's start, paused.
  void Stop();
  // To `centis` when it lies within the total, else to perMille/1000 of the
  // total. Returns when the frame at that time has reached the consumer.
  void Seek(double perMille, int64_t centis);
  // 15 hundredths back (direction <= 0) or forward; the frame is shown.
  void StepFrame(int direction, bool show);

  double GetPosition();  // per-mille of the total
  int64_t GetPositionCentis();
  int64_t GetTotal() const { return total_.load(); }
  bool IsPlaying() const { return playing_.load(); }
  double LastStepPosition() const { return lastStepPosition_.load(); }

  // View 0..3 one channel, 4 quad.
  void SetView(int view);
  int View() const { return view_.load(); }
  void SetAudioRoute(int view, int channel, bool on);
  bool GetAudioRoute(int view, int channel);
  void SetAudioVolume(int channel, int percent);
  int GetAudioVolume(int channel);
  void SetOverlayText(bool on);
  void SetDeinterlace(bool fast);
  // Applies the view's overlay line switches to the chosen graphs (0
  // previous, 1 current, 2 next, other values all three) and returns what
  // the panes show: per pane the channel and the source rows.
  VideoArrangement ArrangeVideo(bool quad, int which);
  // Size the window lays out for (first channel with video); 320x240 until
  // a graph with video has been arranged.
  void VideoSize(int& width, int& height, bool& known);

  // Writes channel 0..3's last frame as a JPEG; false without such a frame.
  bool TakeSnapshot(int channel, const std::string& path);

  // What the open recording holds (the current file's graph).
  std::array<bool, 4> ChannelPresent();
  std::array<bool, 4> AudioPresent();
  int DvrKind();
  int H264Mode();
  RecordingProperties Properties();
  std::vector<SequenceFile> Files();
  int CurrentFileIndex();

 private:
  using Slots = GraphSlots<RecordingGraph>;

  std::unique_ptr<RecordingGraph> MakeGraph(int index, int& result);
  void PlaceGraph(RecordingGraph& g, int index, int slot);
  void SwitchFile(int index);
  void AdvanceIfEnded();
  void AdvanceLoop();
  void ApplyRouting();
  void ApplyOverlaySwitches(RecordingGraph& g);
  template <class F>
  void ForEachSlotGraph(int which, F&& f);

  FrameConsumer* consumer_;
  CMetadataInterface* listener_;
  EngineEvents* events_;

  std::recursive_mutex lock_;  // the engine lock
  std::unique_ptr<Slots> slots_;
  std::vector<SequenceFile> files_;
  RecordingProperties props_;
  RoutingMatrix routes_ = DefaultRoutes();
  std::array<int, 4> volume_{};  // hundredths of a dB, -4000..0
  std::atomic<int64_t> total_{0};
  std::atomic<bool> playing_{false};
  std::atomic<int> view_{0};
  std::atomic<bool> overlayText_{false};
  std::atomic<bool> fastDeinterlace_{true};
  std::atomic<double> lastStepPosition_{0};
  int videoWidth_ = 320, videoHeight_ = 240;
  bool videoSizeKnown_ = false;

  // The advance thread sleeps until a graph reports its end.
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool ended_ = false;  // guarded by wakeLock_
  bool quit_ = false;   // guarded by wakeLock_
  std::thread advancer_;
};
