#include "engine/numbered_run.h"

#include <cstdio>
#include <filesystem>

namespace {

constexpr uintmax_t kEmptyFileBytes = 4000;
constexpr int kLastNumber = 998;

bool Usable(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  return !ec && size > kEmptyFileBytes;
}

}  // namespace

std::vector<std::string> NumberedRunFrom(const std::string& path) {
  // "NAME-NNN.avi": the dash is the eighth character from the end.
  const size_t n = path.size();
  bool numbered = n >= 8 && path[n - 8] == '-';
  int start = 0;
  for (size_t i = n - 7; numbered && i < n - 4; ++i) {
    if (path[i] < '0' || path[i] > '9')
      numbered = false;
    else
      start = start * 10 + (path[i] - '0');
  }
  if (!numbered || start < 1 || start > kLastNumber) {
    return Usable(path) ? std::vector<std::string>{path} : std::vector<std::string>{};
  }
  std::string stem = path.substr(0, n - 8);
  if (!stem.empty() && stem.back() == '#') stem.pop_back();
  std::vector<std::string> run;
  for (int k = start; k <= kLastNumber; ++k) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "-%03d.avi", k);
    const std::string plain = stem + tail;
    const std::string marked = stem + "#" + tail;
    if (Usable(plain)) {
      run.push_back(plain);
    } else if (Usable(marked)) {
      run.push_back(marked);
    } else {
      break;  // the first gap ends the run
    }
  }
  return run;
}
