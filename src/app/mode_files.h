#pragma once

// The files a command-line mode reads and writes, checked before it starts:
// FILE opened as every mode opens it, and each output refused when it would
// replace a file of the recording or is no regular file.

#include <ostream>
#include <string>
#include <vector>

#include "avi/output_guard.h"
#include "engine/recording_sources.h"

// kExitDone when every one of `outputs` may be written over `sources`;
// otherwise writes the one failure line, naming the output and what it
// would replace, and returns kExitBadInput.
int RefuseModeOutputs(std::ostream& err, const std::vector<std::string>& outputs,
                      const std::vector<std::string>& sources, avi::OutputKind kind = avi::OutputKind::kFile);
