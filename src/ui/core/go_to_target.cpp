#include "ui/core/go_to_target.h"

#include "base/mode_arguments.h"
#include "engine/clock_position.h"
#include "ui/core/status_text.h"

namespace {

GoToTarget Refused(std::string message) {
  GoToTarget t;
  t.message = std::move(message);
  return t;
}

}  // namespace

GoToTarget ResolveGoTo(GoToClock clock, const std::string& text, const RecordingScan* scan,
                       int64_t totalCentis) {
  std::string entry = text;
  while (!entry.empty() && entry.front() == ' ') entry.erase(entry.begin());
  while (!entry.empty() && entry.back() == ' ') entry.pop_back();
  if (!entry.empty() && entry.front() == '@') {
    entry.erase(entry.begin());
    if (clock == GoToClock::kTimeline) clock = GoToClock::kLocal;
  }
  if (clock == GoToClock::kTimeline) {
    int64_t centis = 0;
    if (!ParseCentis(entry, centis))
      return Refused("\"" + text + "\" is not a position: type it as h:mm:ss.ff, for instance 0:01:30.00.");
    if (centis >= totalCentis)
      return Refused(FormatClockText(centis) + " is past the end of the recording (" +
                     FormatClockText(totalCentis) + ").");
    GoToTarget t;
    t.ok = true;
    t.centis = centis;
    return t;
  }
  ClockTime time;
  if (!ParseClockTime(entry, time))
    return Refused("\"" + text + "\" is not a clock time: type it as HH:MM:SS, for instance 14:05:20.");
  if (clock == GoToClock::kUtc) time.utc = true;
  if (!scan) return Refused("The recording's clock times are still being read. Try again in a moment.");
  const ClockMatch m = FindClockTime(*scan, time);
  if (!m.found) return Refused("The time " + ClockNotFoundText(time, m) + ".");
  GoToTarget t;
  t.ok = true;
  t.centis = m.shownCentis;
  return t;
}
