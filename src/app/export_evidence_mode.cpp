#include "app/export_evidence_mode.h"

#include <QGuiApplication>
#include <array>
#include <cstdlib>
#include <memory>

#include "app/clock_positions.h"
#include "app/library_diagnostics.h"
#include "app/mode_files.h"
#include "app/mode_status.h"
#include "base/mode_arguments.h"
#include "evidence/evidence_package.h"
#include "metadata/qt/glyph_font_rasterizer.h"
#include "report/package_derivatives.h"

namespace {

int Usage(std::ostream& err) {
  err << "usage: qmxplayer --export-evidence FILE --from CENTIS --to CENTIS --cameras 1,2,3,4 --out DIR "
         "[--with-video] [--with-report [--case TEXT] [--examiner TEXT]]\n";
  return kExitBadInput;
}

}  // namespace

int RunExportEvidenceMode(int argc, char** argv, const std::vector<std::string>& args, std::ostream& err) {
  evidence::PackageRequest request;
  bool from = false, to = false, video = false, pdf = false;
  std::string caseText, examiner;
  ClockPositions clocks;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    const std::string& a = args[i];
    if (a == "--from" && hasValue) {
      if (!clocks.Parse(args[++i], request.fromCentis, ClockPositions::Use::kRangeEnd)) return Usage(err);
      from = true;
    } else if (a == "--to" && hasValue) {
      if (!clocks.Parse(args[++i], request.toCentis, ClockPositions::Use::kRangeEnd)) return Usage(err);
      to = true;
    } else if (a == "--cameras" && hasValue) {
      std::array<bool, 4> chosen{};
      if (!ParseCameraList(args[++i], chosen)) return Usage(err);
      for (int c = 0; c < 4; ++c)
        if (chosen[std::size_t(c)]) request.cameras.push_back(c + 1);
    } else if (a == "--out" && hasValue) {
      request.folder = args[++i];
    } else if (a == "--with-video") {
      video = true;
    } else if (a == "--with-report") {
      pdf = true;
    } else if (a == "--case" && hasValue) {
      caseText = args[++i];
    } else if (a == "--examiner" && hasValue) {
      examiner = args[++i];
    } else if (request.recording.empty() && !a.starts_with("--")) {
      request.recording = a;
    } else {
      return Usage(err);
    }
  }
  if (request.recording.empty() || request.folder.empty() || !from || !to || request.cameras.empty() ||
      (!pdf && (!caseText.empty() || !examiner.empty())))
    return Usage(err);
  if (std::string reason; !clocks.Resolve(request.recording, reason))
    return ModeFailure(err, request.recording, reason, kExitBadInput);
  request.derivatives = report::PlayerPackageDerivatives(request, {video, pdf, caseText, examiner});
  // The derived files are drawn off screen: fonts, but no display.
  std::unique_ptr<QCoreApplication> app;
  if (request.derivatives.empty()) {
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    LibraryDiagnostics::Install();
    app = std::make_unique<QGuiApplication>(argc, argv);
    CreateProcessGlyphFonts();
  }
  std::atomic<bool> cancel{false};
  std::string message;
  const int status = ExitStatusOf(evidence::BuildPackage(request, cancel, {}, message));
  if (status == kExitDone) return kExitDone;
  std::vector<std::string> named = RecordingSources(request.recording);
  named.push_back(request.folder);
  return ModeFailureOf(err, request.recording, message, named, status);
}
