// Two measurements of live viewing, each against a baseline of the same run:
//
// 1. Chunk-handler throughput on a recorded stream: a generated four-camera
//    720 × 480 recording, served the way a unit streams it (each frame's
//    video, audio and metadata chunks of the four cameras), cut into
//    8,000-byte receives and handled; the baseline copies the same receives
//    with memcpy. Prints "live chunk handler ratio R" (handler throughput /
//    memcpy throughput; target ≥ 0.5).
//
// 2. Latency: a live session connected to a unit on 127.0.0.1 that sends one
//    frame at a time, alternately red and blue, each followed at once by the
//    rest of the stream (another camera's chunk of 1,500 bytes); the time
//    from the frame's last byte leaving the unit to the pane consumer
//    getting a picture of the new colour. Prints "live frame latency median
//    M ms" (target < 50 ms) and the baseline: the same frame decoded alone.
//
//   bench_live

#include <arpa/inet.h>
#include <gst/gst.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dvr_simulator.h"
#include "gst/element_registry.h"
#include "live/chunk_handler.h"
#include "live/live_session.h"
#include "live/stream_protocol.h"
#include "live/unique_fd.h"
#include "recording_writer.h"
#include "snapshot/jpeg_bgrx_decoder.h"
#include "snapshot/jpeg_memory_encoder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// The stream a unit sends for every frame of `recording`, four cameras.
std::string RecordedStream(const std::filesystem::path& recording) {
  dvrsim::SimulatorOptions options;
  options.recording = recording.string();
  dvrsim::DvrSimulator unit(options);
  std::string error;
  if (!unit.Start(error)) {
    std::fprintf(stderr, "bench_live: %s\n", error.c_str());
    std::exit(1);
  }
  unit.Stop();
  std::string stream;
  const auto& frames0 = unit.Frames(0);
  for (std::size_t k = 0; k < frames0.size(); ++k) {
    for (int c = 0; c < 4; ++c) {
      const auto& f = unit.Frames(c)[k % unit.Frames(c).size()];
      stream += MakeChunk(2 * c, "dc", f.data(), f.size());
      const std::vector<uint8_t> audio(267, 0xFF);
      stream += MakeChunk(2 * c + 1, "wb", audio.data(), audio.size());
    }
    const std::vector<uint8_t> text(56, 0);
    stream += MakeChunk(0, "tx", text.data(), text.size());
  }
  return stream;
}

class CountingSink : public ChunkSink {
 public:
  void OnVideoChunk(int, const uint8_t* d, std::size_t n) override { Count(d, n); }
  void OnAudioChunk(int, const uint8_t* d, std::size_t n) override { Count(d, n); }
  void OnTextChunk(const uint8_t* d, std::size_t n) override { Count(d, n); }
  uint64_t bytes = 0;
  uint32_t check = 0;

 private:
  void Count(const uint8_t* d, std::size_t n) {
    bytes += n;
    if (n) check += d[0] + d[n - 1];
  }
};

void ChunkHandlerRatio(const std::string& stream) {
  constexpr int kRuns = 5;
  const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
  // The baseline receives into a buffer as large as the handler's, at
  // advancing offsets, as the handler itself does.
  std::vector<uint8_t> target(ChunkHandler::kDefaultCapacity);
  double best = 1e9, bestCopy = 1e9;
  uint64_t handled = 0;
  for (int run = 0; run < kRuns; ++run) {
    auto t0 = Clock::now();
    uint32_t sum = 0;
    for (std::size_t at = 0; at < stream.size(); at += ChunkHandler::kMaxReceive) {
      const std::size_t n = std::min(ChunkHandler::kMaxReceive, stream.size() - at);
      std::memcpy(target.data() + at % (target.size() - ChunkHandler::kMaxReceive), bytes + at, n);
      sum += target[at % (target.size() - ChunkHandler::kMaxReceive)];
    }
    bestCopy = std::min(bestCopy, Seconds(Clock::now() - t0));
    ChunkHandler handler;
    CountingSink sink;
    t0 = Clock::now();
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t n = std::min(handler.ReceiveRoom(), stream.size() - at);
      std::memcpy(handler.ReceiveSpace(), bytes + at, n);
      handler.Commit(n);
      handler.Handle(sink);
      at += n;
    }
    best = std::min(best, Seconds(Clock::now() - t0));
    handled = sink.bytes + sum * 0 + sink.check * 0;
  }
  const double mb = stream.size() / 1e6;
  std::printf("live chunk handler: %.1f MB in %llu bytes of payload handled\n", mb,
              (unsigned long long)handled);
  std::printf("live chunk handler %.0f MB/s, memcpy %.0f MB/s, ratio %.2f (target >= 0.5)\n", mb / best,
              mb / bestCopy, bestCopy / best);
}

