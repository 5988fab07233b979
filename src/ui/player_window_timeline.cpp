// The main window's incident timeline: the strip under the position slider,
// its commands (show or hide it, jump to the next or previous event, the
// harsh-motion threshold) and its place in the layout.
#include <QAction>
#include <QInputDialog>
#include <QMenu>
#include <QSlider>

#include "base/settings.h"
#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/timeline.h"
#include "engine/trip_events.h"
#include "ui/core/status_text.h"
#include "ui/core/timeline_commands.h"
#include "ui/player_window.h"
#include "ui/timeline_strip.h"

namespace {

bool StoredTimelineWanted() {
  return QString::fromStdString(ReadSetting(kShowTimelineSetting))
             .compare(QStringLiteral("Off"), Qt::CaseInsensitive) != 0;
}

}  // namespace

void CQMXPlayerDlg::BuildTimeline() {
  timeline_ = new TimelineStrip(canvas_);
  timeline_->hide();
  // Read once: the layout asks on every resize and the menu on every update.
  timelineWanted_ = StoredTimelineWanted();
  timeline_->SetHarshThreshold(HarshTenthsFromText(ReadSetting(kHarshMotionSetting)));
  connect(timeline_, &TimelineStrip::SeekRequested, this, [this](qint64 centis) { SeekToCentis(centis); });
  connect(timeline_, &TimelineStrip::StepRequested, this, &CQMXPlayerDlg::WheelStep);
  timeline_->SetCompact(QString::fromStdString(ReadSetting(kCompactTimelineSetting))
                            .compare(QStringLiteral("On"), Qt::CaseInsensitive) == 0);

  // The items join the Video menu (the one that holds Video Size 1:1).
  QMenu* video = nullptr;
  if (QAction* anchor = Action(kCmdVideoSize1To1))
    for (QObject* o : anchor->associatedObjects())
      if (auto* m = qobject_cast<QMenu*>(o)) video = m;
  if (!video) return;
  for (const CommandInfo& c : TimelineCommands()) {
    AddCommandAction(video, c);
  }
  Action(kCmdShowTimeline)->setCheckable(true);
  Action(kCmdCompactTimeline)->setCheckable(true);
}

bool CQMXPlayerDlg::RunTimelineCommand(int id) {
  switch (id) {
    case kCmdShowTimeline:
      timelineWanted_ = !timelineWanted_;
      WriteSetting(kShowTimelineSetting, timelineWanted_ ? "On" : "Off");
      ApplySize(clientWidth_, clientHeight_);
      UpdateMenuState();
      return true;
    case kCmdCompactTimeline:
      timeline_->SetCompact(!timeline_->Compact());
      WriteSetting(kCompactTimelineSetting, timeline_->Compact() ? "On" : "Off");
      ApplySize(clientWidth_, clientHeight_);
      UpdateMenuState();
      return true;
    case kCmdNextEvent:
    case kCmdPreviousEvent: {
      if (!playback_ || !timeline_->Scanned()) return true;
      const int64_t position = playback_->GetPositionCentis();
      const std::optional<int64_t> target = id == kCmdNextEvent
                                                ? NextEventTarget(timeline_->Events(), position)
                                                : PreviousEventTarget(timeline_->Events(), position);
      if (target) SeekToCentis(*target);
      return true;
    }
    case kCmdEventThreshold: {
      bool ok = false;
      const int now = HarshTenthsFromText(ReadSetting(kHarshMotionSetting));
      const int tenths = QInputDialog::getInt(this, tr("Harsh Motion Threshold"),
                                              tr("An event when |X| or |Y| reaches (tenths of g):"), now,
                                              kMinHarshTenths, kMaxHarshTenths, 1, &ok);
      if (ok) {
        WriteSetting(kHarshMotionSetting, std::to_string(tenths));
        timeline_->SetHarshThreshold(tenths);
        UpdateMenuState();
      }
      return true;
    }
    default:
      return false;
  }
}

void CQMXPlayerDlg::SeekToCentis(int64_t centis) {
  if (!playback_) return;
  const int64_t total = playback_->GetTotal();
  const double perMille = PerMille(centis, total);
  playback_->Seek(perMille, centis);
  slider_->setValue(int(perMille));
  timeline_->SetPosition(centis);
}

int CQMXPlayerDlg::TimelineHeight() const {
  // Hide Interface (or a window below its first size) hides it with the bar.
  if (!playback_ || extraHeight_ != 0 || fullScreen_ || !timelineWanted_) return 0;
  return timeline_->Compact() ? kCompactTimelineHeight : kTimelineStripHeight;
}

void CQMXPlayerDlg::LayoutTimeline() {
  const int height = TimelineHeight();
  timeline_->setVisible(height > 0);
  if (height == 0) return;
  const QRect s = slider_->geometry();
  const TimelinePlacement place = PlaceTimeline({s.left(), s.top(), s.right() + 1, s.bottom() + 1}, height);
  slider_->setGeometry(place.slider.left, place.slider.top, place.slider.width(), place.slider.height());
  timeline_->setGeometry(place.strip.left, place.strip.top, place.strip.width(), place.strip.height());
  timeline_->AlignWith(slider_);
}

void CQMXPlayerDlg::StartTimelineScan() {
  // The engine's own list: a date-stamped group's continuation files too.
  std::vector<std::string> paths;
  std::vector<int64_t> starts;
  for (const SequenceFile& f : playback_->Files()) {
    paths.push_back(f.path);
    starts.push_back(f.start);
  }
  if (!paths.empty()) timeline_->StartScan(std::move(paths), std::move(starts), playback_->GetTotal());
  ApplySize(clientWidth_, clientHeight_);
}

void CQMXPlayerDlg::TickTimeline() {
  if (!playback_) {
    // Closed: the strip forgets the trip and gives its rows back to the video.
    if (timeline_->isVisible()) {
      timeline_->Clear();
      ApplySize(clientWidth_, clientHeight_);
    }
    return;
  }
  if (timeline_->isVisible() && !drag_.held) timeline_->SetPosition(playback_->GetPositionCentis());
}

void CQMXPlayerDlg::UpdateTimelineMenu() {
  if (QAction* a = Action(kCmdShowTimeline)) a->setChecked(timelineWanted_);
  if (QAction* a = Action(kCmdCompactTimeline)) {
    a->setChecked(timeline_->Compact());
    a->setEnabled(timelineWanted_);
  }
  const bool jumps = playback_ && timeline_->Scanned() && !timeline_->Events().empty();
  for (int id : {kCmdNextEvent, kCmdPreviousEvent})
    if (QAction* a = Action(id)) a->setEnabled(jumps);
}

void CQMXPlayerDlg::WheelStep(int direction) {
  if (!playback_) return;
  // A notch moves as one scan step of the lowest speed does.
  const int64_t total = playback_->GetTotal();
  const int64_t target = std::clamp<int64_t>(playback_->GetPositionCentis() + direction * ScanStepCentis(1),
                                             0, std::max<int64_t>(0, total - 1));
  SeekToCentis(target);
}
