// Two measurements of live viewing:
//
// 1. Chunk-handler throughput on a recorded stream: a generated four-camera
//    720 × 480 recording, served the way a unit streams it (each frame's
//    video, audio and metadata chunks of the four cameras), cut into
//    8,000-byte receives and handled; the baseline copies the same receives
//    with memcpy. Prints "live chunk handler ratio R" (handler throughput /
//    memcpy throughput; target ≥ 0.5).
//
// 2. End-to-end latency in the player window: the DVR simulator on
//    127.0.0.1 sends four 720 × 480 cameras at 30 fps, at its own pace, each
//    picture carrying its frame number; the window shows them in quad. For
//    every picture painted the time from its last byte leaving the unit to
//    the end of its pane's paint. Prints "live latency ... median M ms, p95
//    P ms" over the run (target p95 < 50 ms) and the medians of its first
//    and last tenth (a lag that grows shows there).
//
// Needs a display; without one it runs itself again under xvfb-run.
//   bench_live [SECONDS]   (default 60; 600 for the ten-minute run)

#include <gst/gst.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dvr_simulator.h"
#include "frame_mark.h"
#include "gst/element_registry.h"
#include "live/chunk_handler.h"
#include "live/stream_protocol.h"
#include "recording_writer.h"
#include "ui/core/window_controls.h"
#include "ui/player_window.h"
#include "ui/video_pane.h"

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

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Distinct pictures per camera, looped: 5 s at 30 fps, far longer than any
// lag, so a frame number names one sending.
constexpr int kPictures = 150;

// When each camera's pictures last left the unit, by picture number.
struct SendTimes {
  std::array<std::array<std::atomic<int64_t>, kPictures>, 4> ns{};
};

// Times the end of each pane's paint and reads the frame number of the
// picture it painted; a picture painted again (a repaint) counts once.
class PaintWatch : public QObject {
 public:
  PaintWatch(const SendTimes& sent) : sent_(sent) {}

  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() != QEvent::Paint || inside_) return false;
    auto* pane = static_cast<VideoPane*>(object);
    // The pane paints first; the time is taken once its paint is done.
    inside_ = true;
    QCoreApplication::sendEvent(object, event);
    inside_ = false;
    const int64_t paintedNs = NowNs();
    const QImage& frame = pane->Frame();
    if (frame.isNull()) return true;
    const int64_t number =
        DecodeFrameNumber(frame.constBits(), frame.width(), frame.height(), int(frame.bytesPerLine()));
    const int c = pane->Index();
    if (number < 0 || number >= kPictures || c < 0 || c > 3 || number == last_[c]) return true;
    last_[c] = number;
    ++painted_[c];
    const int64_t sentNs = sent_.ns[c][std::size_t(number)].load();
    if (recording_ && sentNs > 0 && paintedNs >= sentNs) latencies_.push_back((paintedNs - sentNs) / 1e6);
    return true;
  }

  void Record(bool on) { recording_ = on; }
  bool AllPanesPainted() const {
    return std::all_of(painted_.begin(), painted_.end(), [](long long n) { return n > 0; });
  }
  const std::vector<double>& Latencies() const { return latencies_; }

 private:
  const SendTimes& sent_;
  bool inside_ = false;
  bool recording_ = false;
  std::array<int64_t, 4> last_{-1, -1, -1, -1};
  std::array<long long, 4> painted_{};
  std::vector<double> latencies_;  // milliseconds, in paint order
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

int WindowLatency(double seconds) {
  auto sent = std::make_unique<SendTimes>();
  dvrsim::SimulatorOptions options;
  options.width = 720;
  options.height = 480;
  options.fps = 30;
  options.generatedFrames = kPictures;
  options.onFrameSent = [&sent](int camera, long long frame) {
    sent->ns[std::size_t(camera)][std::size_t(frame % kPictures)] = NowNs();
  };
  dvrsim::DvrSimulator unit(options);
  std::string error;
  if (!unit.Start(error)) {
    std::fprintf(stderr, "bench_live: %s\n", error.c_str());
    return 1;
  }
  PaintWatch watch(*sent);
  long long sentBefore = 0;
  {
    CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=false"});
    window.show();
    for (int k = 0; k < 4; ++k) window.Pane(k)->installEventFilter(&watch);
    window.OpenStream(unit.Address());
    window.RunCommand(kQuadButton);
    // Measuring starts a second after all four panes first painted (the
    // graphs are built by then) and lasts `seconds`.
    const auto warmUpEnd = Clock::now() + std::chrono::seconds(20);
    QTimer tick;
    bool started = false;
    Clock::time_point end;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      if (!started && watch.AllPanesPainted()) {
        started = true;
        QTimer::singleShot(1000, [&] {
          watch.Record(true);
          sentBefore = unit.FramesSent(0);
          end = Clock::now() +
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        });
      }
      if ((!started && Clock::now() > warmUpEnd) || (end != Clock::time_point() && Clock::now() >= end))
        QApplication::quit();
    });
    tick.start(100);
    QApplication::exec();
    watch.Record(false);
  }
  const long long sentDuring = unit.FramesSent(0) - sentBefore;
  unit.Stop();
  const std::vector<double>& all = watch.Latencies();
  if (all.empty()) {
    std::printf("live latency: no picture reached a pane\n");
    return 1;
  }
  const std::size_t tenth = std::max<std::size_t>(all.size() / 10, 1);
  const std::vector<double> first(all.begin(), all.begin() + long(tenth));
  const std::vector<double> last(all.end() - long(tenth), all.end());
  std::printf(
      "live latency, socket to painted pane, quad of four 720x480 cameras at 30 fps, %.0f s: median %.1f ms, "
      "p95 %.1f ms, max %.1f ms (%zu pictures painted of %lld per camera sent; target p95 < 50 ms)\n",
      seconds, Percentile(all, 0.5), Percentile(all, 0.95), Percentile(all, 1.0), all.size(), sentDuring);
  std::printf(
      "live latency over the run: first tenth median %.1f ms p95 %.1f ms, last tenth median %.1f ms p95 %.1f "
      "ms\n",
      Percentile(first, 0.5), Percentile(first, 0.95), Percentile(last, 0.5), Percentile(last, 0.95));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  const char* display = std::getenv("DISPLAY");
  if ((!display || !*display) && !std::getenv("QMX_BENCH_UNDER_XVFB")) {
    setenv("QMX_BENCH_UNDER_XVFB", "1", 1);
    std::string command = "xvfb-run -a -s '-screen 0 1280x900x24' '" + std::string(argv[0]) + "'";
    if (argc > 1) command += std::string(" ") + argv[1];
    return std::system(command.c_str()) == 0 ? 0 : 1;
  }
  QApplication app(argc, argv);
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
  return WindowLatency(seconds > 0 ? seconds : 60.0);
}