std::vector<uint8_t> SolidJpeg(uint8_t r, uint8_t g, uint8_t b) {
  const int w = 360, h = 240;
  std::vector<uint8_t> rgb(std::size_t(w) * h * 3);
  for (std::size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = r;
    rgb[i + 1] = g;
    rgb[i + 2] = b;
  }
  JpegEncodeOptions options;
  options.minimumBytes = 6000;
  std::vector<uint8_t> jpeg;
  std::string error;
  EncodeJpegToMemory(rgb.data(), w, h, w * 3, options, jpeg, error);
  return jpeg;
}

// Records when the pane gets a picture of a new colour.
class ColourWatch : public FrameConsumer {
 public:
  void OnVideoFrame(const VideoFrame& f) override {
    const uint8_t* p = f.bgrx + std::size_t(f.height / 2) * f.strideBytes + std::size_t(f.width / 2) * 4;
    const int colour = p[2] > p[0] ? 1 : 2;  // red or blue
    if (colour != last_.load()) {
      seenAt_ = Clock::now().time_since_epoch().count();
      last_ = colour;
    }
  }
  int Colour() const { return last_; }
  Clock::time_point SeenAt() const { return Clock::time_point(Clock::duration(seenAt_.load())); }

 private:
  std::atomic<int> last_{0};
  std::atomic<Clock::rep> seenAt_{0};
};

bool SendAll(int fd, const std::string& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n <= 0) return false;
    at += std::size_t(n);
  }
  return true;
}

void Latency() {
  constexpr int kFrames = 60;
  const std::vector<uint8_t> frames[2] = {SolidJpeg(220, 20, 20), SolidJpeg(20, 20, 220)};
  // Baseline: decoding one such frame alone.
  JpegBgrxDecoder decoder;
  std::vector<uint8_t> pixels(360 * 240 * 4);
  const auto d0 = Clock::now();
  for (int k = 0; k < 100; ++k)
    decoder.Decode(frames[k % 2].data(), frames[k % 2].size(), pixels.data(), pixels.size(), 360, 240,
                   360 * 4);
  const double decodeMs = Seconds(Clock::now() - d0) * 1000 / 100;

  UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.Get(), 1) != 0 ||
      ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::fprintf(stderr, "bench_live: no loopback socket\n");
    std::exit(1);
  }
  ColourWatch watch;
  LiveSessionConfig config;
  config.address = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  config.audioSink = "fakesink";
  config.frames = &watch;
  LiveSession session(config);
  UniqueFd unit(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
  char request[kStreamRequestBytes];
  if (::recv(unit.Get(), request, sizeof request, MSG_WAITALL) != long(sizeof request)) {
    std::fprintf(stderr, "bench_live: no request\n");
    std::exit(1);
  }
  const std::vector<uint8_t> rest(1500, 0x7F);
  const std::string following = MakeChunk(3, "wb", rest.data(), rest.size());
  std::vector<double> latencies;
  for (int k = 0; k < kFrames + 2; ++k) {
    const int colour = k % 2 + 1;
    const auto& f = frames[k % 2];
    if (!SendAll(unit.Get(), MakeChunk(0, "dc", f.data(), f.size()) + following)) break;
    const auto sent = Clock::now();
    const auto limit = sent + std::chrono::seconds(3);
    while (watch.Colour() != colour && Clock::now() < limit) {
      session.Poll();  // the window thread's timer, which builds the first graph
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    // The first two frames include building the channel's graph.
    if (k >= 2 && watch.Colour() == colour) latencies.push_back(Seconds(watch.SeenAt() - sent) * 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(70));
  }
  if (latencies.empty()) {
    std::printf("live frame latency: no frame reached the pane\n");
    return;
  }
  std::sort(latencies.begin(), latencies.end());
  std::printf(
      "live frame latency median %.1f ms (min %.1f, max %.1f, %zu frames; target < 50 ms); "
      "decoding the frame alone %.2f ms\n",
      latencies[latencies.size() / 2], latencies.front(), latencies.back(), latencies.size(), decodeMs);
}

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  RegisterQmxElements();
  const auto folder = std::filesystem::temp_directory_path() / ("bench_live_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  recgen::RecordingOptions options;
  options.seconds = 20;
  std::string error;
  if (!recgen::WriteRecording(folder / "recorded.avi", options, error)) {
    std::fprintf(stderr, "bench_live: %s\n", error.c_str());
    return 1;
  }
  const std::string stream = RecordedStream(folder / "recorded.avi");
  std::filesystem::remove_all(folder);
  ChunkHandlerRatio(stream);
  Latency();
  return 0;
}
