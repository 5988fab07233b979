#include "base/mode_arguments.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string_view>

bool ParseWholeNumber(const std::string& text, long long& out) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno == ERANGE || !end || *end != '\0') return false;
  out = value;
  return true;
}

namespace {

// Digits only, at most `most` of them (so no sum below can overflow).
bool Digits(std::string_view text, std::size_t most, int64_t& out) {
  if (text.empty() || text.size() > most) return false;
  out = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

// "ss" or "ss.f" / "ss.ff" in hundredths; `twoDigits` asks for "05", not "5".
bool SecondsAndHundredths(std::string_view text, bool twoDigits, int64_t& out) {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  int64_t seconds = 0, fraction = 0;
  if (twoDigits && whole.size() != 2) return false;
  if (!Digits(whole, 12, seconds)) return false;
  if (dot != std::string_view::npos) {
    const std::string_view f = text.substr(dot + 1);
    if (!Digits(f, 2, fraction)) return false;
    if (f.size() == 1) fraction *= 10;
  }
  out = seconds * 100 + fraction;
  return true;
}

}  // namespace

bool ParseCentis(const std::string& text, int64_t& out) {
  const std::string_view t = text;
  int64_t value = 0;
  if (t.size() > 1 && t.back() == 's') {
    // "12.5s": seconds.
    if (!SecondsAndHundredths(t.substr(0, t.size() - 1), false, value)) return false;
  } else if (const std::size_t colon = t.find(':'); colon != std::string_view::npos) {
    // "h:mm:ss[.ff]": a position on the timeline as the status clock shows it.
    const std::size_t second = t.find(':', colon + 1);
    if (second == std::string_view::npos || second != colon + 3) return false;
    int64_t hours = 0, minutes = 0, seconds = 0;
    if (!Digits(t.substr(0, colon), 6, hours) || !Digits(t.substr(colon + 1, 2), 2, minutes) || minutes > 59)
      return false;
    if (!SecondsAndHundredths(t.substr(second + 1), true, seconds) || seconds >= 6000) return false;
    value = (hours * 3600 + minutes * 60) * 100 + seconds;
  } else {
    long long whole = 0;
    if (!ParseWholeNumber(text, whole) || whole < 0) return false;
    value = whole;
  }
  out = value;
  return true;
}

bool ParseCameraList(const std::string& text, std::array<bool, 4>& cameras) {
  std::array<bool, 4> chosen{};
  std::istringstream in(text);
  bool any = false;
  for (std::string item; std::getline(in, item, ',');) {
    if (item.size() != 1 || item[0] < '1' || item[0] > '4') return false;
    chosen[std::size_t(item[0] - '1')] = any = true;
  }
  if (!any) return false;
  cameras = chosen;
  return true;
}
