#include "app/check_mode.h"

#include "app/mode_status.h"
#include "engine/numbered_run.h"
#include "evidence/integrity_check.h"
#include "evidence/integrity_report_format.h"

std::vector<std::string> TimelineFilesOf(const std::string& path) {
  std::vector<std::string> paths = NumberedRunFrom(path);
  if (paths.empty()) paths.push_back(path);
  return paths;
}

int RunCheckMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string file;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (file.empty() && !a.starts_with("--")) {
      file = a;
    } else {
      file.clear();
      break;
    }
  }
  if (file.empty()) {
    err << "usage: qmxplayer --check FILE [--json]\n";
    return kExitBadInput;
  }
  const std::vector<std::string> files = TimelineFilesOf(file);
  const evidence::IntegrityReport report = evidence::CheckRecording(files);
  out << (json ? evidence::FormatReportJson(report) : evidence::FormatReportText(report));
  if (const int status = FinishOutput(out, err); status != kExitDone) return status;
  if (!report.Readable()) return ModeFailureOf(err, file, report.error, files, kExitBadInput);
  return report.Clean() ? kExitDone : kExitFindings;
}
