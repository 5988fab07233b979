// The main window's map window and proxy settings: the map toggle, the proxy
// dialog that renews an open map window, and the timer's part (feeding the
// vehicle's position, dropping a map window the user closed).
#include <QPushButton>
#include <cstdlib>

#include "ui/core/window_controls.h"
#include "ui/mapping_dialog.h"
#include "ui/player_window.h"
#include "ui/proxy_settings_dialog.h"

CMappingDlg* CQMXPlayerDlg::MapDialog() const {
  return mapDialog_.data();
}

void CQMXPlayerDlg::DropMapWindow() {
  // Deleting joins the fetch thread, which cancels its request first.
  delete mapDialog_.data();
  mapDialog_.clear();
}

void CQMXPlayerDlg::OpenMapWindow() {
  // A live session's map has no track and no cache file beside any recording.
  mapDialog_ = new CMappingDlg(liveSession_ ? std::string() : currentPath_, this);
  mapDialog_->show();
  SetButtonChecked(kMapButton, true);
}

void CQMXPlayerDlg::RenewMapWindow() {
  if (!mapDialog_) return;
  DropMapWindow();
  OpenMapWindow();
}

void CQMXPlayerDlg::ToggleMap() {
  // A hidden map window is replaced by a new, visible one.
  if (mapDialog_ && !mapDialog_->isVisible()) {
    DropMapWindow();
    SetButtonChecked(kMapButton, false);
  }
  if (mapDialog_) {
    DropMapWindow();
    SetButtonChecked(kMapButton, false);
  } else {
    OpenMapWindow();
  }
  UpdateMenuState();
}

void CQMXPlayerDlg::ShowProxySettings() {
  CProxySettings dialog(this);
  if (dialog.exec() != QDialog::Accepted || !mapDialog_) return;
  // The next map request uses the new settings.
  DropMapWindow();
  OpenMapWindow();
}

void CQMXPlayerDlg::TickMap() {
  if (mapDialog_ && !mapDialog_->isVisible()) {
    DropMapWindow();
    SetButtonChecked(kMapButton, false);
  }
  SetButtonChecked(kMapButton, !mapDialog_.isNull());
  if (!mapDialog_) return;
  const std::string latitude = banner_.Latitude(), longitude = banner_.Longitude();
  if (latitude.empty() || longitude.empty()) return;
  mapDialog_->SetPosition(std::atof(latitude.c_str()), std::atof(longitude.c_str()));
}
