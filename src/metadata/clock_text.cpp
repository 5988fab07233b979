#include "metadata/clock_text.h"

#include <cctype>
#include <cstdio>

namespace {

// Days-to-civil and back (H. Hinnant's algorithms): reentrant, unlike
// gmtime, and right for every day a 64-bit count holds.
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day) {
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
  month = int(mp < 10 ? mp + 3 : mp - 9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// Reads digits at `pos` (at least `min`, at most `max`) into `value`.
bool Digits(const std::string& t, std::size_t& pos, int min, int max, int64_t& value) {
  int n = 0;
  value = 0;
  while (pos < t.size() && n < max && std::isdigit(static_cast<unsigned char>(t[pos]))) {
    value = value * 10 + (t[pos++] - '0');
    ++n;
  }
  return n >= min;
}

bool Expect(const std::string& t, std::size_t& pos, const char* literal) {
  for (const char* c = literal; *c; ++c, ++pos)
    if (pos >= t.size() || t[pos] != *c) return false;
  return true;
}

// ".f", ".ff" or ".fff" as milliseconds; nothing at all is 0.
bool Fraction(const std::string& t, std::size_t& pos, int64_t& millis) {
  millis = 0;
  if (pos == t.size() || t[pos] != '.') return true;
  const std::size_t start = ++pos;
  int64_t digits = 0;
  if (!Digits(t, pos, 1, 3, digits)) return false;
  for (std::size_t n = pos - start; n < 3; ++n) digits *= 10;
  millis = digits;
  return true;
}

}  // namespace

std::string FormatRecorderTime(int64_t seconds, int32_t milliseconds) {
  const int64_t days = FloorDiv(seconds, 86400);
  const int secondOfDay = int(seconds - days * 86400);
  int64_t year = 0;
  int month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  char text[96];
  std::snprintf(text, sizeof text, "%d-%d-%lld  %02d:%02d:%02d.%03d", month, day,
                static_cast<long long>(year), secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60,
                int(milliseconds));
  return text;
}

std::optional<int64_t> ParseRecorderTime(const std::string& t) {
  std::size_t pos = 0;
  int64_t month, day, year, hour, minute, second, millis;
  if (!Digits(t, pos, 1, 2, month) || !Expect(t, pos, "-") || !Digits(t, pos, 1, 2, day) ||
      !Expect(t, pos, "-") || !Digits(t, pos, 4, 6, year) || !Expect(t, pos, "  ") ||
      !Digits(t, pos, 2, 2, hour) || !Expect(t, pos, ":") || !Digits(t, pos, 2, 2, minute) ||
      !Expect(t, pos, ":") || !Digits(t, pos, 2, 2, second) || !Expect(t, pos, ".") ||
      !Digits(t, pos, 3, 3, millis) || pos != t.size())
    return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
    return std::nullopt;
  const int64_t days = DaysFromCivil(year, int(month), int(day));
  return ((days * 86400 + hour * 3600 + minute * 60 + second) * 1000) + millis;
}

bool ParseClockCorrection(const std::string& t, int64_t& out) {
  std::size_t pos = 0;
  const bool negative = pos < t.size() && t[pos] == '-';
  if (pos < t.size() && (t[pos] == '-' || t[pos] == '+')) ++pos;
  int64_t hours = 0, minutes = 0, seconds = 0, millis = 0;
  if (!Digits(t, pos, 1, 6, hours)) return false;
  if (pos < t.size() && (t[pos] == 's' || t[pos] == '.')) {  // seconds with an "s"
    seconds = hours;
    hours = 0;
    if (!Fraction(t, pos, millis) || !Expect(t, pos, "s") || pos != t.size()) return false;
  } else if (!Expect(t, pos, ":") || !Digits(t, pos, 2, 2, minutes) || !Expect(t, pos, ":") ||
             !Digits(t, pos, 2, 2, seconds) || !Fraction(t, pos, millis) || pos != t.size() || minutes > 59 ||
             seconds > 59) {
    return false;
  }
  const int64_t total = ((hours * 60 + minutes) * 60 + seconds) * 1000 + millis;
  out = negative ? -total : total;
  return true;
}

std::string FormatClockCorrection(int64_t millis) {
  const char* sign = millis > 0 ? "+" : millis < 0 ? "-" : "";
  const long long m = millis < 0 ? -millis : millis;
  char text[64];
  if (m % 1000 == 0)
    std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld", sign, m / 3600000, m / 60000 % 60,
                  m / 1000 % 60);
  else
    std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld.%03lld", sign, m / 3600000, m / 60000 % 60,
                  m / 1000 % 60, m % 1000);
  return text;
}

std::optional<std::string> CorrectedTimeText(const std::string& recorded, int64_t correctionMillis) {
  const std::optional<int64_t> millis = ParseRecorderTime(recorded);
  if (!millis) return std::nullopt;
  const int64_t corrected = *millis + correctionMillis;
  const int64_t seconds = FloorDiv(corrected, 1000);
  return FormatRecorderTime(seconds, int32_t(corrected - seconds * 1000));
}
