#pragma once

// A DVR unit on 127.0.0.1 for tests, benchmarks and demos: accepts one
// client at a time, reads its 12-byte channel request and streams the
// chunks of the requested channels (JPEG frame, μ-law audio block) plus one
// metadata sample per frame period, paced at the frame rate. A new request
// on the same connection changes the channels from the next frame on; a new
// connection replaces the old one.
//
// Pictures come from a recording (each camera's video, audio and metadata
// streams, looped) or are generated: the recording generator's camera
// picture with its metadata record at byte 24, at any size.
//
// Faults make it a bad unit on purpose (one per simulator):
//   refuse          nothing listens on the port: every connect is refused;
//   drop            closes each connection right after reading the request;
//   garbage         sends kGarbageBytes of noise before the first chunk;
//   oversize        after `faultAfterFrames` frames, a chunk header whose
//                   length reads 200,000, then the stream goes on;
//   bad-header      after `faultAfterFrames` frames, a chunk followed by
//                   noise instead of the next header, then the stream goes on;
//   stall           reads the request and then sends nothing;
//   bad-first       the first frame of each camera on each connection is
//                   noise, not a JPEG (the frames after it are good);
//   cut-first       that first frame is the JPEG cut short to half its
//                   length.
// `dropEvery` (any fault) closes every connection after that long.
//
// Threads: Start() and Stop() by the owner; one serving thread in between.
// The observation calls may come from any thread.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "live/unique_fd.h"

namespace dvrsim {

enum class Fault { kNone, kRefuse, kDrop, kGarbage, kOversize, kBadHeader, kStall, kBadFirst, kCutFirst };

inline constexpr std::size_t kGarbageBytes = 3000;

struct SimulatorOptions {
  uint16_t port = 0;      // 0: an ephemeral port (see Port())
  std::string recording;  // an AVI recording to serve; "" generates pictures
  int width = 360;        // generated picture size (one the overlay draws on)
  int height = 240;
  double fps = 25.0;        // generated pictures; a recording uses its own rate
  int generatedFrames = 8;  // distinct generated frames per camera, looped
  // Replaces every generated frame (a picture no decoder reads, for
  // example); empty keeps the pictures.
  std::vector<uint8_t> framePayload;
  Fault fault = Fault::kNone;
  int faultAfterFrames = 5;
  std::chrono::milliseconds dropEvery{0};
  bool audio = true;
  bool text = true;
  // Called on the serving thread as soon as the last byte of a camera's
  // frame was handed to the socket; `frame` counts the connection's frame
  // periods from 0 (the picture sent is Frames(camera)[frame % size]).
  std::function<void(int camera, long long frame)> onFrameSent;
};

// One request as the simulator received it.
struct ReceivedRequest {
  int connection = 0;  // 1 for the first connection accepted
  uint32_t mask = 0;
  bool wellFormed = false;  // started with "STRM"
};

// Fault by its command-line name ("refuse", "drop", ...); false if unknown.
bool ParseFault(const std::string& name, Fault& fault);

class DvrSimulator {
 public:
  explicit DvrSimulator(SimulatorOptions options);
  ~DvrSimulator();
  DvrSimulator(const DvrSimulator&) = delete;
  DvrSimulator& operator=(const DvrSimulator&) = delete;

  // Prepares the frames, binds 127.0.0.1 and starts serving. False with a
  // one-line `error` when the recording cannot be read or the port is taken.
  bool Start(std::string& error);
  void Stop();
  uint16_t Port() const { return port_; }
  // "127.0.0.1:PORT", what a player is given.
  std::string Address() const;

  std::vector<ReceivedRequest> Requests() const;
  int Connections() const { return connections_.load(); }
  // Video chunks sent of camera 0..3 on all connections.
  long long FramesSent(int camera) const { return framesSent_[camera].load(); }
  // The frames served for camera 0..3, in order (a test compares what
  // arrived with them).
  const std::vector<std::vector<uint8_t>>& Frames(int camera) const { return frames_[camera]; }
  int Width(int camera) const { return sizes_[camera].first; }
  int Height(int camera) const { return sizes_[camera].second; }
  double Fps() const { return fps_; }

 private:
  struct Connection;
  bool LoadRecording(std::string& error);
  bool GeneratePictures(std::string& error);
  void Serve();
  bool ServeConnection(Connection& c);

  const SimulatorOptions options_;
  double fps_ = 25.0;
  std::array<std::vector<std::vector<uint8_t>>, 4> frames_;
  std::array<std::vector<std::vector<uint8_t>>, 4> audio_;
  std::vector<std::vector<uint8_t>> text_;
  std::array<std::pair<int, int>, 4> sizes_{};

  UniqueFd listen_;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::array<std::atomic<long long>, 4> framesSent_{};
  mutable std::mutex lock_;  // guards requests_
  std::vector<ReceivedRequest> requests_;
};

}  // namespace dvrsim
