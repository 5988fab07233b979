#include "dvr_simulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>

#include "avi/avi_format.h"
#include "avi/avi_reader.h"
#include "camera_picture.h"
#include "expected_metadata.h"
#include "live/stream_protocol.h"
#include "live/unique_fd.h"
#include "metadata/metadata_sample.h"
#include "mulaw_tone.h"
#include "snapshot/jpeg_memory_encoder.h"

namespace dvrsim {
namespace {

using Clock = std::chrono::steady_clock;

// Frames read from a recording are capped, so a long recording costs at most
// this many frames of memory per camera.
constexpr std::size_t kMaxRecordingFrames = 600;
constexpr auto kRequestWait = std::chrono::seconds(2);
constexpr int kPollSliceMs = 20;

std::string Noise(std::size_t count, uint32_t seed) {
  // No '0' at all, so no chunk id can hide in it.
  std::mt19937 random(seed);
  std::string bytes(count, 'x');
  for (char& b : bytes) {
    b = char(random() & 0xFF);
    if (b == '0') b = 'n';
  }
  return bytes;
}

}  // namespace

bool ParseFault(const std::string& name, Fault& fault) {
  static const std::pair<const char*, Fault> kNames[] = {
      {"none", Fault::kNone},       {"refuse", Fault::kRefuse},      {"drop", Fault::kDrop},
      {"garbage", Fault::kGarbage}, {"oversize", Fault::kOversize},  {"bad-header", Fault::kBadHeader},
      {"stall", Fault::kStall},     {"bad-first", Fault::kBadFirst}, {"cut-first", Fault::kCutFirst},
  };
  for (const auto& [text, value] : kNames) {
    if (name == text) {
      fault = value;
      return true;
    }
  }
  return false;
}

struct DvrSimulator::Connection {
  UniqueFd fd;
  int number = 0;
  uint32_t mask = 0;
  int requests = 0;
  std::string incoming;  // request bytes not yet 12
  Clock::time_point accepted;
};

DvrSimulator::DvrSimulator(SimulatorOptions options) : options_(std::move(options)) {}

DvrSimulator::~DvrSimulator() {
  Stop();
}

std::string DvrSimulator::Address() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::vector<ReceivedRequest> DvrSimulator::Requests() const {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

bool DvrSimulator::GeneratePictures(std::string& error) {
  fps_ = options_.fps > 0 ? options_.fps : 25.0;
  recgen::RecordingOptions meta;
  meta.fps = fps_;
  const int w = std::max(options_.width, 16), h = std::max(options_.height, 16);
  std::vector<uint8_t> rgb(std::size_t(w) * h * 3);
  const int audioBytes = int(std::lround(recgen::kAudioRate / fps_));
  const int count = std::max(options_.generatedFrames, 1);
  for (int camera = 0; camera < 4; ++camera) {
    sizes_[camera] = {w, h};
    for (int k = 0; k < count; ++k) {
      if (!options_.framePayload.empty()) {
        frames_[camera].push_back(options_.framePayload);
      } else {
        recgen::PaintCameraPicture(rgb.data(), w * 3, 0, 0, w, h, camera + 1, k);
        JpegEncodeOptions enc;
        enc.minimumBytes = kFrameMinimumBytes + 1024;  // over the sync-point size
        JpegSegment record{0xE4, std::vector<uint8_t>(kMetadataSampleBytes)};
        PackMetadataSample(recgen::ExpectedMetadata(meta, camera + 1, k), record.payload.data());
        enc.headerSegments.push_back(std::move(record));
        std::vector<uint8_t> jpeg;
        if (!EncodeJpegToMemory(rgb.data(), w, h, w * 3, enc, jpeg, error)) return false;
        frames_[camera].push_back(std::move(jpeg));
      }
      audio_[camera].push_back(recgen::MuLawTone(camera + 1, int64_t(k) * audioBytes, audioBytes));
    }
  }
  for (int k = 0; k < count; ++k) {
    std::vector<uint8_t> sample(kMetadataSampleBytes);
    PackMetadataSample(recgen::ExpectedMetadata(meta, 0, k), sample.data());
    text_.push_back(std::move(sample));
  }
  return true;
}

bool DvrSimulator::LoadRecording(std::string& error) {
  avi::AviReader reader;
  if (!reader.Open(options_.recording)) {
    error = options_.recording + ": " + reader.Error();
    return false;
  }
  auto load = [&](int stream, std::vector<std::vector<uint8_t>>& out) {
    if (stream < 0) return;
    const std::size_t n = std::min(reader.ChunkCount(std::size_t(stream)), kMaxRecordingFrames);
    for (std::size_t k = 0; k < n; ++k) {
      std::vector<uint8_t> bytes;
      if (reader.ReadChunk(std::size_t(stream), k, bytes) && bytes.size() <= std::size_t(kMaxChunkPayload))
        out.push_back(std::move(bytes));
    }
  };
  fps_ = 25.0;
  for (int camera = 0; camera < 4; ++camera) {
    const int video = reader.NthStreamOfType(avi::kVids, camera);
    if (video >= 0) {
      const avi::AviStream& s = reader.Stream(std::size_t(video));
      if (camera == 0 && s.header.scale > 0 && s.header.rate > 0)
        fps_ = double(s.header.rate) / s.header.scale;
    }
    load(video, frames_[camera]);
    load(reader.NthStreamOfType(avi::kAuds, camera), audio_[camera]);
    sizes_[camera] = {0, 0};
    if (!frames_[camera].empty()) {
      // The picture size of the first frame, read from its SOF marker.
      const auto& f = frames_[camera].front();
      for (std::size_t i = 2; i + 9 < f.size(); ++i) {
        if (f[i] == 0xFF && (f[i + 1] == 0xC0 || f[i + 1] == 0xC1 || f[i + 1] == 0xC2)) {
          sizes_[camera] = {f[i + 7] << 8 | f[i + 8], f[i + 5] << 8 | f[i + 6]};
          break;
        }
      }
    }
  }
  load(reader.NthStreamOfType(avi::kTxts, 0), text_);
  if (frames_[0].empty() && frames_[1].empty() && frames_[2].empty() && frames_[3].empty()) {
    error = options_.recording + ": no video frames to serve";
    return false;
  }
  return true;
}

bool DvrSimulator::Start(std::string& error) {
  if (!(options_.recording.empty() ? GeneratePictures(error) : LoadRecording(error))) return false;
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int on = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(options_.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = "port " + std::to_string(options_.port) + ": " + std::strerror(errno);
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  // A refusing unit: the port is bound (so nobody else takes it) but never
  // listened on, and every connect to it is refused.
  if (options_.fault != Fault::kRefuse && ::listen(fd.Get(), 4) != 0) {
    error = std::string("listen: ") + std::strerror(errno);
    return false;
  }
  listen_ = std::move(fd);
  stop_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void DvrSimulator::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  listen_.Reset();
}

void DvrSimulator::Serve() {
  while (!stop_) {
    pollfd p{listen_.Get(), POLLIN, 0};
    if (options_.fault == Fault::kRefuse || ::poll(&p, 1, kPollSliceMs) <= 0) {
      if (options_.fault == Fault::kRefuse)
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
      continue;
    }
    Connection c;
    c.fd = UniqueFd(::accept4(listen_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!c.fd.Valid()) continue;
    c.number = ++connections_;
    c.accepted = Clock::now();
    ServeConnection(c);
  }
}

// Serves one client until it closes, a newer client knocks, a fault or a drop
// ends it, or the simulator stops. False when the connection went away.
bool DvrSimulator::ServeConnection(Connection& c) {
  auto newcomer = [this] {
    pollfd p{listen_.Get(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
  };
  // Reads whatever the client sent; each complete 12 bytes are a request.
  // False when the client closed or failed.
  auto readRequests = [&]() {
    char bytes[256];
    for (;;) {
      const ssize_t n = ::recv(c.fd.Get(), bytes, sizeof bytes, 0);
      if (n == 0) return false;
      if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
      c.incoming.append(bytes, std::size_t(n));
      while (c.incoming.size() >= kStreamRequestBytes) {
        ReceivedRequest r;
        r.connection = c.number;
        r.wellFormed = c.incoming.compare(0, 4, "STRM") == 0;
        for (int i = 0; i < 4; ++i) r.mask |= uint32_t(uint8_t(c.incoming[8 + i])) << (8 * i);
        c.incoming.erase(0, kStreamRequestBytes);
        ++c.requests;
        {
          std::lock_guard<std::mutex> hold(lock_);
          requests_.push_back(r);
        }
        if (r.wellFormed) c.mask = r.mask;
      }
    }
  };
  // Waits up to `until` for client bytes: false when the client is gone.
  auto waitUntil = [&](Clock::time_point until) {
    while (!stop_ && Clock::now() < until) {
      pollfd p{c.fd.Get(), POLLIN, 0};
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      if (::poll(&p, 1, int(std::clamp<long long>(left, 0, kPollSliceMs))) > 0 && !readRequests())
        return false;
    }
    return !stop_;
  };
  auto sendAll = [&](const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size() && !stop_) {
      const ssize_t n = ::send(c.fd.Get(), bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        at += std::size_t(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
      pollfd p[2] = {{c.fd.Get(), POLLOUT | POLLIN, 0}, {listen_.Get(), POLLIN, 0}};
      ::poll(p, 2, kPollSliceMs);
      if ((p[0].revents & POLLIN) && !readRequests()) return false;
      if (p[1].revents & POLLIN) return false;  // a newer client replaces this one
    }
    return !stop_;
  };

  const auto requestDeadline = Clock::now() + kRequestWait;
  while (c.requests == 0 && Clock::now() < requestDeadline) {
    if (!waitUntil(std::min(requestDeadline, Clock::now() + std::chrono::milliseconds(kPollSliceMs))))
      return false;
  }
  if (c.requests == 0) return false;
  if (options_.fault == Fault::kDrop) return false;
  if (options_.fault == Fault::kStall) {
    while (!stop_ && !newcomer() && waitUntil(Clock::now() + std::chrono::milliseconds(kPollSliceMs))) {
    }
    return false;
  }

  const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / fps_));
  auto next = Clock::now();
  long long frame = 0;
  if (options_.fault == Fault::kGarbage && !sendAll(Noise(kGarbageBytes, uint32_t(c.number)))) return false;
  while (!stop_) {
    if (options_.dropEvery.count() > 0 && Clock::now() - c.accepted >= options_.dropEvery) return false;
    if (newcomer()) return false;
    std::string tick;
    for (int camera = 0; camera < 4; ++camera) {
      if (!(c.mask & (1u << camera))) continue;
      const auto& frames = frames_[camera];
      if (!frames.empty()) {
        const auto& f = frames[std::size_t(frame % (long long)frames.size())];
        std::string chunk = MakeChunk(2 * camera, "dc", f.data(), f.size());
        if (frame == 0 && options_.fault == Fault::kBadFirst) {
          const std::string noise = Noise(f.size(), uint32_t(camera + 1));
          chunk = MakeChunk(2 * camera, "dc", reinterpret_cast<const uint8_t*>(noise.data()), noise.size());
        } else if (frame == 0 && options_.fault == Fault::kCutFirst) {
          chunk = MakeChunk(2 * camera, "dc", f.data(), f.size() / 2);
        }
        // Each camera's frame goes out on its own, so its sending time is
        // its own.
        if (!sendAll(tick + chunk)) return false;
        tick.clear();
        ++framesSent_[camera];
        if (options_.onFrameSent) options_.onFrameSent(camera, frame);
      }
      const auto& audio = audio_[camera];
      if (options_.audio && !audio.empty()) {
        const auto& a = audio[std::size_t(frame % (long long)audio.size())];
        tick += MakeChunk(2 * camera + 1, "wb", a.data(), a.size());
      }
    }
    if (options_.text && !text_.empty()) {
      const auto& t = text_[std::size_t(frame % (long long)text_.size())];
      tick += MakeChunk(0, "tx", t.data(), t.size());
    }
    if (frame == options_.faultAfterFrames) {
      if (options_.fault == Fault::kOversize) {
        const uint8_t none = 0;
        tick += MakeChunk(0, "dc", &none, 0).replace(4, 4, std::string("\x40\x0d\x03\x00", 4));  // 200,000
      } else if (options_.fault == Fault::kBadHeader) {
        const std::vector<uint8_t> payload(600, 0x11);
        tick += MakeChunk(0, "dc", payload.data(), payload.size()) + Noise(64, 7);
      }
    }
    if (!sendAll(tick)) return false;
    ++frame;
    next += period;
    if (!waitUntil(next)) return false;
  }
  return false;
}

}  // namespace dvrsim
