#pragma once

#include <cstdio>
#include <filesystem>
#include <utility>

namespace clip {

// Removes a file (a temporary output) on every path out of a scope unless it
// was handed on with Keep().
class RemoveUnlessKept {
 public:
  explicit RemoveUnlessKept(std::filesystem::path path) : path_(std::move(path)) {}
  ~RemoveUnlessKept() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  RemoveUnlessKept(const RemoveUnlessKept&) = delete;
  RemoveUnlessKept& operator=(const RemoveUnlessKept&) = delete;
  void Keep() { path_.clear(); }

 private:
  std::filesystem::path path_;
};

}  // namespace clip
