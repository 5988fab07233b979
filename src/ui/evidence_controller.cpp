#include "ui/evidence_controller.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "engine/pipeline/playback_engine.h"
#include "evidence/evidence_package.h"
#include "evidence/track_export.h"
#include "metadata/qt/glyph_font_rasterizer.h"
#include "report/package_derivatives.h"
#include "ui/evidence_package_dialog.h"
#include "ui/evidence_worker.h"
#include "ui/message_box.h"
#include "ui/save_file_chooser.h"

namespace {

constexpr const char* kBusyText = "An evidence export is still running.";

}  // namespace

EvidenceController::EvidenceController(QMainWindow& window, QAction* clipAction, SourceOf source)
    : window_(window), source_(std::move(source)), worker_(std::make_unique<EvidenceWorker>()) {
  QMenuBar* bar = window.menuBar();
  if (!bar->actions().isEmpty()) {
    if (QMenu* file = bar->actions().first()->menu()) {
      track_ = new QAction(QStringLiteral("Export Track..."), file);
      track_->setObjectName(QStringLiteral("exportTrack"));
      file->insertAction(file->actions().isEmpty() ? nullptr : file->actions().last(), track_);
      connect(track_, &QAction::triggered, this, [this] { ExportTrack(); });
    }
  }
  for (QAction* popup : bar->actions()) {
    QMenu* menu = popup->menu();
    if (!menu || !clipAction || !menu->actions().contains(clipAction)) continue;
    const QList<QAction*> items = menu->actions();
    const qsizetype at = items.indexOf(clipAction) + 1;
    package_ = new QAction(QStringLiteral("Export Evidence Package..."), menu);
    package_->setObjectName(QStringLiteral("exportEvidence"));
    menu->insertAction(at < items.size() ? items[at] : nullptr, package_);
    connect(package_, &QAction::triggered, this, [this] { ExportPackage(); });
  }
  UpdateCommands();
}

EvidenceController::~EvidenceController() = default;

void EvidenceController::UpdateCommands() {
  const Source s = source_();
  const bool open = s.engine != nullptr && !s.recording.empty();
  if (track_) track_->setEnabled(open);
  if (package_) package_->setEnabled(open);
}

void EvidenceController::ExportTrack() {
  const Source s = source_();
  if (!s.engine || s.recording.empty()) return;
  if (worker_->Busy()) return ShowPlayerMessage(&window_, kBusyText);
  std::string filter;
  const std::optional<std::string> chosen = ChooseSaveFile(
      &window_, "GPX track (*.gpx);;KML track (*.kml);;GeoJSON track (*.geojson)", "", &filter);
  if (!chosen) return;
  std::string out = *chosen;
  const std::string extension = filter.find("kml") != std::string::npos       ? "kml"
                                : filter.find("geojson") != std::string::npos ? "geojson"
                                                                              : "gpx";
  evidence::TrackFormat format = evidence::TrackFormat::kGpx;
  evidence::ParseTrackFormat(extension, format);
  if (std::filesystem::path(out).extension().empty()) out += "." + extension;
  const std::string recording = s.recording;
  worker_->Start(
      this,
      [recording, format, out] {
        std::string message;
        evidence::ExportTrack(recording, format, out, message);
        return message;
      },
      [this](const std::string& message) { ShowPlayerMessage(&window_, message); });
}

void EvidenceController::ExportPackage() {
  const Source s = source_();
  if (!s.engine || s.recording.empty()) return;
  if (worker_->Busy()) return ShowPlayerMessage(&window_, kBusyText);
  EvidencePackageDialog dialog(s.engine->GetPositionCentis(), s.engine->GetTotal(), s.cameras, &window_);
  if (dialog.exec() != QDialog::Accepted) return;
  evidence::PackageRequest request;
  request.recording = s.recording;
  request.fromCentis = dialog.FromCentis();
  request.toCentis = dialog.ToCentis();
  request.cameras = dialog.Cameras();
  request.folder = dialog.Folder();
  // The video's burned-in texts need the glyph fonts, made on this thread.
  if (dialog.WithVideo()) CreateProcessGlyphFonts();
  request.derivatives =
      report::PlayerPackageDerivatives(request, {dialog.WithVideo(), dialog.WithReport(), "", ""});
  EvidenceWorker* worker = worker_.get();
  worker_->Start(
      this,
      [request, worker] {
        std::string message;
        if (evidence::BuildPackage(request, worker->Cancelled(), {}, message) ==
            evidence::ExportStatus::kDone)
          message = "Evidence package written to " + request.folder;
        return message;
      },
      [this](const std::string& message) { ShowPlayerMessage(&window_, message); });
}
