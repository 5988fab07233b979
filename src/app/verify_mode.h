#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --verify DIR [--sources FILE...]`: re-hashes every file of the
// evidence package in DIR against its MANIFEST.sha256 and, when the source
// recordings are given (matched by file name) or still at their recorded
// paths, checks their hashes and that every clip frame is byte-identical to
// the source frame of its place in the range. `out` gets one line per
// mismatch (naming the file, or the clip, camera and frame), one per check
// that could not be made, and a last line "Verified: ..." or "FAILED: ...".
//
// Exit status: kExitDone (0) only when everything checked holds;
// kExitFindings (1) when anything differs; kExitBadInput (2) for a bad
// command line or a folder without a readable manifest; kExitOutputFailed (3)
// when `out` can't be written.
int RunVerifyMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
