#include "app/export_video_mode.h"

#include <sys/stat.h>

#include <QGuiApplication>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/clock_positions.h"
#include "app/mode_files.h"
#include "app/mode_status.h"
#include "base/mode_arguments.h"
#include "clip/extraction_plan.h"
#include "engine/camera_streams.h"
#include "engine/recording_layout.h"
#include "engine/recording_properties.h"
#include "evidence/sha256.h"
#include "export/redaction_store.h"
#include "export/video_exporter.h"
#include "metadata/qt/glyph_font_rasterizer.h"
#include "metadata/trigger_names.h"

namespace {

std::atomic<bool> gCancel{false};

extern "C" void CancelExportOnSignal(int) {
  gCancel.store(true);
}

int Usage() {
  std::cerr << "usage: qmxplayer --export-video FILE --from CENTIS --to CENTIS --cameras 1,2,... "
               "[--layout quad|single] [--redactions LIST.json] --out OUT.mp4\n";
  return kExitBadInput;
}

}  // namespace

int RunExportVideoMode(int argc, char** argv, const CommandLine& line) {
  video_export::VideoExportRequest request;
  const std::vector<std::string>& args = line.modeArgs;
  std::string file, redactions;
  ClockPositions clocks;
  if (!args.empty()) file = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--from" && hasValue) {
      if (!clocks.Parse(args[++i], request.startCentis, ClockPositions::Use::kRangeEnd)) return Usage();
    } else if (a == "--to" && hasValue) {
      if (!clocks.Parse(args[++i], request.endCentis, ClockPositions::Use::kRangeEnd)) return Usage();
    } else if (a == "--cameras" && hasValue) {
      if (!ParseCameraList(args[++i], request.cameras)) return Usage();
    } else if (a == "--layout" && hasValue) {
      const std::string& layout = args[++i];
      if (layout != "quad" && layout != "single") return Usage();
      request.layout =
          layout == "quad" ? video_export::ExportLayout::kQuad : video_export::ExportLayout::kSingle;
    } else if (a == "--out" && hasValue) {
      request.destination = args[++i];
    } else if (a == "--redactions" && hasValue) {
      redactions = args[++i];
    } else {
      return Usage();
    }
  }
  if (file.empty() || request.destination.empty() || request.startCentis < 0 || request.endCentis < 0 ||
      request.cameras == std::array<bool, 4>{})
    return Usage();
  if (std::string reason; !clocks.Resolve(file, reason))
    return ModeFailure(std::cerr, file, reason, kExitBadInput);
  if (request.endCentis <= request.startCentis)
    return ModeFailure(std::cerr, file, "the range ends before it starts (--to must be after --from)",
                       kExitBadInput);

  if (const std::string problem = RecordingProblem(file); !problem.empty())
    return ModeFailure(std::cerr, file, problem, kExitBadInput);
  request.files = clip::ListTimelineFiles(file);
  if (request.files.empty()) return ModeFailure(std::cerr, file, "holds no video to export", kExitBadInput);
  request.dvrKind = DetectDvrKind(file);
  const std::array<bool, 4> present = CamerasWithVideo(request.files[0].path);
  for (int c = 0; c < 4; ++c) {
    if (!request.cameras[std::size_t(c)]) continue;
    if (!clip::CameraOffered(!IsTwoChannel(request.dvrKind), present, c))
      return ModeFailure(std::cerr, file, "the recording has no camera " + std::to_string(c + 1),
                         kExitBadInput);
    if (request.audioCamera < 0) request.audioCamera = c;
  }
  const int64_t total = request.files.back().endCentis;
  if (request.endCentis > total)
    return ModeFailure(std::cerr, file,
                       "the recording ends at " + std::to_string(total) + " hundredths, before --to",
                       kExitBadInput);
  if (RefuseModeOutputs(std::cerr, {request.destination}, RecordingSources(file)) != kExitDone)
    return kExitBadInput;
  if (!redactions.empty()) {
    std::string why;
    if (!std::filesystem::is_regular_file(redactions) ||
        !redaction::LoadRedactionList(redactions, request.redactions, why) ||
        !evidence::Sha256OfFile(redactions, request.redactionListSha256, why))
      return ModeFailure(std::cerr, redactions, why.empty() ? "is no redaction list file" : why,
                         kExitBadInput);
    request.redactionListName = std::filesystem::path(redactions).filename().string();
  }
  request.recordingName = std::filesystem::path(file).filename().string();
  // The "Triggers" line names them as the window does: the recording's own names.
  RecordingProperties props;
  ReadRecordingProperties(file, props, HeaderCorrection::kReportOnly);
  SetTriggerNames(props.triggerNames);

  // The overlay's fonts are drawn off screen: no display is needed.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  CreateProcessGlyphFonts();

  gCancel.store(false);
  std::signal(SIGINT, CancelExportOnSignal);
  std::signal(SIGTERM, CancelExportOnSignal);
  int shown = -1;
  const video_export::VideoExportOutcome outcome =
      video_export::ExportVideo(request, gCancel, [&](double fraction) {
        const int percent = int(fraction * 100);
        if (percent == shown) return;
        shown = percent;
        std::cerr << "\rqmxplayer: exporting video " << percent << "%" << std::flush;
      });
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (shown >= 0) std::cerr << "\n";
  switch (outcome.status) {
    case video_export::VideoExportStatus::kDone:
      return kExitDone;
    case video_export::VideoExportStatus::kBadInput:
    case video_export::VideoExportStatus::kReadFailed:
      return ModeFailure(std::cerr, file, outcome.reason, kExitBadInput);
    case video_export::VideoExportStatus::kCancelled:
      return ModeFailure(std::cerr, request.destination, "export cancelled; no unfinished output kept",
                         kExitOutputFailed);
    case video_export::VideoExportStatus::kWriteFailed:
      break;
  }
  return ModeFailure(std::cerr, request.destination, outcome.reason, kExitOutputFailed);
}
