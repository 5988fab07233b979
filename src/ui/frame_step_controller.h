#pragma once

#include <QObject>
#include <functional>
#include <string>

class PlaybackEngine;
class QMenu;
class QWidget;

// Next Frame (`.`) and Previous Frame (`,`): the camera the window follows
// moves by exactly one of its own frames, paused. After a step the status
// strip names that frame: its number in its file and its own time.
class FrameStepController : public QObject {
  Q_OBJECT
 public:
  using EngineOf = std::function<PlaybackEngine*()>;
  using ChannelOf = std::function<int()>;  // the camera followed, 0..3
  using Pause = std::function<void()>;     // the window's own pause
  FrameStepController(QWidget& window, QMenu* menu, EngineOf engine, ChannelOf channel, Pause pause);

  void Step(int direction);
  // "" unless paused after a step, else " - frame 14/30 at 0:00:00.43 (433 ms)".
  std::string StatusText() const;

 private:
  EngineOf engine_;
  ChannelOf channel_;
  Pause pause_;
  bool stepped_ = false;
};

// " - frame 14/30 at 0:00:00.43 (433 ms)" for frame 13 (from 0) of 30 at
// 433 333 333 ns.
std::string FrameStatusText(int64_t frame, int64_t count, int64_t timeNs);
