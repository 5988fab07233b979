// The receive thread of a LiveSession: connection cycles, the request, and
// what each received chunk does.

#include <vector>

#include "live/channel_graph.h"
#include "live/live_session.h"
#include "live/mulaw_output.h"
#include "live/stream_protocol.h"
#include "live/tcp_connection.h"
#include "metadata/overlay_filter.h"
#include "snapshot/jpeg_bgrx_decoder.h"

namespace {

constexpr auto kGraphWaitStep = std::chrono::milliseconds(5);

// The size a first frame stands for: its own when it decodes, with 640- and
// 720-wide fields counted as full 480-line frames; 320 × 240 when it does
// not decode. Measured in memory: no file is written.
void ProbeFrameSize(const uint8_t* frame, std::size_t length, int& width, int& height) {
  JpegBgrxDecoder decoder;
  int w = 0, h = 0;
  width = 320;
  height = 240;
  if (decoder.ReadSize(frame, length, w, h) != JpegBgrxDecoder::Result::kOk || w <= 0 || h <= 0) return;
  std::vector<uint8_t> pixels(std::size_t(w) * h * 4);
  if (decoder.Decode(frame, length, pixels.data(), pixels.size(), w, h, w * 4) !=
      JpegBgrxDecoder::Result::kOk)
    return;
  width = w;
  height = (w == 720 || w == 640) ? 480 : h;
}

}  // namespace

// Acts on the chunks the handler cuts, on the receive thread.
class LiveSession::Receiver : public ChunkSink {
 public:
  explicit Receiver(LiveSession& session) : s_(session) {}

  void OnChunk() override { s_.audio_.ApplyVolumes(); }

  void OnAudioChunk(int channel, const uint8_t* data, std::size_t length) override {
    s_.audio_.Play(data, length, channel, s_.currentView_);
  }

  void OnTextChunk(const uint8_t* data, std::size_t length) override {
    for (int c = 0; c < 4; ++c)
      if (auto g = s_.Graph(c)) g->Extractor().Transform(const_cast<uint8_t*>(data), length);
  }

  void OnVideoChunk(int c, const uint8_t* data, std::size_t length) override {
    auto graph = s_.Graph(c);
    if (graph) graph->Extractor().Transform(const_cast<uint8_t*>(data), length);
    if (length < 8) return;
    if (s_.frameCounter_[c] <= 0) {
      if (!s_.RequestGraph(c, data, length)) return;
      graph = s_.Graph(c);
      s_.frameCounter_[c] = 1;
    }
    if (graph) graph->Driver().DeliverFrame(data, int32_t(length));
    ++s_.frameCounter_[c];
  }

 private:
  LiveSession& s_;
};

bool LiveSession::Pause(std::chrono::milliseconds duration) {
  std::unique_lock<std::mutex> hold(wakeLock_);
  wake_.wait_for(hold, duration, [this] { return stop_.load(); });
  return !stop_;
}

bool LiveSession::RequestGraph(int c, const uint8_t* frame, std::size_t length) {
  int width = 0, height = 0;
  ProbeFrameSize(frame, length, width, height);
  probedWidth_ = width;
  probedHeight_ = height;
  graphRequest_[c] = true;
  std::unique_lock<std::mutex> hold(wakeLock_);
  while (graphRequest_[c] && !stop_) wake_.wait_for(hold, kGraphWaitStep);
  return !stop_;
}

void LiveSession::ReceiveThread() {
  std::array<std::unique_ptr<AudioOutput>, LiveAudio::kChannels> outputs;
  for (int c = 0; c < LiveAudio::kChannels; ++c) outputs[c] = MakeMulawOutput(c, config_.audioSink);
  audio_.SetOutputs(std::move(outputs));
  const std::optional<DvrAddress> address = ParseDvrAddress(config_.address);
  Receiver receiver(*this);
  int failedAttempts = 0;
  while (!stop_) {
    for (auto& counter : frameCounter_) counter = 0;
    {
      std::lock_guard<std::mutex> hold(statsLock_);
      attempts_.push_back(std::chrono::steady_clock::now());
    }
    UniqueFd fd;
    if (address) fd = tcp::Connect(*address, kConnectTimeout, kReceiveTimeout, kReceiveBufferBytes, stop_);
    if (stop_) break;
    if (!fd.Valid()) {
      if (++failedAttempts == kConnectAttempts) {
        connectionFailed_ = true;
        break;
      }
      if (!Pause(kAttemptPause)) break;
      continue;
    }
    ++connections_;
    uint32_t sentMask = channelMask_;
    StreamRequest request = MakeStreamRequest(sentMask);
    tcp::SendAll(fd.Get(), request.data(), request.size());
    ++requestsSent_;
    while (!stop_) {
      const long n =
          tcp::Receive(fd.Get(), handler_.ReceiveSpace(), handler_.ReceiveRoom(), kReceiveTimeout, stop_);
      if (n <= 0) break;
      handler_.Commit(std::size_t(n));
      handler_.Handle(receiver);
      const uint32_t mask = channelMask_;
      if (mask != sentMask) {
        request = MakeStreamRequest(mask);
        tcp::SendAll(fd.Get(), request.data(), request.size());
        ++requestsSent_;
        sentMask = mask;
      }
    }
    fd.Reset();
    if (!Pause(kReconnectPause)) break;
    failedAttempts = 0;
  }
  audio_.CloseOutputs();
  running_ = false;
}
