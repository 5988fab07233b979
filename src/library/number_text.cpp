#include "library/number_text.h"

#include <charconv>
#include <cmath>

namespace library {

std::optional<double> ParseDecimal(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string FixedDecimal(double value, int decimals) {
  char text[64];
  const auto [ptr, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(text, ptr) : std::string();
}

std::string ExactDecimal(double value) {
  char text[64];
  const auto [ptr, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, ptr) : std::string();
}

}  // namespace library
