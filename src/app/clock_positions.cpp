#include "app/clock_positions.h"

#include "base/mode_arguments.h"

bool ClockPositions::Parse(const std::string& text, int64_t& target, Use use) {
  if (text.empty() || text[0] != '@') return ParseCentis(text, target);
  ClockTime t;
  if (!ParseClockTime(std::string_view(text).substr(1), t)) return false;
  pending_.push_back({t, &target, use});
  target = 0;  // given: its place is written by Resolve
  return true;
}

bool ClockPositions::Resolve(const std::string& recording, std::string& reason) {
  if (pending_.empty()) return true;
  const RecordingScan scan = ScanRecording(recording);
  // An unreadable recording is named for what it is, not for a time missing.
  if (!scan.files.empty() && !scan.files.front().error.empty() && scan.files.front().records.empty()) {
    reason = scan.files.front().error;
    return false;
  }
  for (const Pending& p : pending_) {
    const ClockMatch m = FindClockTime(scan, p.time);
    if (!m.found) {
      reason = ClockNotFoundText(p.time, m);
      return false;
    }
    *p.target = p.use == Use::kFrame ? m.shownCentis : m.startCentis;
  }
  return true;
}
