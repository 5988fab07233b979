#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --check FILE [--json]`: the timing-integrity report of the
// recording, or of the numbered run FILE starts, on `out` (text, or JSON
// with --json). The files are only read.
//
// Exit status: kExitDone (0) when clean, kExitFindings (1) when anything was
// found, kExitBadInput (2) for a bad command line or a file that can't be
// read as a recording (one line on `err`; the report so far still goes to
// `out`), kExitOutputFailed (3) when `out` can't be written.
inline constexpr int kExitFindings = 1;

int RunCheckMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The files of the timeline FILE starts: its numbered run, or FILE alone
// (also when it is too short to count as a recording, so the reader names
// the reason).
std::vector<std::string> TimelineFilesOf(const std::string& path);
