#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

class PlaybackEngine;
class QAction;
class QSlider;
class QWidget;
class TimelineStrip;

// The window's incident timeline: the strip under the position slider, its
// stored choices (shown, compact, the harsh-motion threshold), the jumps to
// the next or previous event, and its part of the window's tick (the cursor
// follows the playing position; a closed recording gives its rows back).
class TimelineController : public QObject {
  Q_OBJECT
 public:
  using EngineOf = std::function<PlaybackEngine*()>;
  // Whether the position slider is being dragged (the cursor then waits).
  using DraggingOf = std::function<bool()>;
  // The strip is a child of `canvas`; the threshold dialog opens over `window`.
  TimelineController(QWidget& window, QWidget& canvas, EngineOf engine, DraggingOf dragging);

  TimelineStrip* Strip() const { return strip_; }
  // The rows the strip takes under the slider: none without a recording,
  // when the user hid it, or while the window hides its bar.
  int Height(bool barHidden) const;
  // Gives the strip its rows under `slider`, which moves up over them.
  void Place(QSlider& slider, bool barHidden);
  // Runs a timeline command (ui/core/timeline_commands.h); false for any
  // other id.
  bool Run(int id);
  // Scans the files of the engine's recording.
  void StartScan();
  void SetPosition(int64_t centis);
  // The items' checks and states; `action` finds an item by its id.
  void UpdateMenu(const std::function<QAction*(int)>& action) const;
  // One tick of the window's timer.
  void Tick();

 signals:
  void SeekRequested(int64_t centis);
  // The wheel turned over the strip: +1 a step later, -1 earlier.
  void StepRequested(int direction);
  // The strip's rows changed: the window lays itself out again.
  void LayoutChanged();
  // What the menu shows changed.
  void MenuChanged();

 private:
  void AskThreshold();

  QWidget& window_;
  EngineOf engine_;
  DraggingOf dragging_;
  TimelineStrip* strip_ = nullptr;
  bool wanted_ = true;  // the strip is shown (stored as ShowTimeline)
};
