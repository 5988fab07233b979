#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "metadata/speed_unit.h"
#include "ui/core/clock_display.h"

class QAction;
class QMenu;
class QWidget;
class TimelineStrip;

// Video > Units (mph, km/h) and Video > Clock (the recording's local time,
// UTC, this computer's time zone; DVR Clock Correction...). The unit and the
// clock are settings; the correction belongs to the recording and is kept
// with its bookmarks (evidence/bookmarks.h), shown beside the recorded time
// and stated in the exports, never instead of it.
//
// Threads: the window thread only.
class UnitsClockController : public QObject {
  Q_OBJECT
 public:
  using FilesOf = std::function<std::vector<std::string>()>;  // the recording shown, empty when none
  using ApplyClock = std::function<void(ClockShown clock, int64_t correctionMillis)>;
  using Refresh = std::function<void()>;  // shows the current frame's texts again
  UnitsClockController(QWidget& window, QMenu* menu, TimelineStrip& timeline, FilesOf files, ApplyClock apply,
                       Refresh refresh);

  void SetUnit(SpeedUnit unit);
  void SetClock(ClockShown clock);
  // Keeps the correction for the recording shown; false (and a message)
  // when it can't be kept.
  bool SetCorrection(int64_t millis);
  // Asks for the correction ("+0:02:13", "-1:00:00"; empty or 0 for none).
  void EditCorrection();
  int64_t Correction() const { return correction_; }
  ClockShown Clock() const { return clock_; }
  // Reads the correction of the recording now shown.
  void Reload();

 private:
  void Apply();
  void ShowChecks();

  QWidget& window_;
  TimelineStrip& timeline_;
  FilesOf files_;
  ApplyClock apply_;
  Refresh refresh_;
  ClockShown clock_ = ClockShown::kRecording;
  int64_t correction_ = 0;
  std::array<QAction*, 2> units_{};
  std::array<QAction*, 3> clocks_{};
  QAction* correctionAction_ = nullptr;
};
