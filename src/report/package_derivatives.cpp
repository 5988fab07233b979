#include "report/package_derivatives.h"

#include <filesystem>

#include "clip/clip_extraction.h"
#include "engine/recording_layout.h"
#include "engine/recording_properties.h"
#include "evidence/sha256.h"
#include "export/redaction_store.h"
#include "export/video_exporter.h"
#include "metadata/trigger_names.h"
#include "report/incident_report.h"
#include "report/player_report_inputs.h"

namespace report {

evidence::PackageDerivative VideoDerivative(const std::string& recording, int64_t fromCentis,
                                            int64_t toCentis, const std::array<bool, 4>& cameras) {
  evidence::PackageDerivative derivative;
  derivative.file = kPackageVideoName;
  derivative.kind = "video";
  derivative.make = [=](const std::string& path, const std::atomic<bool>& cancel,
                        std::vector<std::pair<std::string, std::string>>& how) -> std::string {
    video_export::VideoExportRequest request;
    request.files = clip::ListTimelineFiles(recording);
    if (request.files.empty()) return "the recording holds no video";
    request.startCentis = fromCentis;
    request.endCentis = std::min(toCentis, request.files.back().endCentis);
    request.cameras = cameras;
    int chosen = 0;
    for (int c = 0; c < 4; ++c) {
      if (!cameras[std::size_t(c)]) continue;
      ++chosen;
      if (request.audioCamera < 0) request.audioCamera = c;
    }
    request.layout = chosen == 1 ? video_export::ExportLayout::kSingle : video_export::ExportLayout::kQuad;
    request.dvrKind = DetectDvrKind(recording);
    request.recordingName = std::filesystem::path(recording).filename().string();
    request.destination = path;
    // A derived video hides what the recording's saved redaction list hides,
    // as every other export of it does.
    std::vector<std::string> timeline;
    for (const clip::ClipSourceFile& f : request.files) timeline.push_back(f.path);
    const std::string listPath = redaction::RedactionListPath(timeline);
    if (std::string error; !listPath.empty() && std::filesystem::exists(listPath)) {
      if (!redaction::LoadRedactionList(listPath, request.redactions, error))
        return "the saved redaction list " + listPath + " cannot be read: " + error;
      if (!evidence::Sha256OfFile(listPath, request.redactionListSha256, error))
        return "the saved redaction list " + listPath + " cannot be read: " + error;
      request.redactionListName = "the recording's saved redaction list";
    }
    // The "Triggers" line names them as the window does: the recording's own names.
    RecordingProperties props;
    ReadRecordingProperties(recording, props, HeaderCorrection::kReportOnly);
    SetTriggerNames(props.triggerNames);
    const video_export::VideoExportOutcome outcome = video_export::ExportVideo(request, cancel);
    if (outcome.status != video_export::VideoExportStatus::kDone) return outcome.reason;
    how.emplace_back("layout", chosen == 1 ? "single" : "quad");
    how.emplace_back("video", "H.264 (x264 preset " + request.speedPreset + ", constant quality " +
                                  std::to_string(request.quality) + ") in MP4, " +
                                  std::to_string(outcome.width) + "x" + std::to_string(outcome.height) +
                                  ", " + std::to_string(outcome.frames) + " frames at the source frame rate");
    how.emplace_back("sound", outcome.audioEncoder.empty()
                                  ? std::string("none")
                                  : "camera " + std::to_string(request.audioCamera + 1) + " (" +
                                        outcome.audioEncoder + ")");
    how.emplace_back("burned_in", "the overlay's texts of each frame and a caption line");
    how.emplace_back("redactions", request.redactions.items.empty()
                                       ? std::string("none")
                                       : listPath + " (SHA-256 " + request.redactionListSha256 + ")");
    return "";
  };
  return derivative;
}

evidence::PackageDerivative ReportDerivative(const IncidentRequest& request, const MapAccess& map) {
  evidence::PackageDerivative derivative;
  derivative.file = kPackageReportName;
  derivative.kind = "report";
  derivative.make = [=](const std::string& path, const std::atomic<bool>& cancel,
                        std::vector<std::pair<std::string, std::string>>& how) -> std::string {
    const ReportOutcome outcome = MakeIncidentReport(request, map, path, cancel);
    if (outcome.status != ReportStatus::kDone) return outcome.reason;
    how.emplace_back("format", "PDF, A4, " + std::to_string(outcome.pages) + " pages");
    how.emplace_back("case", request.caseText);
    how.emplace_back("examiner", request.examiner);
    how.emplace_back("harsh_motion_tenths_of_g", std::to_string(request.harshTenths));
    how.emplace_back("redactions", request.pictureFilterNote.empty() ? "none" : request.pictureFilterNote);
    return "";
  };
  return derivative;
}

std::vector<evidence::PackageDerivative> PlayerPackageDerivatives(const evidence::PackageRequest& request,
                                                                  const DerivedChoice& choice) {
  std::array<bool, 4> cameras{};
  for (const int c : request.cameras)
    if (c >= 1 && c <= 4) cameras[std::size_t(c - 1)] = true;
  std::vector<evidence::PackageDerivative> derivatives;
  if (choice.video)
    derivatives.push_back(VideoDerivative(request.recording, request.fromCentis, request.toCentis, cameras));
  if (choice.report) {
    IncidentRequest incident = NewReportRequest(request.recording);
    incident.fromCentis = request.fromCentis;
    incident.toCentis = request.toCentis;
    incident.cameras = cameras;
    incident.caseText = choice.caseText;
    incident.examiner = choice.examiner;
    derivatives.push_back(ReportDerivative(incident, StoredMapAccess()));
  }
  return derivatives;
}

}  // namespace report
