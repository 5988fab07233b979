// The window's incident report: File > Export Incident Report..., after
// Export Track. The report is made on the evidence worker, so the window
// keeps answering while the recording is read, hashed and mapped.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "clip/extraction_plan.h"
#include "engine/camera_streams.h"
#include "engine/pipeline/playback_engine.h"
#include "report/incident_report.h"
#include "report/player_report_inputs.h"
#include "ui/clip_extract_dialog.h"
#include "ui/evidence_controller.h"
#include "ui/evidence_worker.h"
#include "ui/incident_report_dialog.h"
#include "ui/message_box.h"
#include "ui/player_window.h"

namespace {

constexpr int64_t kDefaultReportCentis = 6000;

}  // namespace

void CQMXPlayerDlg::AddReportCommand() {
  if (menuBar()->actions().isEmpty()) return;
  QMenu* file = menuBar()->actions().first()->menu();
  if (!file) return;
  auto* action = new QAction(QStringLiteral("Export Incident Report..."), file);
  action->setObjectName(QStringLiteral("exportReport"));
  // Before Exit, after the other exports of the File menu.
  file->insertAction(file->actions().isEmpty() ? nullptr : file->actions().last(), action);
  connect(action, &QAction::triggered, this, [this] { ExportReportCommand(); });
  actionReport_ = action;
  const auto enable = [this] { actionReport_->setEnabled(playback_ != nullptr && !currentPath_.empty()); };
  connect(this, &CQMXPlayerDlg::MenuStateUpdated, action, enable);
  enable();
}

void CQMXPlayerDlg::ExportReportCommand() {
  if (!playback_ || currentPath_.empty()) return;
  if (evidence_->Worker().Busy()) return ShowPlayerMessage(this, "An evidence export is still running.");
  const int64_t total = playback_->GetTotal();
  int64_t from = playback_->GetPositionCentis(), to = std::min(total, from + kDefaultReportCentis);
  // The clip window's marks, when both are set: the range under review.
  if (CVideoClipExtractDlg* marks = ClipDialog();
      marks && marks->StartPosition() >= 0 && marks->EndPosition() >= 0) {
    from = marks->StartPosition();
    to = marks->EndPosition();
  }
  // The cameras a clip would offer: a two-channel recording's pictures share one stream.
  const std::vector<SequenceFile>& files = playback_->Files();
  const std::array<bool, 4> present = files.empty() ? std::array<bool, 4>{} : CamerasWithVideo(files[0].path);
  std::array<bool, 4> cameras{};
  for (int c = 0; c < 4; ++c)
    cameras[std::size_t(c)] = channels_[std::size_t(c)].present &&
                              clip::CameraOffered(dvrKind_ == DvrLayout::kFourChannel, present, c);
  IncidentReportDialog dialog(from, to, total, cameras, this);
  if (dialog.exec() != QDialog::Accepted) return;
  std::vector<std::string> timeline;
  for (const SequenceFile& f : files) timeline.push_back(f.path);
  report::IncidentRequest request = report::NewReportRequest(currentPath_, timeline);
  request.fromCentis = dialog.FromCentis();
  request.toCentis = dialog.ToCentis();
  request.cameras = dialog.Cameras();
  request.caseText = dialog.CaseText();
  request.examiner = dialog.Examiner();
  const std::string out = dialog.Output();
  const report::MapAccess map = report::StoredMapAccess();
  EvidenceWorker* worker = &evidence_->Worker();
  evidence_->Worker().Start(
      this,
      [request, map, out, worker] {
        const report::ReportOutcome outcome =
            report::MakeIncidentReport(request, map, out, worker->Cancelled());
        if (outcome.status != report::ReportStatus::kDone) return outcome.reason;
        return "Incident report written to " + out + " (" + std::to_string(outcome.pages) + " pages)";
      },
      [this](const std::string& message) { ShowPlayerMessage(this, message); });
}
