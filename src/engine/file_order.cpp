#include "engine/file_order.h"

#include <cctype>

namespace {

// The decimal number at text[pos, pos + len), ending at the first
// non-digit; 0 without digits or when the field lies outside the text.
uint32_t FieldNumber(const std::string& text, size_t pos, size_t len) {
  uint32_t value = 0;
  for (size_t i = pos; i < pos + len && i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) break;
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  return value;
}

uint32_t MonthIndex(const std::string& date) {
  static const char* const kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
  for (uint32_t m = 0; m < 12; ++m) {
    bool same = true;
    for (size_t i = 0; i < 3; ++i) {
      same = same && std::tolower(static_cast<unsigned char>(date[i])) == kMonths[m][i];
    }
    if (same) return m;
  }
  return 0;
}

}  // namespace

uint32_t FileOrderKey(const std::string& name) {
  const size_t b = name.rfind('_');
  const size_t e = name.rfind('.');
  if (b == std::string::npos || e == std::string::npos || e < b) return 0;
  const std::string time = name.substr(b + 1, e - b - 1);
  const std::string before = name.substr(0, b);
  const size_t c = before.rfind('_');
  if (c == std::string::npos) return 0;
  const std::string date = before.substr(c + 1);
  if (date.size() != 11 || time.size() <= 7) return 0;

  const uint32_t month = MonthIndex(date);
  const uint32_t day = FieldNumber(date, 3, 2);
  const uint32_t year = FieldNumber(date, 7, 4);
  const uint32_t hours = FieldNumber(time, 0, 2);
  const uint32_t minutes = FieldNumber(time, 3, 2);
  const uint32_t seconds = FieldNumber(time, 6, 2);
  // Unsigned arithmetic: a year before 1980 wraps, as the key always did.
  return (year - 1980u) * 32140800u + month * 2678400u + day * 86400u + hours * 3600u + minutes * 60u +
         seconds;
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
