#include "engine/numbered_run.h"

#include <cstdio>
#include <filesystem>
#include <optional>

namespace {

constexpr int kLastNumber = 998;

// The file's size, or nothing when it does not exist or can't be measured
// (a folder, a dangling link).
std::optional<uintmax_t> SizeOf(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return size;
}

}  // namespace

std::vector<NumberedRunFile> ListNumberedRun(const std::string& path) {
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
    const std::optional<uintmax_t> size = SizeOf(path);
    if (!size) return {};
    return {{path, *size <= kEmptyRecordingBytes}};
  }
  std::string stem = path.substr(0, n - 8);
  if (!stem.empty() && stem.back() == '#') stem.pop_back();
  std::vector<NumberedRunFile> run;
  for (int k = start; k <= kLastNumber; ++k) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "-%03d.avi", k);
    const std::string plain = stem + tail, marked = stem + "#" + tail;
    const std::optional<uintmax_t> plainSize = SizeOf(plain), markedSize = SizeOf(marked);
    if (!plainSize && !markedSize) break;  // the first missing number ends the run
    const bool plainHolds = plainSize && *plainSize > kEmptyRecordingBytes;
    if (plainHolds || !markedSize)
      run.push_back({plain, !plainHolds});
    else
      run.push_back({marked, *markedSize <= kEmptyRecordingBytes});
  }
  return run;
}

std::vector<std::string> NumberedRunFrom(const std::string& path) {
  std::vector<std::string> usable;
  for (NumberedRunFile& f : ListNumberedRun(path)) {
    if (!f.empty) usable.push_back(std::move(f.path));
  }
  return usable;
}
