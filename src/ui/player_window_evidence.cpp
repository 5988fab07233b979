// The window's evidence commands: a track export in the File menu. It runs
// on the evidence worker; the window shows its one-line result.
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "app/export_track_mode.h"
#include "engine/pipeline/playback_engine.h"
#include "ui/evidence_worker.h"
#include "ui/message_box.h"
#include "ui/player_window.h"

namespace {

constexpr const char* kBusyText = "An evidence export is still running.";

}  // namespace

void CQMXPlayerDlg::AddEvidenceCommands() {
  evidence_ = std::make_unique<EvidenceWorker>();
  // File menu: before its last entry (Exit), with the other file commands.
  if (!menuBar()->actions().isEmpty()) {
    if (QMenu* file = menuBar()->actions().first()->menu()) {
      QAction* track = new QAction(QStringLiteral("Export Track..."), file);
      track->setObjectName(QStringLiteral("exportTrack"));
      file->insertAction(file->actions().isEmpty() ? nullptr : file->actions().last(), track);
      connect(track, &QAction::triggered, this, [this] { ExportTrackCommand(); });
      actionEvidenceTrack_ = track;
    }
  }
  UpdateEvidenceCommands();
}

void CQMXPlayerDlg::UpdateEvidenceCommands() {
  const bool open = playback_ != nullptr && !currentPath_.empty();
  if (actionEvidenceTrack_) actionEvidenceTrack_->setEnabled(open);
  if (actionEvidencePackage_) actionEvidencePackage_->setEnabled(open);
}

void CQMXPlayerDlg::ExportTrackCommand() {
  if (!playback_ || currentPath_.empty()) return;
  if (evidence_->Busy()) return ShowPlayerMessage(this, kBusyText);
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({QStringLiteral("GPX track (*.gpx)"), QStringLiteral("KML track (*.kml)"),
                         QStringLiteral("GeoJSON track (*.geojson)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  std::string out = dialog.selectedFiles().first().toStdString();
  const QString filter = dialog.selectedNameFilter();
  const std::string format = filter.contains(QStringLiteral("kml"))       ? "kml"
                             : filter.contains(QStringLiteral("geojson")) ? "geojson"
                                                                          : "gpx";
  if (std::filesystem::path(out).extension().empty()) out += "." + format;
  const std::string recording = currentPath_;
  evidence_->Start(
      this,
      [recording, format, out] {
        std::string message;
        ExportTrack(recording, format, out, message);
        return message;
      },
      [this](const std::string& message) { ShowPlayerMessage(this, message); });
}
