#include "ui/timeline_strip.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "engine/scan_cache.h"
#include "metadata/speed_unit.h"
#include "metadata/windows1252.h"
#include "ui/core/status_text.h"
#include "ui/core/timeline_commands.h"

namespace {

// Rows of the strip, top to bottom, in pixels.
constexpr int kSpeedRows = 16;
constexpr int kAccelRows = 22;
// Tall enough for a name in a legible font, descenders included.
constexpr int kLaneRows = 11;
// A lane's name never runs further into its lane than this: longer names are
// elided, and the bars under it still show through its patch.
constexpr int kLaneNameWidth = 96;
constexpr int kGap = 1;
static_assert(kSpeedRows + kAccelRows + kTriggerCount * kLaneRows + 2 * kGap == kTimelineStripHeight);
constexpr double kAccelRangeG = 2.0;  // the graph shows -2 g .. +2 g
// The speed graph's least top: a town's speeds.
constexpr double kMinSpeedScaleMph = 30, kMinSpeedScaleKmh = 50;

const QColor kBackground(16, 16, 20);
const QColor kGrid(60, 60, 70);
const QColor kSpeedColour(240, 200, 60);
const QColor kAxisColours[3] = {QColor(235, 90, 80), QColor(90, 200, 110), QColor(100, 150, 255)};
const QColor kLaneColour(230, 120, 40);
const QColor kEventColour(255, 255, 255);
const QColor kCursorColour(255, 255, 255);
const QColor kBookmarkColour(80, 220, 240);

// The status clock's format, so a time read here is found there.
QString TimeText(int64_t centis) {
  return QString::fromStdString(FormatClockText(centis));
}

// A lane's name and scale at its right end, over a dark patch so the graph
// under it does not hide it.
void DrawLaneLabel(QPainter& p, const QRect& lane, const QString& text) {
  QFont f = p.font();
  f.setPixelSize(10);
  p.setFont(f);
  const QFontMetrics m(f);
  const int w = m.horizontalAdvance(text) + 6;
  const QRect box(lane.right() - w, lane.top(), w, std::min(lane.height(), m.height()));
  p.fillRect(box, QColor(16, 16, 20, 200));
  p.setPen(QColor(200, 200, 210));
  p.drawText(box, Qt::AlignCenter, text);
}

QString FromDvrText(const std::string& s) {
  return QString::fromStdString(Utf8FromWindows1252(s));
}

// Draws one series as its per-column envelope joined column to column.
void DrawSeries(QPainter& p, const TimeAxis& axis, const std::vector<TimedValue>& values, double lo,
                double hi, int top, int bottom, const QColor& colour) {
  p.setPen(colour);
  const std::vector<Column> columns = ColumnEnvelope(axis, values);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    const int yLo = YOfValue(c.lo, lo, hi, top, bottom);
    const int yHi = YOfValue(c.hi, lo, hi, top, bottom);
    p.drawLine(c.x, yLo, c.x, yHi);
    if (i > 0 && columns[i - 1].x == c.x - 1) {
      const Column& b = columns[i - 1];
      p.drawLine(b.x, YOfValue((b.lo + b.hi) / 2, lo, hi, top, bottom), c.x, (yLo + yHi) / 2);
    }
  }
}

}  // namespace

TimelineStrip::TimelineStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("timelineStrip"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumHeight(kCompactTimelineHeight);
}

void TimelineStrip::SetCompact(bool compact) {
  if (compact == compact_) return;
  compact_ = compact;
  update();
}

TimelineStrip::~TimelineStrip() {
  CancelJobs();
  ReapJobs(true);
}

void TimelineStrip::CancelJobs() {
  for (Job& j : jobs_) j.cancel->store(true);
}

void TimelineStrip::ReapJobs(bool wait) {
  for (auto it = jobs_.begin(); it != jobs_.end();) {
    if (wait || it->done->load()) {
      it->thread.join();
      it = jobs_.erase(it);
    } else {
      ++it;
    }
  }
}

