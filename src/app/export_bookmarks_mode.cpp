#include "app/export_bookmarks_mode.h"

#include "app/mode_files.h"
#include "app/mode_status.h"
#include "evidence/bookmarks.h"
#include "evidence/file_output.h"

namespace {

int Usage(std::ostream& err) {
  err << "usage: qmxplayer FILE --export-bookmarks OUT.csv\n";
  return kExitBadInput;
}

}  // namespace

int RunExportBookmarksMode(const std::vector<std::string>& args, std::ostream& err) {
  std::string file, out;
  bool mode = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--export-bookmarks" && !mode) {
      mode = true;
      // FILE before the mode: the output follows it.
      if (!file.empty() && hasValue && out.empty()) out = args[++i];
    } else if (a == "--out" && hasValue && out.empty()) {
      out = args[++i];
    } else if (file.empty() && !a.starts_with("--")) {
      file = a;
    } else {
      return Usage(err);
    }
  }
  if (!mode || file.empty() || out.empty()) return Usage(err);
  if (const std::string problem = RecordingProblem(file); !problem.empty())
    return ModeFailure(err, file, problem, kExitBadInput);
  const std::vector<std::string> sources = RecordingSources(file);
  if (const int refused = RefuseModeOutputs(err, {out}, sources); refused != kExitDone) return refused;
  std::string reason;
  if (!evidence::WriteWholeFile(out, evidence::FormatBookmarksCsv(evidence::LoadBookmarks({file})), reason))
    return ModeFailure(err, out, "cannot be written: " + reason, kExitOutputFailed);
  return kExitDone;
}
