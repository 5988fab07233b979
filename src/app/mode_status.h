#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "evidence/export_status.h"

// How the command-line modes end: an exit status from this short list and,
// on failure, exactly one line on stderr that names its subject (the
// recording, the output file or the standard output) once and the real
// reason. `--help` and the README list the same statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitBadInput = 2;      // bad command line, or FILE is no usable recording
inline constexpr int kExitOutputFailed = 3;  // the output could not be written

// The exit status of an export's outcome.
inline int ExitStatusOf(evidence::ExportStatus status) {
  switch (status) {
    case evidence::ExportStatus::kDone:
      return kExitDone;
    case evidence::ExportStatus::kBadInput:
      return kExitBadInput;
    case evidence::ExportStatus::kOutputFailed:
      break;
  }
  return kExitOutputFailed;
}

// The note a mode prints for a file of a numbered run it skipped (4,000
// bytes or less): the run goes on, and the status is not changed by it.
inline constexpr const char* kEmptyFileNote = "skipped: 4000 bytes or less, holds no recording";

// Writes "qmxplayer: SUBJECT: REASON" and returns `status`.
int ModeFailure(std::ostream& err, const std::string& subject, const std::string& reason, int status);

// The same for a failure text that may name its own subject, as the
// readers and writers word theirs ("PATH: REASON"): when `text` begins with
// one of `named` followed by ": " or "/", it is the line as it is, so the
// file is named once; otherwise `subject` is put before it.
int ModeFailureOf(std::ostream& err, const std::string& subject, const std::string& text,
                  const std::vector<std::string>& named, int status);

// Flushes `out`, the mode's standard output, and reports a failed write
// (a full disk, a closed pipe, /dev/full): kExitDone when every byte went
// out, else kExitOutputFailed with the system's reason on `err`.
int FinishOutput(std::ostream& out, std::ostream& err);

// The system's text for errno value `error`, or `fallback` when there is none.
std::string SystemReason(int error, const std::string& fallback);
