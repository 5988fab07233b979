// The main window's features, each a controller of its own, and how they are
// wired to the window: the timer's tick, the menu's updates, the bar's
// buttons.
#include <QMenuBar>
#include <QPushButton>

#include "ui/clip_extraction_controller.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/core/window_messages.h"
#include "ui/evidence_controller.h"
#include "ui/live_controller.h"
#include "ui/map_controller.h"
#include "ui/message_box.h"
#include "ui/player_window.h"

void CQMXPlayerDlg::MakeFeatureControllers() {
  // Connected in this order, so a failed live session is closed before the
  // others look at the window.
  live_ = std::make_unique<LiveController>();
  connect(this, &CQMXPlayerDlg::Ticked, live_.get(), &LiveController::Tick);
  connect(live_.get(), &LiveController::ConnectFailed, this,
          [this] { ShowPlayerMessage(this, kCantConnectMessage); });
  connect(live_.get(), &LiveController::Lost, this, &CQMXPlayerDlg::CloseRecording);

  clip_ = std::make_unique<ClipExtractionController>([this] { return playback_.get(); },
                                                     [this] { return dvrKind_ == DvrLayout::kFourChannel; });
  connect(clip_.get(), &ClipExtractionController::ShownChanged, this,
          [this](bool shown) { SetButtonChecked(kClipButton, shown); });
  connect(this, &CQMXPlayerDlg::Ticked, clip_.get(), &ClipExtractionController::Tick);

  map_ = std::make_unique<MapController>(
      *this,
      // A live session's map has no track and no cache file beside any recording.
      [this] { return Live() ? std::string() : currentPath_; },
      [this] {
        return std::pair{banner_.Latitude(), banner_.Longitude()};
      });
  connect(map_.get(), &MapController::OpenChanged, this,
          [this](bool open) { SetButtonChecked(kMapButton, open); });
  connect(this, &CQMXPlayerDlg::Ticked, map_.get(), &MapController::Tick);
}

void CQMXPlayerDlg::AddEvidenceCommands() {
  evidence_ = std::make_unique<EvidenceController>(*this, Action(kCmdExtractClip), [this] {
    return EvidenceController::Source{playback_.get(), currentPath_, ChannelsPresent()};
  });
  connect(this, &CQMXPlayerDlg::MenuStateUpdated, evidence_.get(), &EvidenceController::UpdateCommands);
}

CVideoClipExtractDlg* CQMXPlayerDlg::ClipDialog() const {
  return clip_->Dialog();
}

LiveSession* CQMXPlayerDlg::Live() const {
  return live_->Session();
}

CMappingDlg* CQMXPlayerDlg::MapDialog() const {
  return map_->Dialog();
}
