#include "library/search_time.h"

#include <cstdio>
#include <ctime>

#include "evidence/track_points.h"

namespace library {
namespace {

// Reads exactly `count` digits at `at`.
bool Digits(const std::string& s, std::size_t& at, int count, int& out) {
  out = 0;
  for (int i = 0; i < count; ++i, ++at) {
    if (at >= s.size() || s[at] < '0' || s[at] > '9') return false;
    out = out * 10 + (s[at] - '0');
  }
  return true;
}

bool Skip(const std::string& s, std::size_t& at, char c) {
  if (at < s.size() && s[at] == c) return ++at, true;
  return false;
}

}  // namespace

bool ParseSearchTime(const std::string& s, bool endOfRange, TimeBound& out) {
  std::size_t at = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
  if (!Digits(s, at, 4, year) || !Skip(s, at, '-') || !Digits(s, at, 2, month) || !Skip(s, at, '-') ||
      !Digits(s, at, 2, day) || month < 1 || month > 12 || day < 1 || day > 31)
    return false;
  const bool dateOnly = at == s.size();
  if (!dateOnly) {
    if (!Skip(s, at, 'T') && !Skip(s, at, ' ')) return false;
    if (!Digits(s, at, 2, hour) || !Skip(s, at, ':') || !Digits(s, at, 2, minute) || hour > 23 || minute > 59)
      return false;
    if (Skip(s, at, ':')) {
      if (!Digits(s, at, 2, second) || second > 59) return false;
      if (Skip(s, at, '.')) {
        int scale = 100, digits = 0;
        for (; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at, ++digits, scale /= 10)
          millis += (s[at] - '0') * scale;
        if (digits == 0 || digits > 3) return false;
      }
    }
  }
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  int64_t value = int64_t(timegm(&tm)) * 1000 + millis;
  if (dateOnly && endOfRange) value += 86400000 - 1;
  out.clock = TimeBound::Clock::kLocal;
  if (at < s.size()) {
    if (s[at] == 'Z' && at + 1 == s.size()) {
      out.clock = TimeBound::Clock::kUtc;
    } else if (s[at] == '+' || s[at] == '-') {
      const int sign = s[at++] == '-' ? -1 : 1;
      int oh = 0, om = 0;
      if (!Digits(s, at, 2, oh)) return false;
      Skip(s, at, ':');
      if (!Digits(s, at, 2, om) || at != s.size() || oh > 14 || om > 59) return false;
      value -= sign * (int64_t(oh) * 3600 + om * 60) * 1000;
      out.clock = TimeBound::Clock::kUtc;
    } else {
      return false;
    }
  }
  out.value = value;
  return true;
}

std::string IsoLocal(int64_t localMillis) {
  std::string text = evidence::Iso8601Utc(localMillis);
  if (!text.empty() && text.back() == 'Z') text.pop_back();
  return text;
}

}  // namespace library
