// The whole player window in quad view at its default size on a generated
// four-camera 720x480 30 fps recording, in one run on the same display:
//  - at 16x: pictures shown per second per pane (want >= 25), and the
//    process CPU time against mpv --speed=16 playing the same file as a quad
//    composed by its filter graph (hstack, vstack) in a window of the same
//    size (want ours <= 0.5 x mpv's);
//  - at 1x: the CPU time with pictures decoded at the size the panes show
//    them against the same with every frame decoded whole (want <= 0.6),
//    at the default size on this display and in a window of the template's
//    size (the default on a screen of 1024x768 or less), where the quad's
//    panes show the pictures below half their size.
// Prints a "speed ... ratio" and two "scaled ... ratio" lines.
// Needs a display; without one it runs itself again under xvfb-run at
// 1280x1024.
// usage: speed_bench [SECONDS]   (default 60)

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/pipeline/playback_engine.h"
#include "ui/core/commands.h"
#include "ui/core/video_layout.h"
#include "ui/player_window.h"
#include "window_bench_support.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double cpu = 0;        // process CPU seconds from the open to the end
  double wall = 0;       // seconds from the first picture at the rate to the end
  long long frames = 0;  // pictures handed to the panes meanwhile
  QSize size;
};

// The window plays `file` in quad view from its start to its end at
// `faster` steps above normal speed, at its default size or `size`.
Run PlayWindow(const std::string& file, int faster, bool reduced, QSize size = {}) {
  Run r;
  const double before = ProcessCpuSeconds();
  {
    EngineConfig config{"fakesink sync=true"};
    config.reducedDecoding = reduced;
    CQMXPlayerDlg window("QMX", config);
    if (!size.isEmpty()) window.resize(size);
    window.show();
    long long framesAtStart = 0;
    Clock::time_point start;
    QObject::connect(&window, &CQMXPlayerDlg::OpenFinished, &window, [&] {
      window.RunCommand(kCmdAllVideos);
      auto* step = window.findChild<QAction*>(QStringLiteral("speedFaster"));
      for (int i = 0; i < faster && step; ++i) step->trigger();
      framesAtStart = window.FramesShown();
      start = Clock::now();
    });
    window.OpenRecording(file);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&window] {
      if (!window.IsOpening() && (!window.Engine() || !window.Engine()->IsPlaying())) QApplication::quit();
    });
    poll.start(50);
    QApplication::exec();
    r.wall = std::chrono::duration<double>(Clock::now() - start).count();
    r.frames = window.FramesShown() - framesAtStart;
    r.size = window.size();
  }
  r.cpu = ProcessCpuSeconds() - before;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  if (const int status = RunUnderXvfbWithoutDisplay(argc, argv); status >= 0) return status;
  QApplication app(argc, argv);
  const BenchRecording recording("qmx_speed_bench", seconds);
  if (!recording.error().empty()) {
    std::fprintf(stderr, "%s\n", recording.error().c_str());
    return 1;
  }
  const std::string& file = recording.path();
  const Run fast = PlayWindow(file, 4, true);  // 1x, 2x, 4x, 8x, 16x
  const double mpv = MpvQuadCpuSeconds(file, fast.size, "--speed=16");
  const Run scaled = PlayWindow(file, 0, true);
  const Run whole = PlayWindow(file, 0, false);
  const CapturedLayout layout = CaptureLayout();
  const QSize small(layout.initialWidth, layout.initialHeight);
  const Run smallScaled = PlayWindow(file, 0, true, small);
  const Run smallWhole = PlayWindow(file, 0, false, small);
  if (mpv <= 0) {
    std::fprintf(stderr, "speed_bench: mpv: did not play the file\n");
    return 1;
  }
  std::printf(
      "speed 16x, %.0f s of four 720x480 cameras at 30 fps in quad view in a %dx%d window: %.1f pictures a "
      "second per pane (want >= 25); cpu mpv %.2f s, player %.2f s, ratio %.2f (want <= 0.5)\n",
      seconds, fast.size.width(), fast.size.height(), double(fast.frames) / 4 / fast.wall, mpv, fast.cpu,
      fast.cpu / mpv);
  std::printf(
      "scaled decoding at 1x in the same %dx%d window: cpu %.2f s against %.2f s decoding every frame whole, "
      "ratio %.2f (want <= 0.6)\n",
      scaled.size.width(), scaled.size.height(), scaled.cpu, whole.cpu, scaled.cpu / whole.cpu);
  std::printf(
      "scaled decoding at 1x in a %dx%d window: cpu %.2f s against %.2f s decoding every frame whole, "
      "ratio %.2f (want <= 0.6)\n",
      smallScaled.size.width(), smallScaled.size.height(), smallScaled.cpu, smallWhole.cpu,
      smallScaled.cpu / smallWhole.cpu);
  return 0;
}
