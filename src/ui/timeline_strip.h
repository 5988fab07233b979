#pragma once

#include <QWidget>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/metadata_scan.h"
#include "engine/trip_events.h"
#include "ui/core/timeline_geometry.h"

class QPainter;
class QSlider;

// The incident timeline under the position slider: speed, the three
// accelerations and the eleven trigger lanes of the whole recording or
// sequence, the events, and a cursor at the current position. Hovering
// shows the values at that time; a click asks for a seek there.
//
// The strip scans the recording's metadata itself on a thread of its own
// (through the per-file scan cache) and shows the progress meanwhile; the
// result comes back to the window thread by a queued call. A new scan or
// the strip's end cancels the one running; their threads are joined.
//
// Threads: everything here runs on the window thread.
class TimelineStrip : public QWidget {
  Q_OBJECT
 public:
  explicit TimelineStrip(QWidget* parent = nullptr);
  ~TimelineStrip() override;

  // Scans the files of the open sequence, in order. `fileStarts` are the
  // engine's own starts of the files on the timeline (they replace the
  // header-based ones, so the graphs and the slider agree); `total` the
  // timeline's length.
  void StartScan(std::vector<std::string> paths, std::vector<int64_t> fileStarts, int64_t total);
  // Forgets the recording (and cancels its scan).
  void Clear();

  // The slider the time axis lines up with (a sibling of the strip).
  void AlignWith(const QSlider* slider);
  void SetPosition(int64_t centis);
  void SetHarshThreshold(int tenths);
  // The speed unit of the display changed (metadata/speed_unit.h).
  void UnitsChanged();
  // Collapsed to one line: only the events and the cursor.
  void SetCompact(bool compact);
  bool Compact() const { return compact_; }

  // The bookmarks' positions, drawn as ticks across the strip.
  void SetBookmarks(std::vector<int64_t> centis);
  const std::vector<int64_t>& Bookmarks() const { return bookmarks_; }

  bool Scanned() const { return scanned_; }
  const RecordingScan& Scan() const { return scan_; }
  const std::vector<TripEvent>& Events() const { return events_; }
  const TimeAxis& Axis() const { return axis_; }
  // The strip's own x of a time, and what hovering there shows.
  int XOfTime(int64_t centis) const { return XOfCentis(axis_, centis); }
  QString HoverText(int x) const;
  // What the strip says instead of graphs ("" while it shows them).
  QString Message() const;

 signals:
  void SeekRequested(qint64 centis);
  // The wheel turned over the strip: +1 a step later, -1 earlier.
  void StepRequested(int direction);
  // The scan is over (finished, failed or empty) and the strip shows it.
  void ScanFinished();
  // The context menu was asked for over the strip's time `centis` (the
  // cursor's time before the scan has laid out the axis).
  void ContextMenuRequested(qint64 centis, QPoint globalPos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct Job {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> cancel;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void Deliver(int generation, std::shared_ptr<RecordingScan> scan);
  void CancelJobs();
  void ReapJobs(bool wait);
  void Rebuild();
  void DrawBookmarks(QPainter& p) const;

  std::vector<Job> jobs_;
  int generation_ = 0;
  std::shared_ptr<std::atomic<int>> progressPercent_ = std::make_shared<std::atomic<int>>(0);

  bool scanning_ = false;
  bool scanned_ = false;
  RecordingScan scan_;
  std::vector<int64_t> fileStarts_;
  int64_t total_ = 0;
  int harshTenths_ = kDefaultHarshTenths;
  std::vector<TripEvent> events_;
  TripSeries series_;
  TriggerLanes lanes_;
  TimeAxis axis_;
  int64_t position_ = 0;
  std::vector<int64_t> bookmarks_;
  int hoverX_ = -1;
  bool compact_ = false;
  int wheelAngle_ = 0;  // eighths of a degree not yet stepped
};
