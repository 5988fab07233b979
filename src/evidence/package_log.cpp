#include "evidence/package_log.h"

#include <chrono>

#include "evidence/track_points.h"

namespace evidence {

void PackageLog::Step(const std::string& step) {
  const int64_t millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
  std::string line = step;
  for (char& c : line) c = c == '\n' || c == '\r' ? ' ' : c;
  text_ += Iso8601Utc(millis) + "  " + line + "\n";
}

}  // namespace evidence
