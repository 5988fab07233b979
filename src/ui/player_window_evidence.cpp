// The window's evidence commands: a track export in the File menu, and an
// evidence package beside Extract Video Clip. Both run on the evidence
// worker; the window shows their one-line result.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "engine/pipeline/playback_engine.h"
#include "evidence/evidence_package.h"
#include "evidence/track_export.h"
#include "metadata/qt/glyph_font_rasterizer.h"
#include "report/package_derivatives.h"
#include "ui/core/commands.h"
#include "ui/evidence_package_dialog.h"
#include "ui/evidence_worker.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/save_file_chooser.h"

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
  // Right after Extract Video Clip, in its menu.
  QAction* clip = Action(kCmdExtractClip);
  for (QAction* popup : menuBar()->actions()) {
    QMenu* menu = popup->menu();
    if (!menu || !clip || !menu->actions().contains(clip)) continue;
    const QList<QAction*> items = menu->actions();
    const qsizetype at = items.indexOf(clip) + 1;
    QAction* package = new QAction(QStringLiteral("Export Evidence Package..."), menu);
    package->setObjectName(QStringLiteral("exportEvidence"));
    menu->insertAction(at < items.size() ? items[at] : nullptr, package);
    connect(package, &QAction::triggered, this, [this] { ExportEvidenceCommand(); });
    actionEvidencePackage_ = package;
  }
  UpdateEvidenceCommands();
}

void CQMXPlayerDlg::UpdateEvidenceCommands() {
  const bool open = playback_ != nullptr && !currentPath_.empty();
  if (actionEvidenceTrack_) actionEvidenceTrack_->setEnabled(open);
  if (actionEvidencePackage_) actionEvidencePackage_->setEnabled(open);
  if (actionReport_) actionReport_->setEnabled(open);
}

void CQMXPlayerDlg::ExportTrackCommand() {
  if (!playback_ || currentPath_.empty()) return;
  if (evidence_->Busy()) return ShowPlayerMessage(this, kBusyText);
  std::string filter;
  const std::optional<std::string> chosen =
      ChooseSaveFile(this, "GPX track (*.gpx);;KML track (*.kml);;GeoJSON track (*.geojson)", "", &filter);
  if (!chosen) return;
  std::string out = *chosen;
  const std::string extension = filter.find("kml") != std::string::npos       ? "kml"
                                : filter.find("geojson") != std::string::npos ? "geojson"
                                                                              : "gpx";
  evidence::TrackFormat format = evidence::TrackFormat::kGpx;
  evidence::ParseTrackFormat(extension, format);
  if (std::filesystem::path(out).extension().empty()) out += "." + extension;
  const std::string recording = currentPath_;
  evidence_->Start(
      this,
      [recording, format, out] {
        std::string message;
        evidence::ExportTrack(recording, format, out, message);
        return message;
      },
      [this](const std::string& message) { ShowPlayerMessage(this, message); });
}

void CQMXPlayerDlg::ExportEvidenceCommand() {
  if (!playback_ || currentPath_.empty()) return;
  if (evidence_->Busy()) return ShowPlayerMessage(this, kBusyText);
  EvidencePackageDialog dialog(playback_->GetPositionCentis(), playback_->GetTotal(), channelPresent_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  evidence::PackageRequest request;
  request.recording = currentPath_;
  request.fromCentis = dialog.FromCentis();
  request.toCentis = dialog.ToCentis();
  request.cameras = dialog.Cameras();
  request.folder = dialog.Folder();
  // The video's burned-in texts need the glyph fonts, made on this thread.
  if (dialog.WithVideo()) CreateProcessGlyphFonts();
  request.derivatives =
      report::PlayerPackageDerivatives(request, {dialog.WithVideo(), dialog.WithReport(), "", ""});
  EvidenceWorker* worker = evidence_.get();
  evidence_->Start(
      this,
      [request, worker] {
        std::string message;
        if (evidence::BuildPackage(request, worker->Cancelled(), {}, message) ==
            evidence::ExportStatus::kDone)
          message = "Evidence package written to " + request.folder;
        return message;
      },
      [this](const std::string& message) { ShowPlayerMessage(this, message); });
}
