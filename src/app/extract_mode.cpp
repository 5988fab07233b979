#include "app/extract_mode.h"

#include <csignal>
#include <cstdlib>
#include <sstream>

#include "app/clock_positions.h"
#include "app/mode_files.h"
#include "app/mode_status.h"
#include "base/mode_arguments.h"
#include "clip/clip_extraction.h"
#include "clip/extraction_plan.h"
#include "engine/camera_streams.h"
#include "engine/recording_layout.h"
#include "engine/recording_properties.h"

namespace {

std::atomic<bool> gCancel{false};

extern "C" void CancelOnSignal(int) {
  gCancel.store(true);
}

int Usage(std::ostream& err) {
  err << "usage: qmxplayer --extract FILE --from CENTIS --to CENTIS --cameras 1,2,... --out OUT.avi\n";
  return kExitBadInput;
}

}  // namespace

int RunExtractMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  clip::ExtractRequest request;
  std::string file;
  ClockPositions clocks;
  if (!args.empty()) file = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--from" && hasValue) {
      if (!clocks.Parse(args[++i], request.startCentis, ClockPositions::Use::kRangeEnd)) return Usage(err);
    } else if (a == "--to" && hasValue) {
      if (!clocks.Parse(args[++i], request.endCentis, ClockPositions::Use::kRangeEnd)) return Usage(err);
    } else if (a == "--cameras" && hasValue) {
      if (!ParseCameraList(args[++i], request.cameras)) return Usage(err);
    } else if (a == "--out" && hasValue) {
      request.destination = args[++i];
    } else {
      return Usage(err);
    }
  }
  if (file.empty() || request.destination.empty() || request.startCentis < 0 || request.endCentis < 0 ||
      request.cameras == std::array<bool, 4>{})
    return Usage(err);
  if (std::string reason; !clocks.Resolve(file, reason)) return ModeFailure(err, file, reason, kExitBadInput);
  if (request.endCentis <= request.startCentis)
    return ModeFailure(err, file, "the range ends before it starts (--to must be after --from)",
                       kExitBadInput);

  if (const std::string problem = RecordingProblem(file); !problem.empty())
    return ModeFailure(err, file, problem, kExitBadInput);
  request.files = clip::ListTimelineFiles(file);
  if (request.files.empty()) return ModeFailure(err, file, "holds no video to extract", kExitBadInput);
  const DvrLayout kind = DetectDvrKind(file);
  const std::array<bool, 4> present = CamerasWithVideo(request.files[0].path);
  for (int c = 0; c < 4; ++c) {
    if (request.cameras[std::size_t(c)] && !clip::CameraOffered(!IsTwoChannel(kind), present, c))
      return ModeFailure(err, file, "the recording has no camera " + std::to_string(c + 1), kExitBadInput);
  }
  const int64_t total = request.files.back().endCentis;
  if (request.endCentis > total)
    return ModeFailure(err, file,
                       "the recording ends at " + std::to_string(total) + " hundredths, before --to",
                       kExitBadInput);

  // The settings block carries the names this recording sets on top of the
  // defaults, as the player shows them.
  RecordingProperties props;
  ReadRecordingProperties(file, props, HeaderCorrection::kReportOnly);
  request.triggerNames.assign(props.triggerNames.begin(), props.triggerNames.end());
  request.dvrTitle = props.dvrTitle;

  gCancel.store(false);
  std::signal(SIGINT, CancelOnSignal);
  std::signal(SIGTERM, CancelOnSignal);
  int shown = -1;
  const clip::ExtractOutcome outcome = clip::ExtractClip(request, gCancel, [&](double fraction) {
    const int percent = int(fraction * 100);
    if (percent == shown) return;
    shown = percent;
    err << "\rqmxplayer: extracting " << percent << "%" << std::flush;
  });
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (shown >= 0) err << "\n";
  for (const std::string& o : outcome.outputs) out << o << "\n";

  std::string reason = outcome.detail.empty() ? outcome.message : outcome.detail;
  for (char& c : reason) c = c == '\n' ? ' ' : c;  // one line
  // A detail names the file it is about; the line names it once.
  std::vector<std::string> named = clip::OutputNames(request);
  for (const clip::ClipSourceFile& f : request.files) named.push_back(f.path);
  switch (outcome.status) {
    case clip::ExtractStatus::Done:
      return FinishOutput(out, err) == kExitDone ? kExitDone : kExitExtractWriteFailed;
    case clip::ExtractStatus::NothingToDo:
    case clip::ExtractStatus::NoFrames:
    case clip::ExtractStatus::ReadFailed:
    case clip::ExtractStatus::OutputRefused:
      return ModeFailureOf(err, file, reason, named, kExitBadInput);
    case clip::ExtractStatus::Cancelled:
      return ModeFailure(err, request.destination, "extraction cancelled; no unfinished output kept",
                         kExitExtractWriteFailed);
    case clip::ExtractStatus::WriteFailed:
      break;
  }
  return ModeFailureOf(err, request.destination, reason, named, kExitExtractWriteFailed);
}
