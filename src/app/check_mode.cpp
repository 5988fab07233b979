#include "app/check_mode.h"

#include <algorithm>

#include "app/mode_status.h"
#include "engine/numbered_run.h"
#include "evidence/integrity_report_format.h"

std::vector<evidence::CheckFile> TimelineFilesOf(const std::string& path) {
  std::vector<evidence::CheckFile> files;
  for (NumberedRunFile& f : ListNumberedRun(path)) files.push_back({std::move(f.path), f.empty});
  if (std::none_of(files.begin(), files.end(), [](const evidence::CheckFile& f) { return !f.empty; }))
    files = {{path, false}};
  return files;
}

int RunCheckMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string file;
  bool json = false, bad = false;
  evidence::CheckOptions options;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (a == "--quick") {
      options.decodePictures = false;
    } else if (file.empty() && !a.starts_with("--")) {
      file = a;
    } else {
      bad = true;
    }
  }
  if (bad || file.empty()) {
    err << "usage: qmxplayer --check FILE [--quick] [--json]\n";
    return kExitBadInput;
  }
  const std::vector<evidence::CheckFile> files = TimelineFilesOf(file);
  const evidence::IntegrityReport report = evidence::CheckRecording(files, options);
  out << (json ? evidence::FormatReportJson(report) : evidence::FormatReportText(report));
  if (const int status = FinishOutput(out, err); status != kExitDone) return status;
  if (!report.Readable()) {
    std::vector<std::string> named;
    for (const evidence::CheckFile& f : files) named.push_back(f.path);
    return ModeFailureOf(err, file, report.error, named, kExitBadInput);
  }
  return report.Clean() ? kExitDone : kExitFindings;
}
