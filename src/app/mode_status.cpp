#include "app/mode_status.h"

#include <cerrno>
#include <cstring>

int ModeFailure(std::ostream& err, const std::string& subject, const std::string& reason, int status) {
  err << "qmxplayer: " << subject << ": " << reason << "\n";
  err.flush();
  return status;
}

int FinishOutput(std::ostream& out, std::ostream& err) {
  // A write that failed earlier has already set the stream's state, and
  // errno still holds its reason; otherwise the flush tells.
  if (out) errno = 0;
  out.flush();
  if (out) return kExitDone;
  const int error = errno;
  return ModeFailure(err, "standard output", "cannot be written: " + SystemReason(error, "write error"),
                     kExitOutputFailed);
}

std::string SystemReason(int error, const std::string& fallback) {
  return error != 0 ? std::strerror(error) : fallback;
}
