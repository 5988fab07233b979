#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/pipeline/frame_consumer.h"
#include "engine/video_view.h"
#include "live/chunk_handler.h"
#include "live/live_audio.h"

class ChannelGraph;
class CMetadataInterface;

// How a live session is set up by whoever makes it (the window, the
// headless camera check, a test).
struct LiveSessionConfig {
  std::string address;  // "HOST", "HOST:PORT" or "[IPv6]:PORT" (stream_protocol.h)
  // Each audio channel's output as a gst-launch fragment with "{channel}"
  // for 1..4 (tests capture, headless modes discard); "" plays on the
  // device.
  std::string audioSink;
  FrameConsumer* frames = nullptr;                 // the panes; may be null
  CMetadataInterface* metadataListener = nullptr;  // the window; may be null
};

// A live stream from one DVR unit: the connection and its receive thread,
// the four audio outputs, and one graph per camera channel, built when the
// channel's first frame on a connection has told its size.
//
// Connection rules: up to kConnectAttempts attempts kAttemptPause apart per
// cycle; when all fail the session reports the failure once through Poll and
// the thread ends. A connection lost or silent for kReceiveTimeout is closed
// and, after kReconnectPause, a new cycle starts, for as long as the session
// lives. Every new connection sends the request with the current channel
// mask; a mask changed by SetView or SetAudioRoute is sent after the next
// receive.
//
// Threads: every operation on the window thread (the owner); the receive
// thread is the session's own. Destruction stops it promptly (every wait of
// the thread ends on the stop request, a first frame waiting for its graph
// included) and joins it.
class LiveSession {
 public:
  static constexpr int kConnectAttempts = 4;
  static constexpr std::chrono::milliseconds kAttemptPause{500};
  static constexpr std::chrono::milliseconds kReconnectPause{2000};
  static constexpr std::chrono::milliseconds kReceiveTimeout{1000};
  // A connect that neither succeeds nor fails (a unit out of reach) counts as
  // a failed attempt after this long.
  static constexpr std::chrono::milliseconds kConnectTimeout{3000};
  static constexpr int kReceiveBufferBytes = 256000;
  static constexpr double kGraphFramesPerSecond = 30.0;

  explicit LiveSession(LiveSessionConfig config);
  ~LiveSession();
  LiveSession(const LiveSession&) = delete;
  LiveSession& operator=(const LiveSession&) = delete;

  // Every timer tick: builds the graphs the receive thread asks for. True
  // exactly once, when the connection has failed: the caller shows "Can't
  // connect to this device!" and destroys the session.
  bool Poll();
  // channel 1..4; ChannelGraph::Status.
  int BuildChannelGraph(int channel, int width, int height, double framesPerSecond);
  // 1 once any channel has a frame on the current connection; −1 after the
  // failure was reported; 0 otherwise.
  int GetConnectionState() const;
  bool FailureReported() const { return failureReported_; }

  void SetView(VideoView view);
  void SetAudioRoute(VideoView view, int channel, bool on);
  bool GetAudioRoute(VideoView view, int channel) const;
  void SetAudioVolume(int channel, int percent);
  void SetOverlayText(bool on);
  void SetDeinterlace(bool on);
  void ArrangeVideo(bool quad);

  uint32_t ChannelMask() const { return channelMask_; }
  VideoView CurrentView() const { return currentView_; }

  // What tests and benchmarks look at.
  std::vector<std::chrono::steady_clock::time_point> ConnectAttempts() const;
  int Connections() const { return connections_; }
  int RequestsSent() const { return requestsSent_; }
  bool ReceiveThreadRunning() const { return running_; }
  // Size and frames shown of channel 0..3's current graph; false without one.
  bool ChannelFormat(int channel, int& width, int& height) const;
  long long FramesShown(int channel) const;
  int GraphsBuilt(int channel) const { return graphsBuilt_[channel]; }
  // Overlay filter of channel 0..3's graph, null without one.
  class COverlayFilter* Overlay(int channel) const;

 private:
  class Receiver;
  void ReceiveThread();
  // Sleeps up to `duration`; false when the stop request came.
  bool Pause(std::chrono::milliseconds duration);
  // The first frame of `channel` on this connection: measures it, asks the
  // window thread for the channel's graph and waits for it. False on stop.
  bool RequestGraph(int channel, const uint8_t* frame, std::size_t length);
  std::shared_ptr<ChannelGraph> Graph(int channel) const;
  void ApplySwitches(ChannelGraph& graph, int channel) const;

  const LiveSessionConfig config_;
  LiveAudio audio_;
  ChunkHandler handler_;

  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> connectionFailed_{false};
  bool failureReported_ = false;
  std::atomic<uint32_t> channelMask_{1};
  std::atomic<VideoView> currentView_{};
  bool overlayText_ = false;
  bool deinterlace_ = false;
  bool quad_ = false;
  std::array<std::atomic<int>, 4> frameCounter_{};
  std::array<std::atomic<bool>, 4> graphRequest_{};
  std::atomic<int> probedWidth_{320};
  std::atomic<int> probedHeight_{240};

  mutable std::mutex graphsLock_;  // guards graphs_ (swapped, never called under it)
  std::array<std::shared_ptr<ChannelGraph>, 4> graphs_;
  std::array<std::atomic<int>, 4> graphsBuilt_{};

  std::mutex wakeLock_;  // pairs with wake_ for the thread's pauses
  std::condition_variable wake_;

  mutable std::mutex statsLock_;  // guards attempts_
  std::vector<std::chrono::steady_clock::time_point> attempts_;
  std::atomic<int> connections_{0};
  std::atomic<int> requestsSent_{0};

  std::thread thread_;
};
