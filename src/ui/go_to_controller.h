#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "ui/core/go_to_target.h"
#include "ui/go_to_dialog.h"

class PlaybackEngine;
class QMenu;
class QWidget;

// Go to Time... (Ctrl+G): asks for a time in a small dialog, without
// blocking the window, and seeks to it, or tells why it can't.
class GoToController : public QObject {
  Q_OBJECT
 public:
  using EngineOf = std::function<PlaybackEngine*()>;
  // The run's metadata scan, null until the window has it.
  using ScanOf = std::function<const RecordingScan*()>;
  using Seek = std::function<void(int64_t centis)>;
  // The item goes at the end of `menu` (none when null), the shortcut is
  // `window`'s.
  GoToController(QWidget& window, QMenu* menu, EngineOf engine, ScanOf scan, Seek seek);

  // Opens the dialog (nothing without a recording).
  void Ask();
  // What the dialog's OK does: true when it sought.
  bool GoTo(GoToClock clock, const std::string& text);
  GoToDialog* Dialog() const { return dialog_; }

 private:
  QWidget& window_;
  EngineOf engine_;
  ScanOf scan_;
  Seek seek_;
  QPointer<GoToDialog> dialog_;
  GoToClock lastClock_ = GoToClock::kTimeline;
};
