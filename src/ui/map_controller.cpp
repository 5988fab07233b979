#include "ui/map_controller.h"

#include <cstdlib>

#include "ui/mapping_dialog.h"
#include "ui/proxy_settings_dialog.h"

MapController::MapController(QWidget& window, RecordingOf recording, PositionOf position)
    : window_(window), recording_(std::move(recording)), position_(std::move(position)) {}

CMappingDlg* MapController::Dialog() const {
  return dialog_.data();
}

bool MapController::IsOpen() const {
  return !dialog_.isNull();
}

void MapController::Drop() {
  // Deleting joins the fetch thread, which cancels its request first.
  delete dialog_.data();
  dialog_.clear();
}

void MapController::Open() {
  dialog_ = new CMappingDlg(recording_(), &window_);
  dialog_->show();
  emit OpenChanged(true);
}

void MapController::Renew() {
  if (!dialog_) return;
  Drop();
  Open();
}

void MapController::Toggle() {
  // A hidden map window is replaced by a new, visible one.
  if (dialog_ && !dialog_->isVisible()) Drop();
  if (dialog_) {
    Drop();
    emit OpenChanged(false);
  } else {
    Open();
  }
}

void MapController::ShowProxySettings() {
  CProxySettings dialog(&window_);
  if (dialog.exec() != QDialog::Accepted || !dialog_) return;
  // The next map request uses the new settings.
  Renew();
}

void MapController::Tick() {
  if (dialog_ && !dialog_->isVisible()) Drop();
  emit OpenChanged(IsOpen());
  if (!dialog_) return;
  const auto [latitude, longitude] = position_();
  if (latitude.empty() || longitude.empty()) return;
  dialog_->SetPosition(std::atof(latitude.c_str()), std::atof(longitude.c_str()));
}
