#include "ui/run_player_window.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "base/brand.h"
#include "engine/pipeline/recording_graph.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"

namespace {

constexpr int kExitOpenFailed = 2;  // as the modes' "no usable recording"
constexpr int kExitShotUnwritten = 3;

// What a person sees: the window, and the modal message over it when one is
// up (a window of its own, which grabbing the main window leaves out), kept
// inside the picture.
QPixmap SeenPicture(CQMXPlayerDlg& window) {
  QPixmap picture = window.grab();
  QWidget* box = QApplication::activeModalWidget();
  if (box == nullptr || box == &window || !box->isVisible()) return picture;
  const QPixmap boxPicture = box->grab();
  QPoint at = window.mapFromGlobal(box->mapToGlobal(QPoint(0, 0)));
  at.setX(std::clamp(at.x(), 0, std::max(0, window.width() - boxPicture.width())));
  at.setY(std::clamp(at.y(), 0, std::max(0, window.height() - boxPicture.height())));
  QPainter(&picture).drawPixmap(at, boxPicture);
  return picture;
}

// Saves the window's picture `seconds` after the recording opened (or
// failed to: the failure's box is in the picture and is left unanswered),
// then ends the run. A failed open ends it with kExitOpenFailed, a picture
// that can't be written with kExitShotUnwritten.
void ScreenshotAfter(CQMXPlayerDlg& window, double seconds, const QString& out) {
  struct Run {
    bool started = false;
    bool openFailed = false;
  };
  auto run = std::make_shared<Run>();
  auto shoot = [&window, seconds, out, run] {
    if (run->started) return;
    run->started = true;
    QTimer::singleShot(int(seconds * 1000), &window, [&window, out, run] {
      int status = run->openFailed ? kExitOpenFailed : 0;
      if (SeenPicture(window).save(out)) {
        std::cout << "qmxplayer: \"" << window.windowTitle().toStdString() << "\" saved as "
                  << out.toStdString() << "\n";
      } else {
        std::cerr << "qmxplayer: cannot write " << out.toStdString() << "\n";
        status = kExitShotUnwritten;
      }
      window.close();
      // Also ends the box's own event loop when one waits for a click.
      QCoreApplication::exit(status);
    });
  };
  if (!window.IsOpening()) return shoot();
  QObject::connect(&window, &CQMXPlayerDlg::OpenFailed, &window, [run, shoot] {
    run->openFailed = true;
    shoot();
  });
  QObject::connect(&window, &CQMXPlayerDlg::OpenFinished, &window, shoot, Qt::SingleShotConnection);
}

}  // namespace

const char* PlayerWindowUsage() {
  return "       qmxplayer [RECORDING.avi] [--quad] [--full-screen]\n"
         "                                        open the player window (on the recording, its\n"
         "                                        numbered sequence or its group; --quad shows\n"
         "                                        all four cameras, --full-screen only the\n"
         "                                        pictures and the banner)\n"
         "       qmxplayer RECORDING.avi --at POS [--quad] [--full-screen]\n"
         "                                        open the recording at POS on its timeline (as\n"
         "                                        --search prints it, or any position the modes\n"
         "                                        take: 1250, 12.5s, 0:00:12.50, @14:05:20 local,\n"
         "                                        @22:05:20Z UTC)\n"
         "       qmxplayer RECORDING.avi [--quad] --screenshot-after SECONDS OUT.png\n"
         "                                        play, save a picture of the window after\n"
         "                                        SECONDS, and close; a recording that does not\n"
         "                                        open is pictured with its message and exits 2,\n"
         "                                        a picture that can't be written exits 3\n"
         "In the window: F11 or a double-click full screen, Escape leaves it, a\n"
         "double-click on a quad camera shows it alone, Ctrl+H hides the interface,\n"
         "M mutes, Ctrl+Q quits; [ and ] slower and faster (1/8x to 16x), Backspace\n"
         "normal speed, . and , the next and previous recorded frame, Ctrl+G goes to\n"
         "a time (h:mm:ss.ff on the timeline, or HH:MM:SS[.fff] of the recording's\n"
         "local or UTC clock); B adds a bookmark with a note, Ctrl+B lists the\n"
         "bookmarks, Ctrl+Shift+Right / Ctrl+Shift+Left jump to the next / previous\n"
         "one; Video > Units (mph, km/h) and Video > Clock (the recording's local time,\n"
         "UTC, this computer's time zone, DVR Clock Correction...) are remembered;\n"
         "Help > About lists every shortcut.\n"
         "The wheel zooms a camera about the pointer (1x to 8x), a drag pans it,\n"
         "Ctrl+double-click or Z resets; Ctrl+Shift+S saves the zoomed area. Ctrl+J\n"
         "adjusts the picture; 1/2 contrast, 3/4 brightness, 5/6 gamma down/up, 0 none\n"
         "(the picture shown only; snapshots stay as recorded unless asked).\n";
}

void StartPlayerWindow(CQMXPlayerDlg& window, const PlayerWindowStart& start) {
  if (start.fullScreen) window.SetFullScreen(true);
  // The path is kept exactly as given: file names are case-sensitive here.
  if (start.recordingPath) window.OpenRecording(*start.recordingPath);
  if (start.quad) {
    auto toQuad = [&window] {
      if (window.Engine()) window.RunCommand(kCmdAllVideos);
    };
    QObject::connect(&window, &CQMXPlayerDlg::OpenFinished, &window, toQuad, Qt::SingleShotConnection);
  }
  if (start.atCentis) {
    auto toPosition = [&window, at = *start.atCentis] {
      if (window.Engine()) window.GoToCentis(at);
    };
    QObject::connect(&window, &CQMXPlayerDlg::OpenFinished, &window, toPosition, Qt::SingleShotConnection);
  }
  if (start.screenshotSeconds > 0)
    ScreenshotAfter(window, start.screenshotSeconds, QString::fromLocal8Bit(start.screenshotPath.c_str()));
}

int RunPlayerWindow(int argc, char** argv, const PlayerWindowStart& start) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("qmxplayer"));
  QApplication::setDesktopFileName(QStringLiteral("qmxplayer"));
  EngineConfig engineConfig;
  engineConfig.exportGraph = start.exportFilterGraph;
  // An audio output other than the device (a gst-launch fragment), for
  // machines without one and for recording what the player plays.
  if (const char* sink = std::getenv("QMX_AUDIO_SINK")) engineConfig.audioSink = sink;
  CQMXPlayerDlg window(LoadBrandText(QCoreApplication::applicationDirPath().toStdString()), engineConfig);
  window.show();
  StartPlayerWindow(window, start);
  return app.exec();
}
