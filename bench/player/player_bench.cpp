// Process CPU time (user + system) of the whole player window playing four
// 720x480 channels at 30 fps in quad view, against the engine alone with a
// frame-counting consumer on the same file, in the same run. Painting may add
// at most 30 %: prints "player ... ratio" (want <= 1.3).
// Needs a display; without one it runs itself again under xvfb-run.
// usage: player_bench [SECONDS]   (default 30)
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

class CountingConsumer : public FrameConsumer {
 public:
  void OnVideoFrame(const VideoFrame&) override { ++frames; }
  std::atomic<long long> frames{0};
};

double EngineAlone(const std::string& file, long long& frames) {
  CountingConsumer consumer;
  const double before = CpuSeconds();
  {
    PlaybackEngine e(&consumer, nullptr, nullptr, EngineConfig{"fakesink sync=true"});
    e.SetView(4);
    if (e.OpenSequence({file}) != 0) return -1;
    e.ArrangeVideo(true, -1);
    // The window's timer asks for the position every 150 ms.
    while (e.IsPlaying()) {
      e.GetPosition();
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
  }
  frames = consumer.frames;
  return CpuSeconds() - before;
}

double WholePlayer(const std::string& file, long long& frames) {
  const double before = CpuSeconds();
  {
    CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
    window.show();
    QObject::connect(&window, &CQMXPlayerDlg::OpenFinished, &window,
                     [&window] { window.RunCommand(kCmdAllVideos); });
    window.OpenRecording(file);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&window] {
      if (!window.IsOpening() && (!window.Engine() || !window.Engine()->IsPlaying())) QApplication::quit();
    });
    poll.start(500);
    QApplication::exec();
    frames = window.FramesShown();
  }
  return CpuSeconds() - before;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  const char* display = std::getenv("DISPLAY");
  if ((!display || !*display) && !std::getenv("QMX_BENCH_UNDER_XVFB")) {
    setenv("QMX_BENCH_UNDER_XVFB", "1", 1);
    std::string command = "xvfb-run -a -s '-screen 0 1280x900x24' '" + std::string(argv[0]) + "'";
    if (argc > 1) command += std::string(" ") + argv[1];
    return std::system(command.c_str()) == 0 ? 0 : 1;
  }
  QApplication app(argc, argv);
  const auto dir = std::filesystem::temp_directory_path() / ("qmx_player_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  recgen::RecordingOptions o;  // four channels with sound, 720x480, 30 fps
  o.seconds = seconds;
  std::string error;
  const std::string file = (dir / "bench.avi").string();
  if (!recgen::WriteRecording(file, o, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  long long engineFrames = 0, playerFrames = 0;
  const double engine = EngineAlone(file, engineFrames);
  const double player = WholePlayer(file, playerFrames);
  std::printf(
      "cpu time, %.0f s of four 720x480 channels at 30 fps in quad view: engine alone %.2f s (%lld frames), "
      "player %.2f s (%lld frames painted), ratio %.2f (want <= 1.3)\n",
      seconds, engine, engineFrames, player, playerFrames, player / engine);
  std::filesystem::remove_all(dir);
  return 0;
}
