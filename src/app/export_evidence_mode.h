#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --export-evidence FILE --from CENTIS --to CENTIS --cameras LIST
// --out DIR`: the evidence package (evidence/evidence_package.h) of the
// range in the new or empty folder DIR.
//
// Exit status: kExitDone; kExitBadInput for a bad command line, a FILE that
// can't be read, a range no file covers, a camera the recording lacks or a
// first frame of the range that is no picture; kExitOutputFailed when DIR is
// not empty or a file can't be written. `err` gets one line with the reason.
int RunExportEvidenceMode(const std::vector<std::string>& args, std::ostream& err);
