#include "live/live_session.h"

#include "live/channel_graph.h"
#include "metadata/overlay_filter.h"

LiveSession::LiveSession(LiveSessionConfig config) : config_(std::move(config)) {
  running_ = true;
  thread_ = std::thread([this] { ReceiveThread(); });
}

LiveSession::~LiveSession() {
  {
    std::lock_guard<std::mutex> hold(wakeLock_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::array<std::shared_ptr<ChannelGraph>, 4> graphs;
  {
    std::lock_guard<std::mutex> hold(graphsLock_);
    graphs.swap(graphs_);
  }
}

bool LiveSession::Poll() {
  if (stop_) return false;
  if (connectionFailed_.exchange(false)) {
    failureReported_ = true;
    return true;
  }
  for (int c = 0; c < 4; ++c) {
    if (!graphRequest_[c]) continue;
    BuildChannelGraph(c + 1, probedWidth_, probedHeight_, kGraphFramesPerSecond);
    {
      std::lock_guard<std::mutex> hold(wakeLock_);
      graphRequest_[c] = false;
    }
    wake_.notify_all();
  }
  return false;
}

int LiveSession::BuildChannelGraph(int channel, int width, int height, double framesPerSecond) {
  const int c = channel - 1;
  if (c < 0 || c > 3) return ChannelGraph::kObjectsMissing;
  std::shared_ptr<ChannelGraph> old;
  {
    std::lock_guard<std::mutex> hold(graphsLock_);
    old.swap(graphs_[c]);
  }
  old.reset();
  int status = ChannelGraph::kDone;
  std::shared_ptr<ChannelGraph> graph = ChannelGraph::Build(c, width, height, framesPerSecond, config_.frames,
                                                            config_.metadataListener, status);
  if (!graph) return status;
  ApplySwitches(*graph, c);
  ++graphsBuilt_[c];
  std::lock_guard<std::mutex> hold(graphsLock_);
  graphs_[c] = std::move(graph);
  return status;
}

std::shared_ptr<ChannelGraph> LiveSession::Graph(int channel) const {
  std::lock_guard<std::mutex> hold(graphsLock_);
  return graphs_[channel];
}

void LiveSession::ApplySwitches(ChannelGraph& graph, int c) const {
  COverlayFilter* overlay = graph.Overlay();
  if (!overlay) return;
  overlay->SetOverlayOn(overlayText_);
  overlay->SetFastDeinterlace(deinterlace_);
  // Quad: the position block on channel 1's pane, the time block on
  // channel 3's, so the four panes do not repeat the same lines.
  overlay->SetGpsLinesOn(!quad_ || c == 0);
  overlay->SetTimeLinesOn(!quad_ || c == 2);
}

int LiveSession::GetConnectionState() const {
  for (const auto& counter : frameCounter_)
    if (counter > 0) return 1;
  return failureReported_ ? -1 : 0;
}

void LiveSession::SetView(VideoView view) {
  currentView_ = view;
  uint32_t mask = view.IsQuad() ? 15u : 1u << view.Camera();
  for (int k = 0; k < 4; ++k)
    if (audio_.Route(view, k)) mask |= 1u << k;
  channelMask_ = mask;
}

void LiveSession::SetAudioRoute(VideoView view, int channel, bool on) {
  audio_.SetRoute(view, channel, on);
  SetView(currentView_);
}

bool LiveSession::GetAudioRoute(VideoView view, int channel) const {
  return audio_.Route(view, channel);
}

void LiveSession::SetAudioVolume(int channel, int percent) {
  audio_.SetVolumePercent(channel, percent);
}

void LiveSession::SetOverlayText(bool on) {
  overlayText_ = on;
  for (int c = 0; c < 4; ++c)
    if (auto g = Graph(c)) ApplySwitches(*g, c);
}

void LiveSession::SetDeinterlace(bool on) {
  deinterlace_ = on;
  for (int c = 0; c < 4; ++c)
    if (auto g = Graph(c)) ApplySwitches(*g, c);
}

void LiveSession::ArrangeVideo(bool quad) {
  quad_ = quad;
  for (int c = 0; c < 4; ++c)
    if (auto g = Graph(c)) ApplySwitches(*g, c);
}

std::vector<std::chrono::steady_clock::time_point> LiveSession::ConnectAttempts() const {
  std::lock_guard<std::mutex> hold(statsLock_);
  return attempts_;
}

bool LiveSession::ChannelFormat(int channel, int& width, int& height) const {
  const auto g = Graph(channel);
  if (!g) return false;
  width = g->Pin().Width();
  height = g->Pin().Height();
  return true;
}

long long LiveSession::FramesShown(int channel) const {
  const auto g = Graph(channel);
  return g ? g->FramesShown() : 0;
}

COverlayFilter* LiveSession::Overlay(int channel) const {
  const auto g = Graph(channel);
  return g ? g->Overlay() : nullptr;
}
