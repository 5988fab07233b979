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
// `--with-video` adds video.mp4 (the range as --export-video makes it) and
// `--with-report` report.pdf (as --report makes it, with `--case` and
// `--examiner`), both listed in manifest.json as derived. Makes the
// process's application object.
int RunExportEvidenceMode(int argc, char** argv, const std::vector<std::string>& args, std::ostream& err);
