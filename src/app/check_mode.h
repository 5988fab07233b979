#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "evidence/integrity_check.h"

// `qmxplayer --check FILE [--quick] [--json]`: the integrity report of the
// recording, or of the numbered run FILE starts, on `out` (text, or JSON
// with --json). By default every frame's picture data is decoded (on all
// cores) and each picture that does not decode cleanly is a finding;
// --quick looks at each frame's headers and end only. A file of the run cut
// short and a file of 4,000 bytes or less (skipped, the run goes on) are
// findings too. The files are only read.
//
// Exit status: kExitDone (0) when clean, kExitFindings (1) when anything was
// found (the report is printed in full), kExitBadInput (2) for a bad command
// line or a file that can't be read as a recording (one line on `err`; the
// report so far still goes to `out`), kExitOutputFailed (3) when `out` can't
// be written.
inline constexpr int kExitFindings = 1;

int RunCheckMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The files of the timeline FILE starts: its numbered run (files of 4,000
// bytes or less marked empty), or FILE alone (also when it is too short to
// count as a recording, so the reader names the reason).
std::vector<evidence::CheckFile> TimelineFilesOf(const std::string& path);
