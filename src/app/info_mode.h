#pragma once

#include <ostream>
#include <string>

// `qmxplayer --info FILE`: the File Properties texts of a recording, one
// "Label: value" line each, in UTF-8, on `out`. The file is only read: a
// one-stream header that opening would correct is reported as "Header
// Correction: needed". Returns the exit status (mode_status.h): kExitDone;
// kExitBadInput with one line on `err` naming the reason when FILE can't be
// opened, is no regular file or is not an AVI; kExitOutputFailed when `out`
// can't be written.
int RunInfoMode(const std::string& path, std::ostream& out, std::ostream& err);