void TimelineStrip::StartScan(std::vector<std::string> paths, std::vector<int64_t> fileStarts,
                              int64_t total) {
  Clear();
  fileStarts_ = std::move(fileStarts);
  total_ = total;
  axis_.total = total;
  scanning_ = true;
  const int generation = ++generation_;
  progressPercent_->store(0);

  Job job;
  job.cancel = std::make_shared<std::atomic<bool>>(false);
  job.done = std::make_shared<std::atomic<bool>>(false);
  // The thread touches only what it owns or shares by pointer; it reaches
  // the strip through queued calls, which Qt drops once the strip is gone
  // (and the strip joins the thread before it goes).
  job.thread = std::thread([this, paths = std::move(paths), generation, cancel = job.cancel, done = job.done,
                            percent = progressPercent_] {
    auto scan = std::make_shared<RecordingScan>(ScanRecordingFilesCached(paths, cancel.get(), [&](double f) {
      const int now = int(f * 100);
      if (percent->exchange(now) != now)
        QMetaObject::invokeMethod(
            this, [this] { update(); }, Qt::QueuedConnection);
    }));
    if (!cancel->load())
      QMetaObject::invokeMethod(
          this, [this, generation, scan] { Deliver(generation, scan); }, Qt::QueuedConnection);
    done->store(true);
  });
  jobs_.push_back(std::move(job));
  update();
}

void TimelineStrip::Clear() {
  CancelJobs();
  ReapJobs(false);
  ++generation_;
  scanning_ = false;
  scanned_ = false;
  scan_ = {};
  events_.clear();
  series_ = {};
  lanes_ = {};
  position_ = 0;
  update();
}

void TimelineStrip::Deliver(int generation, std::shared_ptr<RecordingScan> scan) {
  ReapJobs(false);
  if (generation != generation_) return;
  scan_ = std::move(*scan);
  // The engine's file starts are the timeline the slider shows.
  for (std::size_t i = 0; i < scan_.files.size() && i < fileStarts_.size(); ++i)
    scan_.files[i].startCentis = fileStarts_[i];
  scanning_ = false;
  scanned_ = true;
  Rebuild();
  emit ScanFinished();
}

void TimelineStrip::Rebuild() {
  events_ = DetectTripEvents(scan_, harshTenths_);
  series_ = SeriesOf(scan_, DisplaySpeedUnit());
  lanes_ = TriggerSpans(scan_);
  update();
}

void TimelineStrip::UnitsChanged() {
  if (scanned_) Rebuild();
}

void TimelineStrip::SetHarshThreshold(int tenths) {
  if (tenths == harshTenths_) return;
  harshTenths_ = tenths;
  if (scanned_) Rebuild();
}

void TimelineStrip::AlignWith(const QSlider* slider) {
  QStyleOptionSlider opt;
  opt.initFrom(slider);
  opt.subControls = QStyle::SC_All;
  opt.orientation = slider->orientation();
  opt.minimum = slider->minimum();
  opt.maximum = slider->maximum();
  opt.sliderPosition = slider->minimum();
  opt.sliderValue = slider->minimum();
  opt.tickPosition = slider->tickPosition();
  opt.tickInterval = slider->tickInterval();
  opt.singleStep = slider->singleStep();
  opt.pageStep = slider->pageStep();
  const QRect groove =
      slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, slider);
  const QRect handle =
      slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
  // Both widgets sit in the same parent: slider coordinates shift by the offset between them.
  const int offset = slider->x() - x();
  axis_ = AxisOfSlider(groove.x() + offset, groove.width(), handle.width(), total_);
  update();
}

void TimelineStrip::SetPosition(int64_t centis) {
  if (centis == position_) return;
  const int before = XOfTime(position_);
  position_ = centis;
  const int after = XOfTime(position_);
  if (before != after) {
    update(before - 1, 0, 3, height());
    update(after - 1, 0, 3, height());
  }
}

QString TimelineStrip::Message() const {
  if (scanning_) return tr("Scanning the trip's metadata… %1%").arg(progressPercent_->load());
  if (!scanned_) return {};
  if (!scan_.files.empty() && scan_.files.front().textLines)
    return tr("Text-line recording: it holds no speed, acceleration or trigger values");
  if (series_.speed.empty()) {
    const std::string error = scan_.files.empty() ? std::string() : scan_.files.front().error;
    return error.empty() ? tr("No metadata in this recording")
                         : tr("No metadata could be read: %1").arg(QString::fromStdString(error));
  }
  return {};
}

