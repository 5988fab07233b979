#include "app/verify_mode.h"

#include "app/check_mode.h"
#include "app/mode_status.h"
#include "evidence/package_verify.h"

int RunVerifyMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string folder;
  std::vector<std::string> sources;
  bool bad = args.empty() || args[0].starts_with("--");
  if (!bad) folder = args[0];
  for (std::size_t i = 1; !bad && i < args.size(); ++i) {
    if (args[i] == "--sources" && i == 1 && args.size() > 2) continue;
    bad = i == 1 || args[i].starts_with("--");
    sources.push_back(args[i]);
  }
  if (bad) {
    err << "usage: qmxplayer --verify DIR [--sources FILE...]\n";
    return kExitBadInput;
  }
  const evidence::VerifyResult result = evidence::VerifyPackage(folder, sources);
  if (!result.error.empty()) return ModeFailure(err, folder, result.error, kExitBadInput);
  for (const std::string& m : result.mismatches) out << "MISMATCH: " << m << "\n";
  for (const std::string& n : result.notes) out << "NOT CHECKED: " << n << "\n";
  for (const std::string& d : result.derived) out << "DERIVED: " << d << "\n";
  if (result.Verified()) {
    out << "Verified: " << result.filesChecked << " files and " << result.framesChecked << " clip frames\n";
  } else if (result.Passed()) {
    out << "Hashes match: " << result.filesChecked << " files; no clip frame was checked against a source\n";
  } else {
    out << "FAILED: " << result.mismatches.size() << " mismatches\n";
  }
  if (const int status = FinishOutput(out, err); status != kExitDone) return status;
  return result.Passed() ? kExitDone : kExitFindings;
}
