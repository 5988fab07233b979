#include "app/mode_arguments.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

bool ParseWholeNumber(const std::string& text, long long& out) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno == ERANGE || !end || *end != '\0') return false;
  out = value;
  return true;
}

bool ParseCentis(const std::string& text, int64_t& out) {
  long long value = 0;
  if (!ParseWholeNumber(text, value) || value < 0) return false;
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