QString TimelineStrip::HoverText(int x) const {
  if (!scanned_ || series_.speed.empty()) return {};
  const int64_t t = CentisAtX(axis_, x);
  const RecordRef ref = RecordAt(scan_, t);
  if (ref.file < 0) return TimeText(t);
  const MetadataSample& s = scan_.files[std::size_t(ref.file)].records[std::size_t(ref.record)].sample;
  QString triggers;
  for (int bit = 0; bit < kTriggerCount; ++bit) {
    if (!(s.triggerBits & (1u << bit))) continue;
    if (!triggers.isEmpty()) triggers += QStringLiteral(", ");
    triggers += bit < int(scan_.triggerNames.size()) ? FromDvrText(scan_.triggerNames[std::size_t(bit)])
                                                     : QString::number(bit);
  }
  return QStringLiteral("%1   %2 %3   X %4 g   Y %5 g   Z %6 g%7")
      .arg(TimeText(t))
      .arg(SpeedInUnit(s.speed, series_.unit))
      .arg(QString::fromUtf8(SpeedUnitName(series_.unit)))
      .arg(QString::asprintf("%+.1f", s.accelX / 10.0))
      .arg(QString::asprintf("%+.1f", s.accelY / 10.0))
      .arg(QString::asprintf("%+.1f", s.accelZ / 10.0))
      .arg(triggers.isEmpty() ? QString() : QStringLiteral("   ") + triggers);
}

void TimelineStrip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  // The lane names fit their lanes, descenders included: the last lane
  // borders the control bar and the first the acceleration graph.
  QFont small = font();
  for (int size = kLaneRows; size >= 5; --size) {
    small.setPixelSize(size);
    if (QFontMetrics(small).height() <= kLaneRows) break;
  }
  p.setFont(small);

  const QString message = Message();
  if (!message.isEmpty() || !scanned_) {
    p.setPen(Qt::lightGray);
    p.drawText(rect(), Qt::AlignCenter, message);
    return;
  }

  if (compact_) {
    // One line: the events as marks, triggers as a thin bar, the cursor.
    for (int bit = 0; bit < kTriggerCount; ++bit)
      for (const LaneSpan& span : lanes_[std::size_t(bit)]) {
        const PixelSpan px = SpanPixels(axis_, span);
        p.fillRect(px.x0, height() - 4, px.x1 - px.x0, 3, kLaneColour);
      }
    p.setPen(kEventColour);
    for (const TripEvent& e : events_) {
      const int x = XOfTime(e.centis);
      p.drawLine(x, 2, x, height() - 6);
    }
    DrawBookmarks(p);
    p.setPen(kCursorColour);
    const int cursor = XOfTime(position_);
    p.drawLine(cursor, 0, cursor, height());
    return;
  }

  const int speedTop = 0, speedBottom = kSpeedRows - 1;
  const int accelTop = kSpeedRows + kGap, accelBottom = accelTop + kAccelRows - 1;
  const int lanesTop = accelBottom + 1 + kGap;

  // Speed: from 0 to the trip's top speed (at least a town's speeds).
  double top = series_.unit == SpeedUnit::kKmh ? kMinSpeedScaleKmh : kMinSpeedScaleMph;
  for (const TimedValue& v : series_.speed) top = std::max(top, v.value);
  DrawSeries(p, axis_, series_.speed, 0, top, speedTop + 1, speedBottom, kSpeedColour);
  p.setPen(kGrid);
  p.drawLine(0, speedBottom + 1, width(), speedBottom + 1);
  DrawLaneLabel(
      p, QRect(0, speedTop, width(), kSpeedRows),
      tr("speed 0-%1 %2").arg(int(std::ceil(top))).arg(QString::fromUtf8(SpeedUnitName(series_.unit))));

  // Accelerations around a zero line.
  p.drawLine(axis_.left, YOfValue(0, -kAccelRangeG, kAccelRangeG, accelTop, accelBottom), axis_.right,
             YOfValue(0, -kAccelRangeG, kAccelRangeG, accelTop, accelBottom));
  for (int a = 2; a >= 0; --a)
    DrawSeries(p, axis_, series_.accelG[std::size_t(a)], -kAccelRangeG, kAccelRangeG, accelTop, accelBottom,
               kAxisColours[a]);
  p.setPen(kGrid);
  p.drawLine(0, accelBottom + 1, width(), accelBottom + 1);
  p.setPen(kGrid);
  for (double g : {-1.0, 1.0}) {
    const int y = YOfValue(g, -kAccelRangeG, kAccelRangeG, accelTop, accelBottom);
    for (int x = axis_.left; x < axis_.right; x += 4) p.drawPoint(x, y);
  }
  DrawLaneLabel(p, QRect(0, accelTop, width(), kAccelRows),
                tr("accel X Y Z \u00b1%1 g").arg(kAccelRangeG, 0, 'f', 0));

  // Trigger lanes: each active span a bar, the name over it.
  for (int bit = 0; bit < kTriggerCount; ++bit) {
    const int y = lanesTop + bit * kLaneRows;
    if (bit % 2) p.fillRect(0, y, width(), kLaneRows, QColor(24, 24, 30));
    for (const LaneSpan& span : lanes_[std::size_t(bit)]) {
      const PixelSpan px = SpanPixels(axis_, span);
      p.fillRect(px.x0, y + 1, px.x1 - px.x0, kLaneRows - 1, kLaneColour);
    }
    const QString name =
        bit < int(scan_.triggerNames.size()) ? FromDvrText(scan_.triggerNames[std::size_t(bit)]) : QString();
    if (name.isEmpty()) continue;
    const QFontMetrics m(small);
    const QString shown = m.elidedText(name, Qt::ElideRight, std::min(kLaneNameWidth, width() - 6));
    const QRect label(0, y, m.horizontalAdvance(shown) + 6, kLaneRows);
    p.fillRect(label, QColor(16, 16, 20, 170));
    p.setPen(QColor(220, 220, 228));
    p.drawText(label.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, shown);
  }

  // Events: a tick over the speed graph.
  p.setPen(kEventColour);
  for (const TripEvent& e : events_) {
    const int x = XOfTime(e.centis);
    p.drawLine(x, 0, x, 3);
  }

  DrawBookmarks(p);
  p.setPen(kCursorColour);
  const int cursor = XOfTime(position_);
  p.drawLine(cursor, 0, cursor, height());
}

