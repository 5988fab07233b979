// The main window's side of the incident timeline: its menu items, seeking
// for it and the wheel, and its place in the layout.
#include <QAction>
#include <QMenu>
#include <QSlider>

#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/timeline.h"
#include "ui/core/status_text.h"
#include "ui/core/timeline_commands.h"
#include "ui/player_window.h"
#include "ui/timeline_controller.h"
#include "ui/timeline_strip.h"

void CQMXPlayerDlg::BuildTimeline() {
  timeline_ = std::make_unique<TimelineController>(
      *this, *canvas_, [this] { return playback_.get(); }, [this] { return drag_.held; });
  connect(timeline_.get(), &TimelineController::SeekRequested, this, &CQMXPlayerDlg::SeekToCentis);
  connect(timeline_.get(), &TimelineController::StepRequested, this, &CQMXPlayerDlg::WheelStep);
  connect(timeline_.get(), &TimelineController::LayoutChanged, this, [this] {
    ApplySize(clientWidth_, clientHeight_);
    UpdateMenuState();
  });
  connect(timeline_.get(), &TimelineController::MenuChanged, this, &CQMXPlayerDlg::UpdateMenuState);
  connect(this, &CQMXPlayerDlg::Ticked, timeline_.get(), &TimelineController::Tick);

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

TimelineStrip* CQMXPlayerDlg::Timeline() const {
  return timeline_->Strip();
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
  return timeline_ ? timeline_->Height(extraHeight_ != 0 || fullScreen_) : 0;
}

void CQMXPlayerDlg::LayoutTimeline() {
  if (timeline_) timeline_->Place(*slider_, extraHeight_ != 0 || fullScreen_);
}

void CQMXPlayerDlg::UpdateTimelineMenu() {
  if (timeline_) timeline_->UpdateMenu([this](int id) { return Action(id); });
}

void CQMXPlayerDlg::WheelStep(int direction) {
  if (!playback_) return;
  // A notch moves as one scan step of the lowest speed does.
  const int64_t total = playback_->GetTotal();
  const int64_t target = std::clamp<int64_t>(playback_->GetPositionCentis() + direction * ScanStepCentis(1),
                                             0, std::max<int64_t>(0, total - 1));
  SeekToCentis(target);
}
