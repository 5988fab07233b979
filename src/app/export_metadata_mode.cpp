#include "app/export_metadata_mode.h"

#include "app/mode_status.h"
#include "evidence/metadata_csv.h"

int RunExportMetadataMode(const std::string& path, std::ostream& out, std::ostream& err) {
  std::string reason;
  const evidence::ExportStatus status = evidence::WriteMetadataCsv(path, out, reason);
  if (const int flushed = FinishOutput(out, err); flushed != kExitDone) return flushed;
  if (status != evidence::ExportStatus::kDone) return ModeFailure(err, path, reason, kExitBadInput);
  return kExitDone;
}
