#include "fuzz_input_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace qmxfuzz {

namespace {

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= std::size_t(n);
  }
  return true;
}

}  // namespace

FuzzInputFile::FuzzInputFile(const uint8_t* data, std::size_t size) {
  fd_ = ::memfd_create("qmx-fuzz-input", MFD_CLOEXEC);
  if (fd_ >= 0) {
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  } else {
    // Kernels or sandboxes without memfd: a private temporary file instead.
    std::string name = (std::filesystem::temp_directory_path() / "qmx-fuzz-XXXXXX").string();
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) return;
    path_ = unlinkPath_ = name;
  }
  if (size > 0 && !WriteAll(fd_, data, size)) {
    ::close(fd_);
    fd_ = -1;
  }
}

FuzzInputFile::~FuzzInputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!unlinkPath_.empty()) ::unlink(unlinkPath_.c_str());
}

}  // namespace qmxfuzz
