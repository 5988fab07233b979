#include "app/mode_files.h"

#include "app/mode_status.h"

int RefuseModeOutputs(std::ostream& err, const std::vector<std::string>& outputs,
                      const std::vector<std::string>& sources, avi::OutputKind kind) {
  const avi::OutputRefusal refusal = avi::RefuseOutputs(outputs, sources, kind);
  return refusal ? ModeFailure(err, refusal.output, refusal.reason, kExitBadInput) : kExitDone;
}
