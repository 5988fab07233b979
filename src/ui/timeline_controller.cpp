#include "ui/timeline_controller.h"

#include <QAction>
#include <QInputDialog>
#include <QSlider>

#include "base/settings.h"
#include "engine/pipeline/playback_engine.h"
#include "engine/trip_events.h"
#include "ui/core/commands.h"
#include "ui/core/timeline_commands.h"
#include "ui/timeline_strip.h"

namespace {

QString Stored(const char* setting) {
  return QString::fromStdString(ReadSetting(setting));
}

}  // namespace

TimelineController::TimelineController(QWidget& window, QWidget& canvas, EngineOf engine, DraggingOf dragging)
    : window_(window), engine_(std::move(engine)), dragging_(std::move(dragging)) {
  strip_ = new TimelineStrip(&canvas);
  strip_->hide();
  // Read once: the layout asks on every resize and the menu on every update.
  wanted_ = Stored(kShowTimelineSetting).compare(QStringLiteral("Off"), Qt::CaseInsensitive) != 0;
  strip_->SetHarshThreshold(HarshTenthsFromText(ReadSetting(kHarshMotionSetting)));
  strip_->SetCompact(Stored(kCompactTimelineSetting).compare(QStringLiteral("On"), Qt::CaseInsensitive) == 0);
  connect(strip_, &TimelineStrip::SeekRequested, this, [this](qint64 centis) { emit SeekRequested(centis); });
  connect(strip_, &TimelineStrip::StepRequested, this, &TimelineController::StepRequested);
}

int TimelineController::Height(bool barHidden) const {
  if (!engine_() || barHidden || !wanted_) return 0;
  return strip_->Compact() ? kCompactTimelineHeight : kTimelineStripHeight;
}

void TimelineController::Place(QSlider& slider, bool barHidden) {
  const int height = Height(barHidden);
  strip_->setVisible(height > 0);
  if (height == 0) return;
  const QRect s = slider.geometry();
  const TimelinePlacement place = PlaceTimeline({s.left(), s.top(), s.right() + 1, s.bottom() + 1}, height);
  slider.setGeometry(place.slider.left, place.slider.top, place.slider.width(), place.slider.height());
  strip_->setGeometry(place.strip.left, place.strip.top, place.strip.width(), place.strip.height());
  strip_->AlignWith(&slider);
}

bool TimelineController::Run(int id) {
  switch (id) {
    case kCmdShowTimeline:
      wanted_ = !wanted_;
      WriteSetting(kShowTimelineSetting, wanted_ ? "On" : "Off");
      emit LayoutChanged();
      return true;
    case kCmdCompactTimeline:
      strip_->SetCompact(!strip_->Compact());
      WriteSetting(kCompactTimelineSetting, strip_->Compact() ? "On" : "Off");
      emit LayoutChanged();
      return true;
    case kCmdNextEvent:
    case kCmdPreviousEvent: {
      PlaybackEngine* engine = engine_();
      if (!engine || !strip_->Scanned()) return true;
      const int64_t position = engine->GetPositionCentis();
      const std::optional<int64_t> target = id == kCmdNextEvent
                                                ? NextEventTarget(strip_->Events(), position)
                                                : PreviousEventTarget(strip_->Events(), position);
      if (target) emit SeekRequested(*target);
      return true;
    }
    case kCmdEventThreshold:
      AskThreshold();
      return true;
    default:
      return false;
  }
}

void TimelineController::AskThreshold() {
  bool ok = false;
  const int now = HarshTenthsFromText(ReadSetting(kHarshMotionSetting));
  const int tenths = QInputDialog::getInt(&window_, tr("Harsh Motion Threshold"),
                                          tr("An event when |X| or |Y| reaches (tenths of g):"), now,
                                          kMinHarshTenths, kMaxHarshTenths, 1, &ok);
  if (!ok) return;
  WriteSetting(kHarshMotionSetting, std::to_string(tenths));
  strip_->SetHarshThreshold(tenths);
  emit MenuChanged();
}

void TimelineController::StartScan() {
  PlaybackEngine* engine = engine_();
  if (!engine) return;
  // The engine's own list: a date-stamped group's continuation files too.
  std::vector<std::string> paths;
  std::vector<int64_t> starts;
  for (const SequenceFile& f : engine->Files()) {
    paths.push_back(f.path);
    starts.push_back(f.start);
  }
  if (!paths.empty()) strip_->StartScan(std::move(paths), std::move(starts), engine->GetTotal());
}

void TimelineController::SetPosition(int64_t centis) {
  strip_->SetPosition(centis);
}

void TimelineController::UpdateMenu(const std::function<QAction*(int)>& action) const {
  if (QAction* a = action(kCmdShowTimeline)) a->setChecked(wanted_);
  if (QAction* a = action(kCmdCompactTimeline)) {
    a->setChecked(strip_->Compact());
    a->setEnabled(wanted_);
  }
  const bool jumps = engine_() && strip_->Scanned() && !strip_->Events().empty();
  for (int id : {kCmdNextEvent, kCmdPreviousEvent})
    if (QAction* a = action(id)) a->setEnabled(jumps);
}

void TimelineController::Tick() {
  PlaybackEngine* engine = engine_();
  if (!engine) {
    // Closed: the strip forgets the trip and gives its rows back to the video.
    if (strip_->isVisible()) {
      strip_->Clear();
      emit LayoutChanged();
    }
    return;
  }
  if (strip_->isVisible() && !dragging_()) strip_->SetPosition(engine->GetPositionCentis());
}
