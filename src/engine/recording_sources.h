#pragma once

// The files a recording is read from, looked at before anything reads them.

#include <string>
#include <vector>

// The files FILE's recording is read from: the numbered run it starts, and
// FILE itself (also when it is too short to count in a run).
std::vector<std::string> RecordingSources(const std::string& file);

// "" when FILE opens as a recording (its headers read), otherwise the
// reader's reason, which never repeats the path: "No such file or
// directory", "is a FIFO, not a regular file", "not an AVI file (no RIFF
// header)", ... Never blocks, whatever FILE is.
std::string RecordingProblem(const std::string& file);
