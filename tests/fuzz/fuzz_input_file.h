#pragma once

// The parsers that take a path (the AVI reader, the recording properties,
// the layout probes) see a fuzz input through a file of its own: an
// anonymous memory file, so nothing is left on disk when a run crashes and
// runs in parallel never share a name.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qmxfuzz {

class FuzzInputFile {
 public:
  // Holds exactly `size` bytes of `data` (`data` may be null when `size` is 0).
  FuzzInputFile(const uint8_t* data, std::size_t size);
  ~FuzzInputFile();
  FuzzInputFile(const FuzzInputFile&) = delete;
  FuzzInputFile& operator=(const FuzzInputFile&) = delete;

  // False when no file could be made; the target then has nothing to test.
  bool ok() const { return fd_ >= 0; }
  // A path that opens the same bytes ("/proc/self/fd/N"), valid while this object lives.
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string unlinkPath_;  // the fallback temporary file, when memfd_create is unavailable
};

}  // namespace qmxfuzz
