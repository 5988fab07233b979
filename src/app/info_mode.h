#pragma once

#include <ostream>
#include <string>

// `qmxplayer --info FILE`: the File Properties texts of a recording, one
// "Label: value" line each, on `out`. The file is only read: a one-stream
// header that opening would correct is reported as "Header Correction:
// needed". Returns the exit status: 0, or 2 with a one-line message on `err`
// when the file can't be opened or is not an AVI.
int RunInfoMode(const std::string& path, std::ostream& out, std::ostream& err);
