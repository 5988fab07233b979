#include "app/report_mode.h"

#include <QGuiApplication>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "app/library_diagnostics.h"
#include "app/mode_files.h"
#include "app/mode_status.h"
#include "base/mode_arguments.h"
#include "report/incident_report.h"
#include "report/player_report_inputs.h"

namespace {

std::atomic<bool> gCancel{false};

extern "C" void CancelReportOnSignal(int) {
  gCancel.store(true);
}

int Usage() {
  std::cerr << "usage: qmxplayer --report FILE --from CENTIS --to CENTIS --cameras 1,2,... --out REPORT.pdf "
               "[--case TEXT] [--examiner TEXT]\n";
  return kExitBadInput;
}

}  // namespace

int RunReportMode(int argc, char** argv, const CommandLine& line) {
  const std::vector<std::string>& args = line.modeArgs;
  report::IncidentRequest request = report::NewReportRequest(args.empty() ? std::string() : args[0]);
  std::string out;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--from" && hasValue) {
      if (!ParseCentis(args[++i], request.fromCentis)) return Usage();
    } else if (a == "--to" && hasValue) {
      if (!ParseCentis(args[++i], request.toCentis)) return Usage();
    } else if (a == "--cameras" && hasValue) {
      if (!ParseCameraList(args[++i], request.cameras)) return Usage();
    } else if (a == "--out" && hasValue) {
      out = args[++i];
    } else if (a == "--case" && hasValue) {
      request.caseText = args[++i];
    } else if (a == "--examiner" && hasValue) {
      request.examiner = args[++i];
    } else {
      return Usage();
    }
  }
  if (request.recording.empty() || request.recording.starts_with("--") || out.empty() ||
      request.fromCentis < 0 || request.toCentis < 0 || request.cameras == std::array<bool, 4>{})
    return Usage();
  if (const std::string problem = RecordingProblem(request.recording); !problem.empty())
    return ModeFailure(std::cerr, request.recording, problem, kExitBadInput);

  // The report is painted off screen: no display is needed.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  LibraryDiagnostics::Install();
  QGuiApplication app(argc, argv);
  gCancel.store(false);
  std::signal(SIGINT, CancelReportOnSignal);
  std::signal(SIGTERM, CancelReportOnSignal);
  const report::ReportOutcome outcome =
      report::MakeIncidentReport(request, report::StoredMapAccess(), out, gCancel);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  std::vector<std::string> named = RecordingSources(request.recording);
  named.push_back(out);
  switch (outcome.status) {
    case report::ReportStatus::kDone:
      std::cout << out << ": " << outcome.pages << " pages, SHA-256 " << outcome.sha256 << "\n";
      return FinishOutput(std::cout, std::cerr);
    case report::ReportStatus::kBadInput:
      return ModeFailureOf(std::cerr, request.recording, outcome.reason, named, kExitBadInput);
    case report::ReportStatus::kCancelled:
      return ModeFailure(std::cerr, out, "report cancelled; no unfinished output kept", kExitOutputFailed);
    case report::ReportStatus::kWriteFailed:
      break;
  }
  return ModeFailureOf(std::cerr, out, outcome.reason, named, kExitOutputFailed);
}
