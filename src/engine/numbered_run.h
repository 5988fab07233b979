#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A file of 4,000 bytes or less holds no recording: the recorder leaves
// such a file when it stops right after opening one.
inline constexpr uintmax_t kEmptyRecordingBytes = 4000;

// One file of a numbered run; `empty` when it is 4,000 bytes or less, so
// the run skips it and goes on.
struct NumberedRunFile {
  std::string path;
  bool empty = false;
  bool operator==(const NumberedRunFile&) const = default;
};

// The numbered run a file starts: for ".../Trip-003.avi" the existing files
// Trip-003.avi, Trip-004.avi, … up to the first missing number (each name
// also tried as "Trip#-NNN.avi"). Only a missing file ends the run: an empty
// one is listed, marked, and the run goes on past it. A name that is not
// numbered gives just itself (when it exists). This is the one place a run
// is enumerated, so every mode agrees on it.
std::vector<NumberedRunFile> ListNumberedRun(const std::string& path);

// The files of the run that hold a recording, in order (the empty ones
// left out).
std::vector<std::string> NumberedRunFrom(const std::string& path);
