#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <string>

class PlaybackEngine;
class QAction;
class QMenu;
class QWidget;

// The playback speed commands of the main window: a Speed submenu with the
// eight rates, Slower (`[`), Faster (`]`) and Normal Speed (Backspace), all
// acting on the engine the window plays with. The rate lives in the engine;
// a newly opened recording starts at normal speed.
class SpeedController : public QObject {
  Q_OBJECT
 public:
  using EngineOf = std::function<PlaybackEngine*()>;
  // The shortcuts are `window`'s; the submenu goes at the end of `menu`
  // (none when null).
  SpeedController(QWidget& window, QMenu* menu, EngineOf engine);

  void Slower() { Step(-1); }
  void Faster() { Step(1); }
  void Normal();
  // The rate shown, 1 without a recording.
  double Rate() const;
  // What the status strip adds: "" at normal speed, else " - 4x".
  std::string StatusText() const;

 private:
  void Step(int direction);
  void SetRate(double rate);
  void ShowChecks();

  EngineOf engine_;
  std::array<QAction*, 8> rates_{};
};
