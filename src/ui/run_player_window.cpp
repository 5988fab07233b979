#include "ui/run_player_window.h"

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/brand.h"
#include "engine/pipeline/recording_graph.h"
#include "ui/player_window.h"

namespace {

// Saves the window's picture `seconds` after the recording opened, then closes.
void ScreenshotAfter(CQMXPlayerDlg& window, double seconds, const QString& out) {
  auto shoot = [&window, seconds, out] {
    QTimer::singleShot(int(seconds * 1000), &window, [&window, out] {
      if (!window.grab().save(out)) std::cerr << "qmxplayer: cannot write " << out.toStdString() << "\n";
      window.close();
    });
  };
  if (window.IsOpening())
    QObject::connect(&window, &CQMXPlayerDlg::OpenFinished, &window, shoot, Qt::SingleShotConnection);
  else
    shoot();
}

}  // namespace

const char* PlayerWindowUsage() {
  return "       qmxplayer [RECORDING.avi]             open the player window (on the recording,\n"
         "                                             its numbered sequence or its group)\n";
}

int RunPlayerWindow(int argc, char** argv, const CommandLine& line) {
  double shotSeconds = -1;
  QString shotPath;
  if (line.mode == "--screenshot-after") {
    if (line.modeArgs.size() < 2 || std::atof(line.modeArgs[0].c_str()) <= 0) {
      std::cerr << "usage: qmxplayer RECORDING.avi --screenshot-after SECONDS OUT.png\n";
      return 2;
    }
    shotSeconds = std::atof(line.modeArgs[0].c_str());
    shotPath = QString::fromStdString(line.modeArgs[1]);
  }
  SetExportFilterGraph(line.exportFilterGraph);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("qmxplayer"));
  QApplication::setDesktopFileName(QStringLiteral("qmxplayer"));
  CQMXPlayerDlg window(LoadBrandText(QCoreApplication::applicationDirPath().toStdString()));
  window.show();
  // The path is kept exactly as given: file names are case-sensitive here.
  if (line.recordingPath) window.OpenRecording(*line.recordingPath);
  if (shotSeconds > 0) ScreenshotAfter(window, shotSeconds, shotPath);
  return app.exec();
}