void TimelineStrip::SetBookmarks(std::vector<int64_t> centis) {
  bookmarks_ = std::move(centis);
  update();
}

void TimelineStrip::DrawBookmarks(QPainter& p) const {
  // A line through every lane and a flag at the top, apart from the white
  // event ticks.
  for (const int64_t b : bookmarks_) {
    const int x = XOfTime(b);
    p.setPen(kBookmarkColour);
    p.drawLine(x, 0, x, height());
    const QPoint flag[3] = {QPoint(x, 0), QPoint(x + 5, 3), QPoint(x, 6)};
    p.setBrush(kBookmarkColour);
    p.drawPolygon(flag, 3);
  }
  p.setBrush(Qt::NoBrush);
}

void TimelineStrip::contextMenuEvent(QContextMenuEvent* event) {
  const int64_t centis = scanned_ && total_ > 0 ? CentisAtX(axis_, event->pos().x()) : position_;
  emit ContextMenuRequested(centis, event->globalPos());
  event->accept();
}

void TimelineStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !scanned_ || total_ <= 0) return QWidget::mousePressEvent(event);
  emit SeekRequested(CentisAtX(axis_, int(event->position().x())));
}

void TimelineStrip::mouseMoveEvent(QMouseEvent* event) {
  hoverX_ = int(event->position().x());
  const QString text = HoverText(hoverX_);
  if (text.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(event->globalPosition().toPoint(), text, this);
  QWidget::mouseMoveEvent(event);
}

void TimelineStrip::wheelEvent(QWheelEvent* event) {
  // One step per notch (120 eighths of a degree); touchpads send less.
  wheelAngle_ += event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
  while (std::abs(wheelAngle_) >= 120) {
    const int direction = wheelAngle_ > 0 ? 1 : -1;  // away from the user: later, as a slider does
    wheelAngle_ -= direction * 120;
    emit StepRequested(direction);
  }
  event->accept();
}

void TimelineStrip::leaveEvent(QEvent* event) {
  hoverX_ = -1;
  QToolTip::hideText();
  QWidget::leaveEvent(event);
}
