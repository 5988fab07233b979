#pragma once

// The files a command-line mode reads and writes, checked before it starts:
// FILE opened as every mode opens it, and each output refused when it would
// replace a file of the recording or is no regular file.

#include <ostream>
#include <string>
#include <vector>

#include "avi/output_guard.h"

// The files FILE's recording is read from: the numbered run it starts, and
// FILE itself (also when it is too short to count in a run).
std::vector<std::string> RecordingSources(const std::string& file);

// "" when FILE opens as a recording (its headers read), otherwise the
// reader's reason, which never repeats the path: "No such file or
// directory", "is a FIFO, not a regular file", "not an AVI file (no RIFF
// header)", ... Never blocks, whatever FILE is.
std::string RecordingProblem(const std::string& file);

// kExitDone when every one of `outputs` may be written over `sources`;
// otherwise writes the one failure line, naming the output and what it
// would replace, and returns kExitBadInput.
int RefuseModeOutputs(std::ostream& err, const std::vector<std::string>& outputs,
                      const std::vector<std::string>& sources, avi::OutputKind kind = avi::OutputKind::kFile);
