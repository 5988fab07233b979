#include "app/mode_status.h"

#include <cerrno>
#include <cstring>

int ModeFailure(std::ostream& err, const std::string& subject, const std::string& reason, int status) {
  err << "qmxplayer: " << subject << ": " << reason << "\n";
  err.flush();
  return status;
}

int ModeFailureOf(std::ostream& err, const std::string& subject, const std::string& text,
                  const std::vector<std::string>& named, int status) {
  for (const std::string& name : named) {
    const bool names = !name.empty() && text.size() > name.size() + 1 &&
                       text.compare(0, name.size(), name) == 0 &&
                       (text.compare(name.size(), 2, ": ") == 0 || text[name.size()] == '/');
    if (names) {
      const std::size_t colon = text.find(": ", name.size());
      if (colon != std::string::npos)
        return ModeFailure(err, text.substr(0, colon), text.substr(colon + 2), status);
    }
  }
  return ModeFailure(err, subject, text, status);
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
