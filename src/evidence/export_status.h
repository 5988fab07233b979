#pragma once

namespace evidence {

// How an export of the recording ended. The command-line modes turn it into
// their exit status, the window into a message.
enum class ExportStatus {
  kDone,
  kBadInput,      // the recording, the range or the request cannot be used
  kOutputFailed,  // the output could not be written, or the export was cancelled
};

}  // namespace evidence
