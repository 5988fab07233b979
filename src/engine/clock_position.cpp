#include "engine/clock_position.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int64_t kMillisPerDay = 86'400'000;

bool TwoDigits(std::string_view text, std::size_t at, int most, int64_t& out) {
  if (text.size() < at + 2) return false;
  const char a = text[at], b = text[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return false;
  out = (a - '0') * 10 + (b - '0');
  return out <= most;
}

int64_t RecordMillis(const MetadataSample& s, bool utc) {
  return int64_t(utc ? s.utcSeconds : s.localSeconds) * 1000 + s.milliseconds;
}

// "2011-03-01 14:05:09" for ms since 1970 on a clock kept without a zone.
std::string DateTimeText(int64_t millis) {
  const std::time_t seconds = std::time_t(millis / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

}  // namespace

bool ParseClockTime(std::string_view text, ClockTime& out) {
  ClockTime t;
  if (!text.empty() && text.back() == 'Z') {
    t.utc = true;
    text.remove_suffix(1);
  }
  int64_t h = 0, m = 0, s = 0;
  if (text.size() < 8 || text[2] != ':' || text[5] != ':') return false;
  if (!TwoDigits(text, 0, 23, h) || !TwoDigits(text, 3, 59, m) || !TwoDigits(text, 6, 59, s)) return false;
  int64_t millis = 0;
  if (text.size() > 8) {
    const std::string_view f = text.substr(9);
    if (text[8] != '.' || f.empty() || f.size() > 3) return false;
    int64_t unit = 100;
    for (const char c : f) {
      if (c < '0' || c > '9') return false;
      millis += (c - '0') * unit;
      unit /= 10;
    }
  }
  t.millisOfDay = ((h * 60 + m) * 60 + s) * 1000 + millis;
  out = t;
  return true;
}

std::string ClockTimeText(const ClockTime& t) {
  const int64_t ms = t.millisOfDay;
  char text[40];
  if (ms % 1000)
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3'600'000),
                  static_cast<long long>(ms / 60'000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
  else
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(ms / 3'600'000),
                  static_cast<long long>(ms / 60'000 % 60), static_cast<long long>(ms / 1000 % 60));
  return std::string(text) + (t.utc ? " UTC" : " local");
}

ClockMatch FindClockTime(const RecordingScan& scan, const ClockTime& t) {
  ClockMatch m;
  bool any = false;
  for (const FileScan& f : scan.files)
    for (const ScannedRecord& r : f.records) {
      const int64_t ms = RecordMillis(r.sample, t.utc);
      if (!any) m.firstMillis = m.lastMillis = ms;
      any = true;
      m.firstMillis = std::min(m.firstMillis, ms);
      m.lastMillis = std::max(m.lastMillis, ms);
    }
  if (!any) return m;
  // The wanted instant on the first record's day, or the day after.
  const FileScan* firstFile = nullptr;
  for (const FileScan& f : scan.files)
    if (!f.records.empty() && !firstFile) firstFile = &f;
  const int64_t first = RecordMillis(firstFile->records.front().sample, t.utc);
  int64_t wanted = first - first % kMillisPerDay + t.millisOfDay;
  if (wanted < first) wanted += kMillisPerDay;
  for (const FileScan& f : scan.files)
    for (const ScannedRecord& r : f.records) {
      if (RecordMillis(r.sample, t.utc) < wanted) continue;
      m.found = true;
      m.startCentis = TimelineCentis(f, r);
      // Record times are the frame's own time rounded down to the
      // hundredth; one hundredth on lies inside the frame (frames are
      // longer than that).
      m.shownCentis = m.startCentis + 1;
      return m;
    }
  return m;
}

std::string ClockNotFoundText(const ClockTime& t, const ClockMatch& m) {
  const std::string what = ClockTimeText(t) + " is not in the recording";
  if (m.firstMillis == 0 && m.lastMillis == 0) return what + " (it holds no clock times)";
  std::string last = DateTimeText(m.lastMillis);
  // The date once when both ends are on the same day.
  if (m.firstMillis / kMillisPerDay == m.lastMillis / kMillisPerDay) last = last.substr(11);
  return what + " (its " + (t.utc ? "UTC" : "local") + " clock runs from " + DateTimeText(m.firstMillis) +
         " to " + last + ")";
}
