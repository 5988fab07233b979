#pragma once

// The processing log of an evidence package (log.txt): each step of the
// build on a line of its own, with the UTC time it ended at, so an examiner
// can tell what was done to make the package and when.

#include <string>

namespace evidence {

inline constexpr const char* kPackageLogName = "log.txt";

class PackageLog {
 public:
  // "2026-12-09T17:05:01.123Z  STEP"
  void Step(const std::string& step);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace evidence
