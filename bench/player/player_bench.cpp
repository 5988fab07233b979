// Process CPU time (user + system) of the whole player window playing four
// 720x480 cameras at 30 fps in quad view at its default size, against mpv
// playing the same file as a quad composed by its filter graph (hstack and
// vstack) in a window of the same size, in the same run on the same display.
// Prints "player ... ratio" (want <= 0.9).
// Needs a display; without one it runs itself again under xvfb-run at
// 1280x1024.
// usage: player_bench [SECONDS]   (default 30)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"

namespace {

double Seconds(const rusage& u) {
  auto s = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return Seconds(u);
}

double WholePlayer(const std::string& file, long long& frames, QSize& size) {
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
    size = window.size();
  }
  return CpuSeconds() - before;
}

// mpv's own CPU time, as its parent sees it once it has ended; -1 when it
// could not run.
double Mpv(const std::string& file, const QSize& size) {
  const std::string geometry =
      "--geometry=" + std::to_string(size.width()) + "x" + std::to_string(size.height());
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("mpv", "mpv", "--no-config", "--really-quiet", "--vo=x11", "--hwdec=no", "--ao=null",
           "--lavfi-complex=[vid1][vid2]hstack[top];[vid3][vid4]hstack[bottom];[top][bottom]vstack[vo]",
           geometry.c_str(), file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return -1;
  int status = 0;
  rusage u{};
  if (wait4(pid, &status, 0, &u) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return Seconds(u);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  const char* display = std::getenv("DISPLAY");
  if ((!display || !*display) && !std::getenv("QMX_BENCH_UNDER_XVFB")) {
    setenv("QMX_BENCH_UNDER_XVFB", "1", 1);
    std::string command = "xvfb-run -a -s '-screen 0 1280x1024x24' '" + std::string(argv[0]) + "'";
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
  long long playerFrames = 0;
  QSize size;
  const double player = WholePlayer(file, playerFrames, size);
  const double mpv = Mpv(file, size);
  std::filesystem::remove_all(dir);
  if (mpv <= 0) {
    std::fprintf(stderr, "player_bench: mpv: did not play the file\n");
    return 1;
  }
  std::printf(
      "cpu time, %.0f s of four 720x480 cameras at 30 fps in quad view in a %dx%d window: mpv %.2f s, "
      "player %.2f s (%lld frames painted), ratio %.2f (want <= 0.9)\n",
      seconds, size.width(), size.height(), mpv, player, playerFrames, player / mpv);
  return 0;
}
