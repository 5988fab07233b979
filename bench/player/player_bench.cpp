// Process CPU time (user + system) of the whole player window playing four
// 720x480 cameras at 30 fps in quad view at its default size, against mpv
// playing the same file as a quad composed by its filter graph (hstack and
// vstack) in a window of the same size, in the same run on the same display.
// Prints "player ... ratio" (want <= 0.9).
// Needs a display; without one it runs itself again under xvfb-run at
// 1280x1024.
// usage: player_bench [SECONDS]   (default 30)

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/pipeline/playback_engine.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"
#include "window_bench_support.h"

namespace {

double WholePlayer(const std::string& file, long long& frames, QSize& size) {
  const double before = ProcessCpuSeconds();
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
  return ProcessCpuSeconds() - before;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  if (const int status = RunUnderXvfbWithoutDisplay(argc, argv); status >= 0) return status;
  QApplication app(argc, argv);
  const BenchRecording recording("qmx_player_bench", seconds);
  if (!recording.error().empty()) {
    std::fprintf(stderr, "%s\n", recording.error().c_str());
    return 1;
  }
  const std::string& file = recording.path();
  long long playerFrames = 0;
  QSize size;
  const double player = WholePlayer(file, playerFrames, size);
  const double mpv = MpvQuadCpuSeconds(file, size, "");
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
