#include "report/incident_report.h"

#include <QBuffer>
#include <QDateTime>
#include <QImage>

#include "avi/output_guard.h"
#include "evidence/file_output.h"
#include "evidence/sha256.h"
#include "report/camera_picture_at.h"
#include "report/incident_report_pdf.h"

namespace report {
namespace {

ReportOutcome Failed(ReportStatus status, std::string reason) {
  ReportOutcome outcome;
  outcome.status = status;
  outcome.reason = std::move(reason);
  return outcome;
}

MomentPicture Shoot(const IncidentRequest& request, const std::vector<clip::ClipSourceFile>& files,
                    int camera, int64_t centis) {
  MomentPicture shot;
  shot.camera = camera;
  CameraPicture picture;
  std::string error;
  if (!CameraPictureAt(files, camera, centis, picture, error)) {
    shot.note = "No picture: " + error;
    return shot;
  }
  if (request.pictureFilter)
    request.pictureFilter(camera, picture.centis, picture.rgb.data(), picture.width, picture.height);
  shot.image =
      QImage(picture.rgb.data(), picture.width, picture.height, picture.width * 3, QImage::Format_RGB888)
          .copy();
  shot.note =
      picture.file + " frame " + std::to_string(picture.frame) + " at " + TimelineText(picture.centis);
  return shot;
}

}  // namespace

ReportOutcome MakeIncidentReport(const IncidentRequest& request, const MapAccess& map, const std::string& out,
                                 const std::atomic<bool>& cancel, const ReportProgress& progress) {
  const auto report = [&](double f) {
    if (progress) progress(f);
  };
  const std::vector<clip::ClipSourceFile> files = clip::ListTimelineFiles(request.recording);
  std::vector<std::string> sources{request.recording};
  for (const clip::ClipSourceFile& f : files) sources.push_back(f.path);
  if (const avi::OutputRefusal refusal = avi::RefuseOutputs({out}, sources))
    return Failed(ReportStatus::kBadInput, refusal.output + ": " + refusal.reason);

  IncidentFacts facts;
  std::string error;
  if (!GatherIncidentFacts(request, files, cancel, facts, error))
    return Failed(cancel.load() ? ReportStatus::kCancelled : ReportStatus::kBadInput, error);
  report(0.5);

  std::vector<PictureMoment> moments{
      {facts.fromCentis, "Start of the range, " + TimelineText(facts.fromCentis), {}}};
  for (std::size_t i = 0; i < facts.events.size(); ++i) {
    const ReportEvent& e = facts.events[i];
    moments.push_back(
        {e.centis, "Event " + std::to_string(i + 1) + ", " + TimelineText(e.centis) + ": " + e.what, {}});
  }
  for (std::size_t m = 0; m < moments.size(); ++m) {
    if (cancel.load()) return Failed(ReportStatus::kCancelled, "cancelled");
    for (int c = 0; c < 4; ++c)
      if (request.cameras[std::size_t(c)])
        moments[m].pictures.push_back(Shoot(request, files, c, moments[m].centis));
    report(0.5 + 0.2 * double(m + 1) / double(moments.size()));
  }
  const RangeMapPicture picture = DrawRangeMap(request.recording, facts.track, map, cancel);
  if (cancel.load()) return Failed(ReportStatus::kCancelled, "cancelled");
  report(0.8);

  ReportContent content;
  content.request = &request;
  content.facts = &facts;
  content.map = &picture;
  content.moments = &moments;
  content.madeAt =
      QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")).toStdString();
  QByteArray pdf;
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  ReportOutcome outcome;
  outcome.pages = PaintIncidentReport(content, &buffer, error);
  if (outcome.pages == 0) return Failed(ReportStatus::kWriteFailed, out + ": " + error);
  if (cancel.load()) return Failed(ReportStatus::kCancelled, "cancelled");
  const std::string bytes = pdf.toStdString();
  if (!evidence::WriteWholeFile(out, bytes, error))
    return Failed(ReportStatus::kWriteFailed, out + ": " + error);
  outcome.status = ReportStatus::kDone;
  outcome.sha256 = evidence::Sha256Hex(bytes.data(), bytes.size());
  report(1.0);
  return outcome;
}

}  // namespace report
